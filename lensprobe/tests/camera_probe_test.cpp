// The real platform pieces: directory reading in readdir order on a folder of the
// test's own, the capability query on nodes that are no camera, and GStreamer's
// "v4l2src" asked about paths that are no device.

#include "lensprobe/camera_probe.h"
#include "lensprobe/camera_scan.h"

#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using lensprobe::CaptureSupport;

// A fresh folder under the system's temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder() {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/lensprobe-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path = pattern + "/";
    }
    ~TempFolder() {
        for (const std::string& name : created)
            ::remove((path + name).c_str());
        rmdir(path.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    void addFile(const std::string& name) {
        std::ofstream(path + name) << "not a device\n";
        created.push_back(name);
    }
    void addFolder(const std::string& name) {
        mkdir((path + name).c_str(), 0700);
        created.push_back(name);
    }

    std::string path; // ends with '/'

private:
    std::vector<std::string> created;
};

// The folder's entries as the test itself reads them.
std::vector<std::string> readdirOrder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* stream = opendir(folder.c_str());
    if (stream == nullptr)
        return names;
    while (const dirent* entry = readdir(stream))
        names.emplace_back(entry->d_name);
    closedir(stream);
    return names;
}

// The real directory and capability query, with names as a script.
class ScriptedNames final : public lensprobe::DeviceProbe {
public:
    std::map<std::string, std::string> names;

    std::vector<std::string> entryNames(const std::string& directory) override {
        return lensprobe::readDirectoryEntries(directory);
    }
    CaptureSupport captureSupport(const std::string& path) override {
        return lensprobe::queryCaptureSupport(path);
    }
    std::optional<std::string> deviceName(const std::string& path) override {
        const auto found = names.find(path);
        if (found == names.end())
            return std::nullopt;
        return found->second;
    }
};

// Enough entries that the file system's order is unlikely to be the sorted one.
const std::vector<std::string> FOLDER_ENTRIES = {
    "video0", "video1",  "video2", "video10", "audio0",     "myvideo",  "null",  "video3",
    "Video4", "video11", "tty0",   "video5",  "videoextra", "zz-video", "media0"};

TEST(ReadDirectoryEntries, GivesTheEntriesInReaddirOrder) {
    TempFolder folder;
    for (const std::string& name : FOLDER_ENTRIES)
        folder.addFile(name);

    const std::vector<std::string> entries = lensprobe::readDirectoryEntries(folder.path);

    EXPECT_EQ(readdirOrder(folder.path), entries);
    EXPECT_EQ(FOLDER_ENTRIES.size() + 2, entries.size()) << "every file, with . and ..";
}

TEST(ReadDirectoryEntries, MissingDirectoryGivesNone) {
    EXPECT_TRUE(lensprobe::readDirectoryEntries("/nonexistent-lensprobe-folder/").empty());
}

TEST(ScanOfAFolder, ListsNamedVideoEntriesInReaddirOrderAndSkipsTheNameless) {
    TempFolder folder;
    for (const std::string& name : FOLDER_ENTRIES)
        folder.addFile(name);
    ScriptedNames probe;
    for (const std::string& name : FOLDER_ENTRIES)
        probe.names[folder.path + name] = "Camera " + name;
    probe.names.erase(folder.path + "video2"); // yields no name

    const lensprobe::CameraList cameras = lensprobe::scanCameras(folder.path, probe);

    // Plain files cannot be queried, so the names decide.
    std::vector<std::string> names;
    std::vector<std::string> paths;
    for (const std::string& entry : readdirOrder(folder.path)) {
        if (entry.find("video") != std::string::npos && entry != "video2") {
            names.push_back("Camera " + entry);
            paths.push_back(folder.path + entry);
        }
    }
    EXPECT_EQ(9u, names.size()) << "ten video entries, one nameless";
    EXPECT_EQ(names, cameras.names);
    EXPECT_EQ(paths, cameras.paths);
}

TEST(ScanOfAFolder, UnreadableFolderGivesNoCameras) {
    ScriptedNames probe;
    const lensprobe::CameraList cameras =
        lensprobe::scanCameras("/nonexistent-lensprobe-folder/", probe);
    EXPECT_TRUE(cameras.names.empty());
    EXPECT_TRUE(cameras.paths.empty());
}

TEST(QueryCaptureSupport, NodesThatAreNoVideoDeviceCannotBeQueried) {
    TempFolder folder;
    folder.addFile("video0");
    folder.addFolder("video-folder");
    const std::string paths[] = {folder.path + "video0", folder.path + "video-folder",
                                 folder.path + "missing", "/dev/null"};
    for (const std::string& path : paths)
        EXPECT_EQ(CaptureSupport::Unknown, lensprobe::queryCaptureSupport(path)) << path;
}

TEST(GstNameProbe, RealSourceElementGivesNoNameForWhatIsNoDevice) {
    TempFolder folder;
    folder.addFile("video0");
    lensprobe::GstNameProbe probe;
    ASSERT_TRUE(probe.hasElement()) << "GStreamer's v4l2src is not installed";

    // The same element is asked again and again, as in a scan.
    const std::string paths[] = {folder.path + "video0", folder.path + "missing", "/dev/null",
                                 folder.path + "video0"};
    for (const std::string& path : paths)
        EXPECT_EQ(std::nullopt, probe.deviceName(path)) << path;
}

TEST(GstNameProbe, MissingElementFactoryGivesNoNameAndNoCrash) {
    TempFolder folder;
    folder.addFile("video0");
    lensprobe::GstNameProbe probe("korvex-no-such-element");
    EXPECT_FALSE(probe.hasElement());
    EXPECT_EQ(std::nullopt, probe.deviceName(folder.path + "video0"));
}

} // namespace
