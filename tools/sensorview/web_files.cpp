#include "web_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sensorview {

namespace {

struct KnownFile {
    const char* path;
    const char* fileName;
    const char* mediaType;
};

// Every file the page needs; dygraphs comes from Debian's libjs-dygraphs.
constexpr KnownFile KNOWN_FILES[] = {
    {"/", "index.html", "text/html; charset=utf-8"},
    {"/sensorview.js", "sensorview.js", "text/javascript; charset=utf-8"},
    {"/live_socket.js", "live_socket.js", "text/javascript; charset=utf-8"},
    {"/sensorview.css", "sensorview.css", "text/css; charset=utf-8"},
    {"/dygraph.min.js", "dygraph.min.js", "text/javascript; charset=utf-8"},
    {"/dygraph.min.css", "dygraph.min.css", "text/css; charset=utf-8"},
};

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read the page's file " + path);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        throw std::runtime_error("cannot read the page's file " + path);
    return content;
}

} // namespace

WebFiles::WebFiles(const std::string& folder) {
    for (const auto& known : KNOWN_FILES)
        files.push_back({known.path, known.fileName, known.mediaType,
                         readWhole(folder + "/" + known.fileName)});
}

WebFiles::WebFiles(std::vector<WebFile> given) : files(std::move(given)) {}

const WebFile* WebFiles::find(const std::string& target) const {
    const std::string path = target.substr(0, target.find('?'));
    for (const auto& file : files) {
        if (file.path == path)
            return &file;
    }
    return nullptr;
}

std::string shareFolderOf(const std::string& binFolder) {
    return binFolder + "/../share/sensorview";
}

} // namespace sensorview
