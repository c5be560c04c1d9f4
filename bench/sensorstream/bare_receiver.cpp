// The floor under sensorstream's reading path: the same work done in one thread with
// nothing between the socket and the file. Datagrams of the binary app are read
// from one socket (a 4 MiB buffer, recvmmsg in blocks, the first sender's address
// only), each record is read as kinescope reads it, and each reading is written as
// sensorstream's JSON line (its own formatter, every field) into 64 KiB blocks. No
// plug-in, channel, second thread or host value is involved, so what sensorstream
// costs above this program is what its design adds; what this program costs is what
// the kernel and the output format take on this machine.
//
// Like kinelink's listener on Linux, having read the socket empty it sleeps 4 ms
// when the stream brings more than a datagram a millisecond, so a fast stream is
// read in blocks rather than woken for every datagram.
//
//     sensorstream_bare_receiver --port 50000 --output readings.jsonl
//
// It prints "listening on UDP port N" on standard error; Ctrl-C (SIGINT) ends it
// with "readings N". bench/sensorstream/reading_path_bench.py runs it.

#include "mobilesensor/local_time.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/help_and_version.h"
#include "tools/common/number_parsing.h"
#include "tools/common/option_parser.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"
#include "tools/sensorstream/console.h"
#include "tools/sensorstream/output_file.h"
#include "tools/sensorstream/record_format.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/socket.h>

namespace {

using sensorstream::SampleRecord;

constexpr double GRAVITY = 9.81;
constexpr double MAGNETIC_SCALE = 1e6;

// The kinescope record kinds and their lengths.
constexpr unsigned char MAGNETIC_HEADING = 0x10, ACCELERATION = 0x20, ROTATION = 0x30,
                        LOCATION = 0x40;

// The place of every field a record kind sets, looked up once.
struct Fields {
    std::size_t x = at("X"), y = at("Y"), z = at("Z");
    std::size_t trueHeading = at("TrueHeading"), magneticHeading = at("MagneticHeading"),
                headingAccuracy = at("HeadingAccuracy");
    std::size_t latitude = at("Latitude"), longitude = at("Longitude"),
                horizontalAccuracy = at("HorizontalAccuracy"), course = at("Course"),
                speed = at("Speed"), altitude = at("Altitude"),
                verticalAccuracy = at("VerticalAccuracy");

    static std::size_t at(const char* name) { return sensorstream::fieldIndex(name); }
};
const Fields FIELD;

void put(SampleRecord& record, std::size_t field, double value) {
    record.set.set(field);
    record.values[field] = value;
}

SampleRecord reading(std::int32_t measurement) {
    SampleRecord record;
    record.set.set(sensorstream::TIMESTAMP_FIELD);
    record.set.set(sensorstream::MEASUREMENT_FIELD);
    record.measurement = measurement;
    record.values[sensorstream::MEASUREMENT_FIELD] = measurement;
    return record;
}

// The readings of one record (up to two), as kinescope reads it: acceleration in g
// times 9.81, the magnetic field in millionths, the heading and the fix dropped when
// the app marks them invalid. Returns how many.
int readingsOf(const unsigned char* data, std::size_t length, SampleRecord* out) {
    const unsigned char kind = length > 7 ? data[7] : 0;
    double v[7];
    const auto numbers = [&](std::size_t count) { std::memcpy(v, data + 16, 8 * count); };
    if ((kind == ACCELERATION || kind == ROTATION) && length == 40) {
        numbers(3);
        const double scale = kind == ACCELERATION ? GRAVITY : 1.0;
        out[0] = reading(kind == ACCELERATION ? 1 : 2);
        put(out[0], FIELD.x, v[0] * scale);
        put(out[0], FIELD.y, v[1] * scale);
        put(out[0], FIELD.z, v[2] * scale);
        return 1;
    }
    if (kind == MAGNETIC_HEADING && length == 64) {
        numbers(6);
        int count = 0;
        if (v[2] >= 0.0) {
            out[count] = reading(3);
            put(out[count], FIELD.trueHeading, v[0]);
            put(out[count], FIELD.magneticHeading, v[1]);
            put(out[count], FIELD.headingAccuracy, v[2]);
            ++count;
        }
        out[count] = reading(5);
        put(out[count], FIELD.x, v[3] / MAGNETIC_SCALE);
        put(out[count], FIELD.y, v[4] / MAGNETIC_SCALE);
        put(out[count], FIELD.z, v[5] / MAGNETIC_SCALE);
        return count + 1;
    }
    if (kind == LOCATION && length == 72) {
        numbers(7);
        if (!(v[3] >= 0.0 && v[4] >= 0.0))
            return 0;
        out[0] = reading(4);
        put(out[0], FIELD.latitude, v[0]);
        put(out[0], FIELD.longitude, v[1]);
        put(out[0], FIELD.horizontalAccuracy, v[3]);
        put(out[0], FIELD.course, v[5]);
        put(out[0], FIELD.speed, v[6]);
        out[1] = reading(7);
        put(out[1], FIELD.altitude, v[2]);
        put(out[1], FIELD.verticalAccuracy, v[4]);
        return 2;
    }
    return 0;
}

// The local time to the millisecond, as a sample buffer stamps itself.
void stampNow(SampleRecord& record) {
    const mobilesensor::LocalTime now = mobilesensor::readLocalTime();
    record.timestamp = {double(now.year),   double(now.month),
                        double(now.day),    double(now.hour),
                        double(now.minute), now.second + now.millisecond / 1000.0};
}

// Writes a block through sensorstream's own console write, as its output thread does.
// Throws std::runtime_error when the file takes no more.
void writeOut(sensorstream::Console& console, const sensorstream::OutputFile& output,
              const std::string& text) {
    errno = 0;
    if (!console.write(output.stream(), text))
        throw std::runtime_error("cannot write " + output.name() + ": " +
                                 (errno != 0 ? std::strerror(errno) : "write error"));
}

// recvmmsg's headers for a block of datagrams, each into its own room, made once.
struct ReceiveBlock {
    static constexpr int SIZE = 16;
    unsigned char datagrams[SIZE][128];
    sockaddr_in senders[SIZE];
    iovec parts[SIZE];
    mmsghdr messages[SIZE];

    ReceiveBlock() {
        for (int i = 0; i < SIZE; ++i) {
            parts[i] = {datagrams[i], sizeof datagrams[i]};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &senders[i];
        }
    }

    // Receives up to SIZE datagrams, waiting for the first; -1 when none came.
    int receive(int sock) {
        // The kernel shortens the room it filled: each header gets it back.
        for (auto& message : messages)
            message.msg_hdr.msg_namelen = sizeof(sockaddr_in);
        return ::recvmmsg(sock, messages, SIZE, MSG_WAITFORONE, nullptr);
    }
};

int run(int argc, char** argv) {
    std::uint16_t port = 0;
    std::string outputPath;
    kxtools::OptionParser parser(
        "sensorstream_bare_receiver", "--output FILE [--port N]",
        "Receives the binary app's datagrams on 127.0.0.1 and writes sensorstream's JSON\n"
        "lines from one thread with nothing in between. Ctrl-C ends it.");
    parser.option("port", "N", "the UDP port to listen on, 0 for any free one (default 0)",
                  [&](const std::string& value) {
                      port = static_cast<std::uint16_t>(
                          kxtools::parseInteger(value, "--port", 0, 65535));
                  });
    parser.option("output", "FILE", "where the JSON lines go",
                  [&](const std::string& value) { outputPath = value; });
    if (const auto answered = kxtools::answerHelpOrVersion(
            parser.parse(argc, argv), parser, "sensorstream_bare_receiver", KX_VERSION_STRING, {}))
        return *answered;
    if (outputPath.empty())
        throw kxtools::UsageError("--output is required");
    kxtools::installStopHandler();

    sensorstream::OutputFile output(outputPath);
    // No status block is drawn, so the console never redraws around a write.
    sensorstream::Console console(stderr, false, false, false);
    const int sock = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (sock < 0)
        throw std::runtime_error(std::string("cannot make a UDP socket: ") + std::strerror(errno));
    const int bufferBytes = 4 << 20;
    ::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    // A waiting receive returns at least this often to look at the stop flag.
    const timeval stopCheck{0, 200000};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &stopCheck, sizeof stopCheck);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t addressLength = sizeof address;
    if (::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &addressLength) != 0)
        throw std::runtime_error("cannot listen on UDP port " + std::to_string(port) + ": " +
                                 std::strerror(errno));
    std::fprintf(stderr, "listening on UDP port %u\n", ntohs(address.sin_port));

    constexpr std::size_t WRITE_BLOCK = 64 * 1024;
    ReceiveBlock block;
    const sensorstream::JsonFormat json;
    std::string text;
    text.reserve(2 * WRITE_BLOCK);
    std::uint64_t count = 0;
    std::optional<std::uint32_t> sender;
    double lastEmptied = 0.0;
    while (!kxtools::stopRequested()) {
        const int got = block.receive(sock);
        if (got <= 0)
            continue;
        for (int i = 0; i < got; ++i) {
            const std::uint32_t from = block.senders[i].sin_addr.s_addr;
            if (!sender)
                sender = from;
            if (from != *sender)
                continue;
            const double arrival = arrivals::monotonicNow();
            SampleRecord readings[2];
            const int made = readingsOf(block.datagrams[i], block.messages[i].msg_len, readings);
            for (int r = 0; r < made; ++r) {
                readings[r].phone = "phone";
                readings[r].monotonic = arrival;
                stampNow(readings[r]);
                json.append(readings[r], text);
                ++count;
            }
        }
        if (text.size() >= WRITE_BLOCK) {
            writeOut(console, output, text);
            text.clear();
        }
        if (got < ReceiveBlock::SIZE) {
            // The socket is empty: a stream faster than a datagram a millisecond is
            // given 4 ms to gather more.
            const double now = arrivals::monotonicNow();
            const bool fast = got > 1 || now - lastEmptied < 0.001;
            lastEmptied = now;
            if (fast) {
                const timespec pause{0, 4000000};
                ::nanosleep(&pause, nullptr);
            }
        }
    }
    writeOut(console, output, text);
    output.close();
    std::fprintf(stderr, "readings %llu\n", static_cast<unsigned long long>(count));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("sensorstream_bare_receiver", [&] { return run(argc, argv); });
}
