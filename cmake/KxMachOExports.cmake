# kx_write_macho_export_list(file symbol...): the list that the Mach-O linker takes
# with -exported_symbols_list; only the symbols in it leave the module. Mach-O names
# every C symbol with a leading underscore, so createDevice is listed as
# _createDevice and OBJC_CLASS_$_WebcamController as _OBJC_CLASS_$_WebcamController.
function(kx_write_macho_export_list file)
    set(lines "")
    foreach(symbol IN LISTS ARGN)
        string(APPEND lines "_${symbol}\n")
    endforeach()
    file(WRITE "${file}" "${lines}")
endfunction()
