#pragma once

// The page's files: a fixed table of request paths, each with the file that
// answers it and its media type. The files are read once at start from the
// program's share folder (share/sensorview beside bin/, in the build tree as in
// an installed tree); a request path is only ever looked up in the table, never
// joined to a folder, so no path reaches any other file.

#include <string>
#include <vector>

namespace sensorview {

struct WebFile {
    std::string path;      // the request path: "/", "/sensorview.js"
    std::string fileName;  // in the share folder: "index.html"
    std::string mediaType; // "text/html; charset=utf-8"
    std::string content;
};

class WebFiles {
public:
    // Reads every file of the table from folder. Throws std::runtime_error naming
    // the first file that cannot be read.
    explicit WebFiles(const std::string& folder);
    // A table of given files, for tests.
    explicit WebFiles(std::vector<WebFile> files);

    // The file of a request target ("/sensorview.js?v=2" looks up "/sensorview.js");
    // null for every path not in the table.
    const WebFile* find(const std::string& target) const;

    const std::vector<WebFile>& all() const { return files; }

private:
    std::vector<WebFile> files;
};

// The share folder of a program in folder bin: "<bin>/../share/sensorview".
std::string shareFolderOf(const std::string& binFolder);

// The path the WebSocket of the live data is served on.
constexpr const char* LIVE_PATH = "/live";

} // namespace sensorview
