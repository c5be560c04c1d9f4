#pragma once

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

// A folder laid out as udev lays out /dev: nodes video0 to video3 (plain files:
// only the names and links matter here) and folders v4l/by-id and v4l/by-path for
// the stable links, whose targets are relative as udev makes them.

namespace framegrab::testing {

class UdevFolder : public ::testing::Test {
protected:
    void SetUp() override {
        root =
            std::filesystem::temp_directory_path() / ("udev-folder-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "v4l" / "by-id");
        std::filesystem::create_directories(root / "v4l" / "by-path");
        for (const char* node : {"video0", "video1", "video2", "video3"})
            std::ofstream(root / node).put('\n');
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    // Makes v4l/<folder>/<name> lead to target; returns its path.
    std::string link(const char* folder, const char* name, const char* target) {
        const std::filesystem::path made = root / "v4l" / folder / name;
        std::filesystem::create_symlink(target, made);
        return made.string();
    }
    std::string path(const std::string& relative) const { return (root / relative).string(); }

    std::filesystem::path root;
};

} // namespace framegrab::testing
