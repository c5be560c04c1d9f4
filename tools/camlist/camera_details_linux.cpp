#include "camera_details_linux.h"

#include "framegrab/camera_caps_linux.h"
#include "framegrab/resolution_text.h"

#include <algorithm>
#include <filesystem>
#include <gst/gst.h>
#include <system_error>

namespace camlist {

namespace {

namespace fs = std::filesystem;

// The folder udev keeps the links in.
constexpr const char* V4L_FOLDER = "/dev/v4l/";

fs::path nodeOf(const fs::path& path) {
    std::error_code error;
    const fs::path node = fs::canonical(path, error);
    return error ? fs::path() : node;
}

bool sameSize(const framegrab::CameraMode& a, const framegrab::CameraMode& b) {
    return a.width == b.width && a.height == b.height;
}

// The modes the device's v4l2src states once opened; none when it cannot be.
std::vector<framegrab::CameraMode> deviceModes(const std::string& path) {
    GstElement* source = gst_element_factory_make("v4l2src", nullptr);
    if (source == nullptr)
        return {};
    g_object_set(source, "device", path.c_str(), nullptr);
    return framegrab::readSourceModes(source);
}

} // namespace

std::vector<std::string> stableLinks(const std::string& devicePath, const std::string& v4lFolder) {
    std::vector<std::string> links;
    const fs::path node = nodeOf(devicePath);
    if (node.empty())
        return links;
    for (const char* kind : {"by-id", "by-path"}) {
        std::vector<std::string> found;
        std::error_code error;
        for (fs::directory_iterator entry(v4lFolder + kind, error), end; !error && entry != end;
             entry.increment(error)) {
            if (nodeOf(entry->path()) == node)
                found.push_back(entry->path().string());
        }
        std::sort(found.begin(), found.end());
        links.insert(links.end(), found.begin(), found.end());
    }
    return links;
}

std::vector<ModeLine> modeLines(const std::vector<framegrab::CameraMode>& modes) {
    std::vector<std::string> formats;
    for (const auto& mode : modes)
        if (std::find(formats.begin(), formats.end(), mode.format) == formats.end())
            formats.push_back(mode.format);
    std::vector<ModeLine> lines;
    for (const std::string& format : formats) {
        std::vector<framegrab::CameraMode> ofFormat;
        std::copy_if(modes.begin(), modes.end(), std::back_inserter(ofFormat),
                     [&](const framegrab::CameraMode& mode) { return mode.format == format; });
        // Largest first; of one size, fastest first.
        std::stable_sort(ofFormat.begin(), ofFormat.end(), [](const auto& a, const auto& b) {
            const long long pixelsA = static_cast<long long>(a.width) * a.height;
            const long long pixelsB = static_cast<long long>(b.width) * b.height;
            if (pixelsA != pixelsB)
                return pixelsA > pixelsB;
            if (a.width != b.width)
                return a.width > b.width;
            return a.fastest.perSecond() > b.fastest.perSecond();
        });
        for (std::size_t i = 0; i < ofFormat.size(); ++i) {
            const framegrab::CameraMode& mode = ofFormat[i];
            const std::string rate = mode.fastest.numerator == 0 ? "?" : framegrab::rateText(mode);
            if (i > 0 && sameSize(mode, ofFormat[i - 1])) {
                lines.back().rates += ", " + rate;
                continue;
            }
            lines.push_back({format, framegrab::formatResolution(mode.width, mode.height), rate});
        }
    }
    return lines;
}

std::vector<CameraDetails> describeCameras(const std::vector<std::string>& paths) {
    gst_init(nullptr, nullptr);
    std::vector<CameraDetails> details;
    for (const std::string& path : paths)
        details.push_back({stableLinks(path, V4L_FOLDER), modeLines(deviceModes(path))});
    return details;
}

} // namespace camlist
