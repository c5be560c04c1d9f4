#pragma once

// --record-datagrams FILE: every datagram each phone's device accepted, its exact
// bytes and its arrival time, written as a phonesim recording (tools/arrivals), so
// that `phonesim --replay FILE` sends them again. With several phones each gets a
// file of its own, named after it: walk.txt becomes walk-left.txt, walk-right.txt.

#include "phone_spec.h"
#include "tools/arrivals/datagram_recorder.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sensorstream {

// "walk.txt" for one phone; "walk-left.txt" for the phone "left" of several (the
// name goes before the last extension, or at the end when there is none).
std::string recordingPath(const std::string& path, const std::string& phone, bool several);

class DatagramRecording {
public:
    // Nothing is recorded when path is empty. Otherwise opens every phone's file
    // (throws std::runtime_error naming a file that cannot be written) and sets the
    // tap: construct it before the devices open, so that no datagram is missed.
    DatagramRecording(const std::string& path, const std::vector<PhoneSpec>& phones, double origin);

    // Once the devices are open: each phone's datagrams go to its file.
    void start(const std::vector<std::uint16_t>& ports);
    // Once the devices are closed: flushes the files; throws std::runtime_error
    // naming a file that could not be written.
    void finish();

    bool enabled() const { return tap.has_value(); }
    // "recorded 1502 datagrams of text to walk.txt", a line per phone.
    std::vector<std::string> summaryLines() const;

private:
    struct PhoneFile {
        std::string path;
        std::unique_ptr<std::ofstream> stream;
        std::unique_ptr<arrivals::DatagramRecorder> recorder;
    };
    std::vector<std::string> names;
    std::vector<PhoneFile> files;
    // Last: removed first, so that no recorder is written once its file is gone.
    std::optional<arrivals::TapRecording> tap;
};

} // namespace sensorstream
