#include "datagram_recording.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace sensorstream {

namespace {

phonesim::App recordedApp(App app) {
    return app == App::Binary ? phonesim::App::Binary : phonesim::App::Text;
}

} // namespace

std::string recordingPath(const std::string& path, const std::string& phone, bool several) {
    if (!several)
        return path;
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
    if (!hasExtension)
        return path + "-" + phone;
    return path.substr(0, dot) + "-" + phone + path.substr(dot);
}

DatagramRecording::DatagramRecording(const std::string& path, const std::vector<PhoneSpec>& phones,
                                     double origin) {
    if (path.empty())
        return;
    const bool several = phones.size() > 1;
    for (const PhoneSpec& phone : phones) {
        PhoneFile file;
        file.path = recordingPath(path, phone.name, several);
        errno = 0;
        file.stream =
            std::make_unique<std::ofstream>(file.path, std::ios::binary | std::ios::trunc);
        if (!*file.stream)
            throw std::runtime_error("cannot write the datagram recording '" + file.path + "': " +
                                     (errno != 0 ? std::strerror(errno) : "unknown reason"));
        file.recorder = std::make_unique<arrivals::DatagramRecorder>(
            *file.stream, recordedApp(phone.app), origin);
        names.push_back(phone.name);
        files.push_back(std::move(file));
    }
    tap.emplace();
}

void DatagramRecording::start(const std::vector<std::uint16_t>& ports) {
    if (!tap)
        return;
    for (std::size_t i = 0; i < files.size() && i < ports.size(); ++i)
        tap->route(ports[i], *files[i].recorder);
}

void DatagramRecording::finish() {
    if (!tap)
        return;
    tap.reset(); // no datagram is written after this
    for (PhoneFile& file : files) {
        file.stream->flush();
        if (!*file.stream)
            throw std::runtime_error("cannot write the datagram recording '" + file.path + "'");
    }
}

std::vector<std::string> DatagramRecording::summaryLines() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint64_t count = files[i].recorder->recorded();
        lines.push_back("recorded " + std::to_string(count) +
                        (count == 1 ? " datagram" : " datagrams") + " of " + names[i] + " to " +
                        files[i].path);
    }
    return lines;
}

} // namespace sensorstream
