// camgrab: grabs frames from a camera through framegrab, converts them with
// pixsieve into the host's planar RGB layout and writes them as PNG files.

#include "camgrab_options.h"
#include "frame_inbox.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "png_frame.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/help_and_version.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"
#include "webcam/video_data_buffer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

using namespace camgrab;
using namespace std::chrono_literals;
using korvex::host::scalarValue;
using FramePtr = std::unique_ptr<webcam::VideoDataBuffer, conduit::kit::Releaser>;

// At most this many frames wait for their PNG file; later ones are dropped.
constexpr std::size_t WAITING_ROOM = 4;

std::string messageText(const korvex::host::Message& message) {
    return message.id.empty() ? message.text : message.id + ": " + message.text;
}

// Prints the device's messages that came since the last call; returns the errors.
std::string showNewMessages(const korvex::host::Channel& channel, std::size_t& seen) {
    const auto messages = channel.messages();
    std::string errors;
    for (; seen < messages.size(); ++seen) {
        const auto& message = messages[seen];
        std::cerr << "camgrab: " << message.type << " from framegrab: " << messageText(message)
                  << "\n";
        if (message.type == "error")
            errors += (errors.empty() ? "" : "; ") + messageText(message);
    }
    return errors;
}

std::string publishedText(const korvex::host::PropertyListOwner& published, const char* name) {
    const auto value = scalarValue<std::string>(published.find(name));
    if (!value)
        throw std::runtime_error(std::string("framegrab published no ") + name);
    return *value;
}

void makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder))
        throw std::runtime_error("cannot make the folder '" + folder + "': " +
                                 (error ? error.message() : "a file of that name is in the way"));
}

// Converts one packed frame with the filter (which takes it over) and writes it.
void writeFrame(conduit::interfaces::filter::IControl& filter, korvex::host::BufferPtr packed,
                const std::string& path) {
    FramePtr planar(dynamic_cast<webcam::VideoDataBuffer*>(filter.filter(packed.release())));
    if (planar == nullptr)
        throw std::runtime_error("pixsieve returned no frame");
    const std::size_t pixels = planar->height * planar->width;
    if (planar->bytesPerPixel != 3 || planar->size != pixels * 3 || planar->data == nullptr)
        throw std::runtime_error("pixsieve returned a frame of " + std::to_string(planar->size) +
                                 " bytes for " + std::to_string(planar->width) + "x" +
                                 std::to_string(planar->height) + " pixels");
    writeRgbPng(path, planarColumnToRgbRows(planar->data, planar->height, planar->width),
                planar->height, planar->width);
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

    // The libraries outlive every object they made.
    korvex::host::PluginLibrary grabLibrary(korvex::host::pluginPath("framegrab"));
    korvex::host::PluginLibrary sieveLibrary(korvex::host::pluginPath("pixsieve"));
    korvex::host::Channel channel("camgrab");
    channel.setKeepLatestPropertyValuesOnly(true); // two updates per frame
    FrameInbox inbox(settings.frames, WAITING_ROOM);
    korvex::host::PropertyListOwner published;
    auto device = grabLibrary.createDevice(channel);
    auto filter = sieveLibrary.createFilter(channel);
    std::size_t messagesSeen = 0;

    korvex::host::Options deviceOptions;
    deviceOptions.set("WebcamID", korvex::i18n::widen(settings.webcamID));
    if (!settings.resolution.empty())
        deviceOptions.set("Resolution", korvex::i18n::widen(settings.resolution));
    if (settings.rate > 0)
        deviceOptions.set("RequestedFramerate", settings.rate);
    device->init(deviceOptions, published.list());
    const std::string initErrors = showNewMessages(channel, messagesSeen);
    // framegrab publishes nothing when the camera lacks the mode asked for.
    if (!initErrors.empty() && published.size() == 0)
        throw std::runtime_error("camera '" + settings.webcamID +
                                 "' does not offer the mode asked for");
    if (!initErrors.empty())
        throw std::runtime_error("camera '" + settings.webcamID + "' is not available");
    const std::string resolution = publishedText(published, "Resolution");

    // The filter converts from the layout the device announces to the host's.
    korvex::host::Options filterOptions;
    for (const char* name : {"InputFrameType", "OutputFrameType"})
        filterOptions.set(name, korvex::i18n::widen(publishedText(published, name)));
    filter->init(filterOptions);
    filter->open(korvex::host::Options());

    std::cout << "camgrab: " << resolution << " frames from " << settings.webcamID << ", writing "
              << settings.frames << " to " << settings.folder << std::endl;

    // Frames of the camera's short run inside init are not wanted; from here on
    // every frame goes to the inbox.
    channel.takeAllBuffers();
    channel.setBufferHandler(
        [&inbox](korvex::host::BufferPtr frame) { return inbox.offer(std::move(frame)); });
    channel.setOpen(true);
    device->open(korvex::host::Options());
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::duration<double>(settings.timeout));
    std::uint64_t written = 0;
    std::string failure;
    try {
        while (written < settings.frames && !kxtools::stopRequested()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                failure = "only " + std::to_string(written) + " of " +
                          std::to_string(settings.frames) + " frames came in " +
                          std::to_string(static_cast<int>(settings.timeout)) + " s";
                break;
            }
            showNewMessages(channel, messagesSeen);
            FrameInbox::Arrival arrival = inbox.takeArrival(100ms);
            if (arrival.frame == nullptr)
                continue;
            const std::string path = frameFileName(settings, ++written);
            writeFrame(*filter, std::move(arrival.frame), path);
            // The frame's place on the timeline that readings share.
            char monotonic[48];
            std::snprintf(monotonic, sizeof monotonic, "%.6f",
                          arrivals::monotonicSeconds(arrival.time));
            std::cout << "camgrab: wrote " << path << " (arrived at monotonic " << monotonic
                      << " s)" << std::endl;
        }
    } catch (...) {
        device->close();
        filter->close();
        throw;
    }
    device->close();
    channel.setOpen(false);
    filter->close();
    showNewMessages(channel, messagesSeen);

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
