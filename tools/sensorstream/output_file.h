#pragma once

// Where the readings go: the file of --output, opened before anything else so that
// a path that cannot be written ends the program at once, or standard output.

#include <cstdio>
#include <memory>
#include <string>

namespace sensorstream {

class OutputFile {
public:
    // An empty path: standard output. Throws std::runtime_error "cannot write 'path':
    // reason" when the file cannot be created.
    explicit OutputFile(const std::string& path);

    std::FILE* stream() const { return file ? file.get() : stdout; }
    bool isFile() const { return !path.empty(); }
    // For messages: "'path'" or "standard output".
    std::string name() const;

    // Closes the file; a write the C library held back can fail only here. Throws
    // std::runtime_error "cannot write 'path': reason" when it does. Nothing to do for
    // standard output. (A file not closed this way is closed by the destructor, its
    // errors unreported.)
    void close();

private:
    struct Closer {
        void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
    };
    [[noreturn]] void failed() const;

    std::string path;
    std::unique_ptr<std::FILE, Closer> file;
};

} // namespace sensorstream
