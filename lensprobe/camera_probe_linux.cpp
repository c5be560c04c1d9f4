#include "lensprobe/camera_probe.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <gst/gst.h>
#include <linux/videodev2.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace lensprobe {

namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

struct GFreer {
    void operator()(gchar* text) const { g_free(text); }
};

class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor() {
        if (fd >= 0)
            close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd; }

private:
    int fd;
};

} // namespace

std::vector<std::string> readDirectoryEntries(const std::string& directory) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirectoryCloser> stream(opendir(directory.c_str()));
    if (!stream)
        return names;
    while (const dirent* entry = readdir(stream.get()))
        names.emplace_back(entry->d_name);
    return names;
}

CaptureSupport queryCaptureSupport(const std::string& path) {
    // Non-blocking, so that a FIFO or a busy device cannot hold the scan up; no
    // controlling terminal, in case the node is a terminal after all.
    const FileDescriptor device(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (device.get() < 0)
        return CaptureSupport::Unknown;
    v4l2_capability capability{};
    int result;
    do {
        result = ioctl(device.get(), VIDIOC_QUERYCAP, &capability);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return CaptureSupport::Unknown;
    return captureSupportFromCapabilities(capability.capabilities, capability.device_caps);
}

GstNameProbe::GstNameProbe(const char* factoryName) {
    // Repeated initialisation is harmless; no arguments are passed to GStreamer.
    gst_init(nullptr, nullptr);
    element = gst_element_factory_make(factoryName, "source");
    // Take the floating reference, so that the one unref in the destructor ends it.
    if (element != nullptr)
        gst_object_ref_sink(element);
}

GstNameProbe::~GstNameProbe() {
    if (element != nullptr)
        gst_object_unref(element);
}

std::optional<std::string> GstNameProbe::deviceName(const std::string& path) {
    if (element == nullptr)
        return std::nullopt;
    g_object_set(element, "device", path.c_str(), nullptr);
    gchar* raw = nullptr;
    g_object_get(element, "device-name", &raw, nullptr);
    const std::unique_ptr<gchar, GFreer> name(raw);
    if (!name)
        return std::nullopt;
    return std::string(name.get());
}

std::vector<std::string> SystemProbe::entryNames(const std::string& directory) {
    return readDirectoryEntries(directory);
}

CaptureSupport SystemProbe::captureSupport(const std::string& path) {
    return queryCaptureSupport(path);
}

std::optional<std::string> SystemProbe::deviceName(const std::string& path) {
    return names.deviceName(path);
}

} // namespace lensprobe
