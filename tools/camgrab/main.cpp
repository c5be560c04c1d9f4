// camgrab: grabs frames from a camera through framegrab, converts them with
// pixsieve into the host's planar RGB layout and writes them as PNG files.

#include "camgrab_options.h"
#include "frame_inbox.h"
#include "png_frame.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/camera_session.h"
#include "tools/common/help_and_version.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace camgrab;
using namespace std::chrono_literals;
using kxtools::FramePtr;

// At most this many frames wait for their PNG file; later ones are dropped.
constexpr std::size_t WAITING_ROOM = 4;

// Prints the device's messages; returns the errors.
std::string showMessages(const std::vector<korvex::host::Message>& messages) {
    for (const auto& message : messages)
        std::cerr << "camgrab: " << message.type
                  << " from framegrab: " << kxtools::messageText(message) << "\n";
    return kxtools::errorsText(messages);
}

void makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder))
        throw std::runtime_error("cannot make the folder '" + folder + "': " +
                                 (error ? error.message() : "a file of that name is in the way"));
}

// The PNG file of a frame, carrying its arrival ("Monotonic", seconds) as a text
// chunk, so that the file alone places the frame on the timeline readings share.
void writeFrame(const webcam::VideoDataBuffer& planar, const std::string& path,
                const std::string& monotonic) {
    writeRgbPng(path, planarColumnToRgbRows(planar.data, planar.height, planar.width),
                planar.height, planar.width, {{"Monotonic", monotonic}});
}

int run(int argc, char** argv) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    if (const auto answered =
            kxtools::answerHelpOrVersion(parser.parse(argc, argv), parser, "camgrab",
                                         CAMGRAB_VERSION, {"framegrab", "pixsieve"}))
        return *answered;
    makeFolder(settings.folder);
    kxtools::installStopHandler();

    FrameInbox inbox(settings.frames, WAITING_ROOM);
    kxtools::CameraSettings cameraSettings;
    cameraSettings.webcamID = settings.webcamID;
    cameraSettings.resolution = settings.resolution;
    if (settings.rate > 0)
        cameraSettings.frameRate = settings.rate;
    std::unique_ptr<kxtools::CameraSession> camera;
    try {
        camera = std::make_unique<kxtools::CameraSession>(
            cameraSettings,
            [&inbox](korvex::host::BufferPtr frame) { return inbox.offer(std::move(frame)); });
    } catch (const kxtools::DeviceError& error) {
        showMessages(error.messages());
        throw;
    }
    showMessages(camera->newMessages());
    const std::string resolution = camera->resolution();

    std::cout << "camgrab: " << resolution << " frames from " << settings.webcamID << ", writing "
              << settings.frames << " to " << settings.folder << std::endl;

    // From here on every frame goes to the inbox.
    camera->open();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::duration<double>(settings.timeout));
    std::uint64_t written = 0;
    std::string failure;
    while (written < settings.frames && !kxtools::stopRequested()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            failure = "only " + std::to_string(written) + " of " + std::to_string(settings.frames) +
                      " frames came in " + std::to_string(static_cast<int>(settings.timeout)) +
                      " s";
            break;
        }
        showMessages(camera->newMessages());
        FrameInbox::Arrival arrival = inbox.takeArrival(100ms);
        if (arrival.frame == nullptr)
            continue;
        const FramePtr planar = camera->convert(std::move(arrival.frame));
        const std::string path = frameFileName(settings, ++written);
        // The frame's place on the timeline that readings share, in its file and on
        // its line.
        char monotonic[48];
        std::snprintf(monotonic, sizeof monotonic, "%.6f",
                      arrivals::monotonicSeconds(arrival.time));
        writeFrame(*planar, path, monotonic);
        std::cout << "camgrab: wrote " << path << " (arrived at monotonic " << monotonic << " s)"
                  << std::endl;
    }
    camera->close();
    showMessages(camera->newMessages());

    char rate[160];
    std::snprintf(rate, sizeof rate,
                  "%.1f frames a second (measured over the %llu frames the camera delivered)",
                  inbox.measuredRate(), static_cast<unsigned long long>(inbox.arrivals()));
    std::cout << "camgrab: " << resolution << ", " << rate << "\n";

    if (!failure.empty())
        throw std::runtime_error(failure);
    if (written < settings.frames)
        std::cout << "camgrab: stopped by Ctrl-C after " << written << " frames\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("camgrab", [&] { return run(argc, argv); });
}
