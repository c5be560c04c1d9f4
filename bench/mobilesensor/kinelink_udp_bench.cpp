// How fast the UDP listener hands datagrams on, against the ceiling of a plain
// blocking recvfrom loop, with a paced sender process on 127.0.0.1.
//
// (a) plain: one thread in a blocking recvfrom loop on a socket with the listener's
//     receive buffer request.
// (b) listener: mobilesensor::UDPListener whose data callback builds an
//     AccelerometerDataBuffer and writes it into the stand-in host's channel, which
//     another thread drains every millisecond.
//
// For each, the highest paced rate held for --seconds with no datagram lost
// (sequence numbers), found by raising the rate by half until a loss and then
// bisecting to 5 %. Then the send-to-channel latency at --latency-rate.

#include "conduit/kit/channel_calls.h"
#include "host/channel.h"
#include "mobilesensor/sample_buffers.h"
#include "mobilesensor/udp_listener.h"
#include "paced_sender.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace kinelink_bench;
using mobilesensor::MobileSensorDataBuffer;

// What one trial's receiver saw. The receiving thread is its only writer; the
// benchmark reads it after `received` (release/acquire) says how far to look.
struct Tally {
    Tally(std::uint32_t trialNumber, std::size_t latencySlots, std::uint64_t lastSample = 0)
        : trial(trialNumber), sampleAlsoAt(lastSample), latencyNs(latencySlots) {}
    const std::uint32_t trial;
    const std::uint64_t sampleAlsoAt; // a datagram index to take a CPU sample at, or 0
    std::uint32_t nextSequence = 0;
    std::atomic<std::uint64_t> outOfOrder{0};
    std::atomic<std::uint64_t> received{0};
    std::vector<std::int64_t> latencyNs; // send to arrival, per datagram received
    // CPU time of the receiving thread at the first and at the latest sampled datagram.
    std::int64_t cpuFirstNs = 0;
    std::atomic<std::int64_t> cpuSampledNs{0};
    std::atomic<std::uint64_t> cpuSampledAt{0};
};

std::int64_t threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Reading the thread's CPU clock is a system call: only every this many datagrams.
constexpr std::uint64_t CPU_SAMPLE_EVERY = 1024;

void record(Tally& tally, const unsigned char* data, std::size_t length, std::int64_t arrivedNs) {
    if (length < DATAGRAM_SIZE)
        return;
    std::uint32_t trial = 0;
    std::uint32_t sequence = 0;
    std::int64_t sentAt = 0;
    std::memcpy(&trial, data, 4);
    std::memcpy(&sequence, data + 4, 4);
    std::memcpy(&sentAt, data + 8, 8);
    if (trial != tally.trial)
        return; // a straggler of an earlier trial
    if (sequence != tally.nextSequence)
        tally.outOfOrder.fetch_add(1, std::memory_order_relaxed);
    tally.nextSequence = sequence + 1;
    const std::uint64_t n = tally.received.load(std::memory_order_relaxed);
    if (n < tally.latencyNs.size())
        tally.latencyNs[n] = arrivedNs - sentAt;
    if (n == 0) {
        tally.cpuFirstNs = threadCpuNs();
    } else if (n % CPU_SAMPLE_EVERY == 0 || n == tally.sampleAlsoAt) {
        tally.cpuSampledNs.store(threadCpuNs() - tally.cpuFirstNs, std::memory_order_relaxed);
        tally.cpuSampledAt.store(n, std::memory_order_relaxed);
    }
    tally.received.store(n + 1, std::memory_order_release);
}

// A receiver under test: a port, and the tally its receiving thread fills.
class Receiver {
public:
    virtual ~Receiver() = default;
    virtual const char* name() const = 0;
    virtual std::uint16_t port() const = 0;
    virtual std::size_t grantedBuffer() const = 0;
    void setTally(Tally* tally) { current_.store(tally, std::memory_order_release); }

    // Holds the receiving thread at its next datagram until resume(), so that a
    // burst can pile up in the socket's queue.
    void pause() {
        const std::lock_guard<std::mutex> lock(pauseMutex_);
        paused_ = true;
    }
    bool waitUntilHeld(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(pauseMutex_);
        return pauseChanged_.wait_for(lock, timeout, [this] { return held_; });
    }
    void resume() {
        {
            const std::lock_guard<std::mutex> lock(pauseMutex_);
            paused_ = false;
        }
        pauseChanged_.notify_all();
    }

protected:
    Tally* tally() const { return current_.load(std::memory_order_acquire); }
    // The receiving thread calls this with each datagram.
    void holdIfPaused() {
        std::unique_lock<std::mutex> lock(pauseMutex_);
        if (!paused_)
            return;
        held_ = true;
        pauseChanged_.notify_all();
        pauseChanged_.wait(lock, [this] { return !paused_; });
        held_ = false;
    }

private:
    std::atomic<Tally*> current_{nullptr};
    std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
    bool paused_ = false;
    bool held_ = false;
};

// (a) the ceiling: a blocking recvfrom loop.
class PlainReceiver final : public Receiver {
public:
    PlainReceiver() {
        socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        int request = mobilesensor::UDPListener::RECEIVE_BUFFER_REQUEST;
        setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &request, sizeof request);
        timeval wake{0, 100000}; // look at `running_` ten times a second
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            throw std::runtime_error("cannot bind the plain receiver");
        socklen_t size = sizeof local;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size);
        port_ = ntohs(local.sin_port);
        // Linux answers twice the size it granted (it books its own overhead there);
        // halved, as the listener reports it.
        int granted = 0;
        socklen_t grantedSize = sizeof granted;
        getsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &granted, &grantedSize);
        granted_ = static_cast<std::size_t>(granted) / 2;
        thread_ = std::thread([this] { loop(); });
    }
    ~PlainReceiver() override {
        running_ = false;
        thread_.join();
        close(socket_);
    }
    const char* name() const override { return "plain recvfrom loop"; }
    std::uint16_t port() const override { return port_; }
    std::size_t grantedBuffer() const override { return granted_; }

private:
    void loop() {
        unsigned char buffer[72];
        while (running_) {
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t n = recvfrom(socket_, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (n < 0)
                continue;
            holdIfPaused();
            const std::int64_t arrived = monotonicNs();
            if (Tally* t = tally())
                record(*t, buffer, static_cast<std::size_t>(n), arrived);
        }
    }

    int socket_ = -1;
    std::uint16_t port_ = 0;
    std::size_t granted_ = 0;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

// (b) the listener delivering into the channel, as a sensor device does.
class ListenerReceiver final : public Receiver {
public:
    ListenerReceiver()
        : listener_(
              "127.0.0.1", 0, 72,
              [this](boost::shared_array<std::uint8_t> data, std::size_t length) {
                  return onDatagram(data, length);
              },
              [](const std::string& id, const std::string& text) {
                  std::fprintf(stderr, "listener error: \"%s\" \"%s\"\n", id.c_str(), text.c_str());
              },
              [](const std::string&, const std::string&) {}) {
        drainer_ = std::thread([this] { drain(); });
        listener_.beginListening();
    }
    ~ListenerReceiver() override {
        listener_.stopListening();
        running_ = false;
        drainer_.join();
    }
    const char* name() const override { return "listener into channel"; }
    std::uint16_t port() const override { return listener_.getPort(); }
    std::size_t grantedBuffer() const override { return listener_.getReceiveBufferSize(); }

private:
    bool onDatagram(const boost::shared_array<std::uint8_t>& data, std::size_t length) {
        holdIfPaused();
        bool accepted = false;
        if (length >= DATAGRAM_SIZE) {
            double g[3];
            std::memcpy(g, data.get() + 16, sizeof g);
            accepted = conduit::kit::device::pushBuffer(
                channel_,
                new mobilesensor::AccelerometerDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP,
                                                          g[0] * 9.81, g[1] * 9.81, g[2] * 9.81));
        }
        const std::int64_t inChannel = monotonicNs();
        if (Tally* t = tally())
            record(*t, data.get(), length, inChannel);
        return accepted;
    }

    // The host's side: take what the channel holds every millisecond and release it.
    void drain() {
        while (running_) {
            channel_.takeAllBuffers();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        channel_.takeAllBuffers();
    }

    korvex::host::Channel channel_;
    std::atomic<bool> running_{true};
    std::thread drainer_;
    mobilesensor::UDPListener listener_;
};

struct Options {
    std::int64_t seconds = 5;
    std::uint64_t latencyRate = 1000;
    std::uint64_t startRate = 50000;
    std::uint64_t maxRate = 2000000; // the search stops here
    std::uint64_t fixedRate = 0;     // one trial per receiver at this rate instead of a search
};

struct Outcome {
    SendResult sent;
    std::uint64_t received;
    std::uint64_t outOfOrder;
    bool senderKeptPace;
    double cpuPerDatagramUs; // receiving thread; 0 when too few datagrams came
    bool lossless() const { return sent.failed == 0 && received == sent.sent; }
    std::vector<std::int64_t> latencyNs;
};

// More than any sender here can send: no pacing at all.
constexpr std::uint64_t FLOOD_RATE = 5000000;
// A burst that the requested receive buffer holds whole (each 40-byte datagram takes
// about a kilobyte of socket memory on loopback).
constexpr std::uint64_t BURST = 4000;

class Bench {
public:
    explicit Bench(const Options& options) : options_(options) {}

    Outcome trial(Receiver& receiver, std::uint64_t rate, std::int64_t seconds, bool keepLatency) {
        const std::uint64_t count = rate * static_cast<std::uint64_t>(seconds);
        tallies_.push_back(std::make_unique<Tally>(++trialNumber_, keepLatency ? count : 0));
        Tally& tally = *tallies_.back();
        receiver.setTally(&tally);
        const SendResult sent = sender_.send({tally.trial, receiver.port(), rate, count});
        // Wait for the stragglers: until all are in, or nothing came for 300 ms.
        std::uint64_t seen = tally.received.load(std::memory_order_acquire);
        auto lastProgress = std::chrono::steady_clock::now();
        while (seen < sent.sent &&
               std::chrono::steady_clock::now() - lastProgress < std::chrono::milliseconds(300)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const std::uint64_t now = tally.received.load(std::memory_order_acquire);
            if (now != seen)
                lastProgress = std::chrono::steady_clock::now();
            seen = now;
        }
        receiver.setTally(nullptr);
        // Tallies stay alive: the receiving thread may still hold the pointer.
        Outcome outcome{sent, seen, tally.outOfOrder.load(), true, 0.0, {}};
        const std::uint64_t sampledAt = tally.cpuSampledAt.load(std::memory_order_relaxed);
        if (sampledAt != 0)
            outcome.cpuPerDatagramUs =
                static_cast<double>(tally.cpuSampledNs.load(std::memory_order_relaxed)) /
                static_cast<double>(sampledAt) / 1000.0;
        const std::int64_t nominal = seconds * 1000000000;
        outcome.senderKeptPace = sent.durationNs <= nominal + nominal / 50;
        if (keepLatency)
            outcome.latencyNs.assign(tally.latencyNs.begin(),
                                     tally.latencyNs.begin() + static_cast<std::ptrdiff_t>(seen));
        return outcome;
    }

    // A burst queued while the receiver is held, then drained at full speed: the
    // receiving thread's CPU time per datagram with its queue never empty. 0 when
    // the burst did not arrive whole.
    double burstCpuPerDatagramUs(Receiver& receiver, std::uint64_t count) {
        receiver.pause();
        sender_.send({0, receiver.port(), FLOOD_RATE, 1}); // trial 0: held, not counted
        if (!receiver.waitUntilHeld(std::chrono::seconds(5))) {
            receiver.resume();
            return 0;
        }
        tallies_.push_back(std::make_unique<Tally>(++trialNumber_, 0, count - 1));
        Tally& tally = *tallies_.back();
        receiver.setTally(&tally);
        const SendResult sent = sender_.send({tally.trial, receiver.port(), FLOOD_RATE, count});
        receiver.resume();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (tally.received.load(std::memory_order_acquire) < sent.sent &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        receiver.setTally(nullptr);
        if (tally.received.load(std::memory_order_acquire) != count ||
            tally.cpuSampledAt.load() != count - 1)
            return 0;
        return static_cast<double>(tally.cpuSampledNs.load()) / static_cast<double>(count - 1) /
               1000.0;
    }

    // One step of the search for the highest rate held with no loss: up by half until
    // a loss, then bisect to 5 %. With --rate, that one rate only.
    struct Search {
        Receiver& receiver;
        std::uint64_t rate;
        std::uint64_t good = 0;
        std::uint64_t bad = 0;
        bool done = false;
    };

    Search startSearch(Receiver& receiver) const {
        return Search{receiver, options_.fixedRate != 0 ? options_.fixedRate : options_.startRate};
    }

    void step(Search& search) {
        const Outcome outcome = trial(search.receiver, search.rate, options_.seconds, false);
        const bool ok = outcome.lossless() && outcome.senderKeptPace;
        std::printf("  %-22s %8llu/s: %s  received %llu of %llu, receiving thread %.2f us "
                    "CPU per datagram, sender late by up to %.1f ms%s\n",
                    search.receiver.name(), static_cast<unsigned long long>(search.rate),
                    ok ? "no loss" : (outcome.senderKeptPace ? "LOSS   " : "SENDER "),
                    static_cast<unsigned long long>(outcome.received),
                    static_cast<unsigned long long>(outcome.sent.sent), outcome.cpuPerDatagramUs,
                    static_cast<double>(outcome.sent.maxLateNs) / 1e6,
                    outcome.senderKeptPace ? "" : " (sender could not keep the pace)");
        std::fflush(stdout);
        if (!outcome.senderKeptPace)
            senderLimit_ = senderLimit_ == 0 ? search.rate : std::min(senderLimit_, search.rate);
        (ok ? search.good : search.bad) = search.rate;
        const std::uint64_t bad = search.bad;
        const std::uint64_t good = search.good;
        if (options_.fixedRate != 0 || (bad != 0 && good != 0 && bad * 100 <= good * 105)) {
            search.done = true;
            return;
        }
        search.rate =
            bad == 0 ? search.rate * 3 / 2 : (good == 0 ? search.rate / 2 : (good + bad) / 2);
        search.done = search.rate < 1000 || search.rate > options_.maxRate;
    }

    std::uint64_t senderLimit() const { return senderLimit_; }

private:
    Options options_;
    PacedSender sender_; // forked before any thread of the benchmark exists
    std::uint32_t trialNumber_ = 0;
    std::vector<std::unique_ptr<Tally>> tallies_;
    std::uint64_t senderLimit_ = 0;
};

double microseconds(std::int64_t ns) { return static_cast<double>(ns) / 1000.0; }

void printLatency(const char* what, std::vector<std::int64_t> ns, std::uint64_t sent) {
    if (ns.empty()) {
        std::printf("  %-22s nothing received\n", what);
        return;
    }
    std::sort(ns.begin(), ns.end());
    const auto at = [&](std::size_t percent) { return ns[(ns.size() - 1) * percent / 100]; };
    std::printf("  %-22s p50 %7.1f us  p99 %7.1f us  max %8.1f us  (%zu of %llu datagrams)\n", what,
                microseconds(at(50)), microseconds(at(99)), microseconds(ns.back()), ns.size(),
                static_cast<unsigned long long>(sent));
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            return false;
        } else if (arg == "--seconds" && hasValue) {
            options.seconds = std::max(1LL, std::stoll(argv[++i]));
        } else if (arg == "--latency-rate" && hasValue) {
            options.latencyRate = std::max(1ULL, std::stoull(argv[++i]));
        } else if (arg == "--rate" && hasValue) {
            options.fixedRate = std::max(1000ULL, std::stoull(argv[++i]));
        } else if (arg == "--start-rate" && hasValue) {
            options.startRate = std::max(1000ULL, std::stoull(argv[++i]));
        } else {
            std::fprintf(stderr, "unknown option: %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::printf("usage: kinelink_udp_bench [--seconds N] [--latency-rate N] [--start-rate N]\n"
                    "                          [--rate N]\n"
                    "Paces 40-byte datagrams from a child process to 127.0.0.1 and finds the\n"
                    "highest rate held for N seconds (default 5) with no loss by a plain\n"
                    "recvfrom loop and by the UDP listener writing sample buffers into a\n"
                    "channel; then the send-to-channel latency at --latency-rate (1000/s).\n"
                    "--rate N runs one trial per receiver at N/s instead of the search.\n");
        return argc > 1 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    Bench bench(options); // forks the sender before any thread starts

    double load[3] = {};
    if (getloadavg(load, 3) < 0)
        load[0] = -1;
    std::printf("kinelink_udp_bench: %ld processors, load average %.2f; trials of %lld s\n",
                sysconf(_SC_NPROCESSORS_ONLN), load[0], static_cast<long long>(options.seconds));

    // Both receivers live through the whole run and take turns, so that both meet the
    // same machine: other work on it comes and goes.
    PlainReceiver plain;
    ListenerReceiver listener;
    const std::size_t plainBuffer = plain.grantedBuffer();
    const std::size_t listenerBuffer = listener.grantedBuffer();
    std::printf("receive buffer granted: %s %zu bytes, %s %zu bytes\n", plain.name(), plainBuffer,
                listener.name(), listenerBuffer);

    std::printf("zero-loss search, trials taking turns\n");
    Bench::Search plainSearch = bench.startSearch(plain);
    Bench::Search listenerSearch = bench.startSearch(listener);
    while (!plainSearch.done || !listenerSearch.done) {
        if (!plainSearch.done)
            bench.step(plainSearch);
        if (!listenerSearch.done)
            bench.step(listenerSearch);
    }
    const std::uint64_t plainRate = plainSearch.good;
    const std::uint64_t listenerRate = listenerSearch.good;

    // Capacity: a burst of BURST datagrams queued while the receiver is held, then
    // drained. The receiving thread's CPU time per datagram bounds what it can take
    // with a core to itself; CPU time, unlike the rates above, hardly depends on what
    // else the machine runs. Rounds take turns; medians.
    std::printf("capacity: receiving thread CPU per datagram draining a queued burst of %llu\n",
                static_cast<unsigned long long>(BURST));
    std::vector<double> plainCpu;
    std::vector<double> listenerCpu;
    for (int r = 0; r < 15; ++r) {
        const double viaPlain = bench.burstCpuPerDatagramUs(plain, BURST);
        const double viaListener = bench.burstCpuPerDatagramUs(listener, BURST);
        if (viaPlain > 0)
            plainCpu.push_back(viaPlain);
        if (viaListener > 0)
            listenerCpu.push_back(viaListener);
    }
    if (!plainCpu.empty() && !listenerCpu.empty()) {
        std::sort(plainCpu.begin(), plainCpu.end());
        std::sort(listenerCpu.begin(), listenerCpu.end());
        const double plainUs = plainCpu[plainCpu.size() / 2];
        const double listenerUs = listenerCpu[listenerCpu.size() / 2];
        std::printf("  %-22s median %.2f us (%.2f..%.2f, %zu bursts): at most %.0f datagrams/s "
                    "per core\n",
                    plain.name(), plainUs, plainCpu.front(), plainCpu.back(), plainCpu.size(),
                    1e6 / plainUs);
        std::printf("  %-22s median %.2f us (%.2f..%.2f, %zu bursts): at most %.0f datagrams/s "
                    "per core, %.0f %% of plain\n",
                    listener.name(), listenerUs, listenerCpu.front(), listenerCpu.back(),
                    listenerCpu.size(), 1e6 / listenerUs, 100.0 * plainUs / listenerUs);
    } else {
        std::printf("  bursts were lost: receive buffer too small for %llu datagrams\n",
                    static_cast<unsigned long long>(BURST));
    }

    // Latency in rounds of one second, taking turns as well.
    std::printf("latency at %llu datagrams/s, %lld rounds of 1 s each, send to arrival\n",
                static_cast<unsigned long long>(options.latencyRate),
                static_cast<long long>(options.seconds));
    std::vector<std::int64_t> listenerLatency;
    std::vector<std::int64_t> plainLatency;
    std::uint64_t listenerSent = 0;
    std::uint64_t plainSent = 0;
    for (std::int64_t r = 0; r < options.seconds; ++r) {
        const Outcome viaListener = bench.trial(listener, options.latencyRate, 1, true);
        listenerLatency.insert(listenerLatency.end(), viaListener.latencyNs.begin(),
                               viaListener.latencyNs.end());
        listenerSent += viaListener.sent.sent;
        const Outcome viaPlain = bench.trial(plain, options.latencyRate, 1, true);
        plainLatency.insert(plainLatency.end(), viaPlain.latencyNs.begin(),
                            viaPlain.latencyNs.end());
        plainSent += viaPlain.sent.sent;
    }
    printLatency("listener into channel", listenerLatency, listenerSent);
    printLatency("plain recvfrom loop", plainLatency, plainSent);

    std::printf("summary: zero-loss rate held %lld s: plain %llu/s, listener into channel "
                "%llu/s (%.0f %% of plain; goal 85 %%); receive buffers %zu / %zu bytes\n",
                static_cast<long long>(options.seconds), static_cast<unsigned long long>(plainRate),
                static_cast<unsigned long long>(listenerRate),
                plainRate != 0
                    ? 100.0 * static_cast<double>(listenerRate) / static_cast<double>(plainRate)
                    : 0.0,
                plainBuffer, listenerBuffer);
    if (bench.senderLimit() != 0)
        std::printf("note: the sender could not keep the pace at %llu/s; rates above are "
                    "bounded by the sender, not the receiver\n",
                    static_cast<unsigned long long>(bench.senderLimit()));
    return 0;
}
