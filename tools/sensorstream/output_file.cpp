#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace sensorstream {

OutputFile::OutputFile(const std::string& filePath) : path(filePath) {
    if (path.empty())
        return;
    errno = 0;
    file.reset(std::fopen(path.c_str(), "wb"));
    if (!file)
        failed();
}

std::string OutputFile::name() const { return isFile() ? "'" + path + "'" : "standard output"; }

void OutputFile::close() {
    if (!file)
        return;
    errno = 0;
    if (std::fclose(file.release()) != 0)
        failed();
}

void OutputFile::failed() const {
    throw std::runtime_error("cannot write '" + path + "': " + std::strerror(errno));
}

} // namespace sensorstream
