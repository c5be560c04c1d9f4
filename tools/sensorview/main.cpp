// sensorview: shows phones' sensor readings and a camera's picture live in a web
// browser, served on 127.0.0.1.

#include "camera_feed.h"
#include "datagram_accounting.h"
#include "host/plugin_loader.h"
#include "phone_feed.h"
#include "sensorview_options.h"
#include "tools/common/device_error.h"
#include "tools/common/help_and_version.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"
#include "view_messages.h"
#include "view_server.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace sensorview;
using Clock = std::chrono::steady_clock;

constexpr auto STATUS_PERIOD = std::chrono::milliseconds(500);

// Tells where to look and where each phone must send; flushed, so that a program
// that started sensorview reads it at once.
void announce(const std::string& address, std::uint16_t httpPort,
              const std::vector<std::unique_ptr<PhoneFeed>>& phones, const CameraFeed* camera,
              const std::string& bind) {
    for (const auto& phone : phones) {
        std::printf("sensorview: phone '%s' (%s app) listens on UDP port %u\n",
                    phone->phone().name.c_str(), sensorstream::appName(phone->phone().app),
                    static_cast<unsigned>(phone->port()));
    }
    if (!sensorstream::isLoopbackOnly(bind) && !phones.empty()) {
        std::string addresses;
        for (const auto& interface : phones.front()->session().interfaces())
            addresses += (addresses.empty() ? "" : ", ") + interface;
        std::printf("sensorview: point the phone apps at one of this computer's addresses: %s\n",
                    addresses.empty() ? "(none found)" : addresses.c_str());
    }
    if (camera != nullptr)
        std::printf("sensorview: camera %s, %s\n", camera->id().c_str(),
                    camera->resolution().c_str());
    std::printf("sensorview: open http://%s:%u/ in a browser (Ctrl-C ends)\n", address.c_str(),
                static_cast<unsigned>(httpPort));
    std::fflush(stdout);
}

// The devices' messages (a second phone sending, a camera lost) go to standard
// error as they come.
void tellNews(std::vector<std::unique_ptr<PhoneFeed>>& phones, CameraFeed* camera) {
    for (auto& phone : phones) {
        for (const auto& message : phone->session().newMessages())
            std::fprintf(stderr, "sensorview: %s from %s (phone '%s'): %s\n", message.type.c_str(),
                         phone->session().deviceName().c_str(), phone->phone().name.c_str(),
                         kxtools::messageText(message).c_str());
    }
    if (camera != nullptr) {
        for (const auto& message : camera->session().newMessages())
            std::fprintf(stderr, "sensorview: %s from framegrab: %s\n", message.type.c_str(),
                         kxtools::messageText(message).c_str());
    }
}

std::string hello(const std::vector<std::unique_ptr<PhoneFeed>>& phones, const CameraFeed* camera,
                  std::size_t clientQueue) {
    std::vector<PhoneIntro> intros;
    for (const auto& phone : phones)
        intros.push_back({phone->phone().name, phone->phone().app, phone->port()});
    std::optional<CameraIntro> cameraIntro;
    if (camera != nullptr)
        cameraIntro = CameraIntro{camera->id(), camera->resolution()};
    return helloJson(intros, cameraIntro, clientQueue);
}

// The status every half second: rates over the last two seconds of each phone.
class StatusTicker {
public:
    StatusTicker(const std::vector<std::unique_ptr<PhoneFeed>>& feeds, const CameraFeed* feed,
                 const DatagramAccounting& source, Clock::time_point begin)
        : phones(feeds), camera(feed), accounting(source), start(begin), meters(feeds.size()) {}

    OutMessage tick(Clock::time_point now, std::size_t clients) {
        ViewStatus status;
        status.seconds = std::chrono::duration<double>(now - start).count();
        status.clients = clients;
        for (std::size_t i = 0; i < phones.size(); ++i) {
            PhoneStatus phone;
            phone.name = phones[i]->phone().name;
            phone.counts = phones[i]->counts();
            meters[i].sample(now, phone.counts);
            phone.rates = meters[i].rates();
            phone.notConverted = phones[i]->notConverted();
            status.phones.push_back(std::move(phone));
        }
        status.accounting = accounting.rows();
        if (camera != nullptr)
            status.camera =
                CameraStatus{camera->arrivals(), camera->measuredRate(), camera->sent()};
        OutMessage message;
        message.kind = MessageKind::Status;
        message.data = std::make_shared<const std::string>(statusJson(status));
        return message;
    }

private:
    const std::vector<std::unique_ptr<PhoneFeed>>& phones;
    const CameraFeed* camera;
    const DatagramAccounting& accounting;
    Clock::time_point start;
    std::vector<sensorstream::RateMeter> meters;
};

int run(int argc, char** argv) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    if (const auto answered = kxtools::answerHelpOrVersion(
            parser.parse(argc, argv), parser, "sensorview", SENSORVIEW_VERSION,
            {"kinedgram", "kinescope", "kineconvert", "framegrab", "pixsieve"}))
        return *answered;
    completeSettings(settings);
    kxtools::installStopHandler();

    WebFiles files(shareFolderOf(korvex::host::platform::executableDirectory()));
    std::vector<std::unique_ptr<PhoneFeed>> phones;
    std::vector<KinelinkPortAccounting::PhonePort> ports;
    for (const auto& phone : settings.phones) {
        phones.push_back(std::make_unique<PhoneFeed>(phone, settings.bind));
        ports.push_back({phone.name, phones.back()->open()});
    }
    const KinelinkPortAccounting accounting(std::move(ports));
    std::unique_ptr<CameraFeed> camera;
    if (settings.camera)
        camera = std::make_unique<CameraFeed>(*settings.camera);

    ServerSettings serverSettings;
    serverSettings.address = settings.httpAddress;
    serverSettings.port = settings.httpPort;
    serverSettings.maxClients = settings.maxClients;
    serverSettings.clientQueue = settings.clientQueue;
    ViewServer server(serverSettings, std::move(files),
                      hello(phones, camera.get(), settings.clientQueue));
    server.start();
    Hub& hub = server.hub();
    const Publish publish = [&hub](OutMessage message) { hub.publish(std::move(message)); };
    for (auto& phone : phones)
        phone->start(publish);
    if (camera)
        camera->start(publish, [&hub] { return hub.clients() > 0; });
    announce(settings.httpAddress, server.port(), phones, camera.get(), settings.bind);

    const auto start = Clock::now();
    const auto end = settings.duration
                         ? start + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(*settings.duration))
                         : Clock::time_point::max();
    StatusTicker ticker(phones, camera.get(), accounting, start);
    for (auto next = start; !kxtools::stopRequested() && Clock::now() < end;) {
        next += STATUS_PERIOD;
        kxtools::sleepUntil(std::min(next, end));
        hub.publish(ticker.tick(Clock::now(), hub.clients()));
        tellNews(phones, camera.get());
    }

    // Acquisition stops first, so that the browsers get the last readings.
    if (camera)
        camera->close();
    for (auto& phone : phones)
        phone->close();
    server.stop();
    std::printf("sensorview: stopped after %.1f s\n",
                std::chrono::duration<double>(Clock::now() - start).count());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("sensorview", [&] { return run(argc, argv); });
}
