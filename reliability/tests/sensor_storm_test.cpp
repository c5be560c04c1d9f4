#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/kinelink_counts.h"
#include "reliability/buffer_ledger.h"
#include "reliability/counts_since.h"
#include "reliability/load_scale.h"
#include "reliability/loopback_sender.h"
#include "reliability/process_usage.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <string>
#include <vector>

// A storm of malformed and oversized datagrams, with valid readings in between,
// from the accepted sender into each loaded sensor device: the device goes on
// receiving, drops exactly the malformed ones and delivers the valid ones (some of
// them oversized and cut to the receive size) in order, reporting nothing.

namespace {

using korvex::host::Options;
using mobilesensor::KinelinkCounts;
using mobilesensor::testing::PluginSession;
using mobilesensor::testing::Sample;
using mobilesensor::testing::waitUntil;
using reliability::countsSince;

// The largest UDP payload over IPv4.
constexpr std::size_t LARGEST_DATAGRAM = 65507;

struct StormDatagram {
    std::vector<std::uint8_t> bytes;
    std::vector<Sample> expected; // what the device must write for it, in order
};

using Bytes = std::vector<std::uint8_t>;

Bytes text(const std::string& characters) { return Bytes(characters.begin(), characters.end()); }

Bytes randomBytes(std::mt19937& random, std::size_t size) {
    Bytes bytes(size);
    for (std::uint8_t& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return bytes;
}

std::size_t pick(std::mt19937& random, std::size_t low, std::size_t high) {
    return std::uniform_int_distribution<std::size_t>(low, high)(random);
}

// Text app (kinedgram, 200-byte receive size).
class TextStorm {
public:
    static constexpr std::int32_t APP = 1;

    StormDatagram valid(std::uint64_t sequence) {
        const std::string line = reading(sequence);
        return {text(line + "\n"), {accelerometer(sequence)}};
    }
    // Cut to 200 bytes, whose last becomes the end of the text: the blanks after the
    // reading are trimmed away and the reading stands.
    StormDatagram oversizedValid(std::uint64_t sequence, std::size_t size) {
        std::string line = reading(sequence);
        line.resize(size, ' ');
        return {text(line), {accelerometer(sequence)}};
    }
    StormDatagram malformed(std::mt19937& random, std::uint64_t sequence) {
        const std::string n = std::to_string(sequence);
        static const char* const shapes[] = {
            "A,1000000,1000000,1,%s\n",       // five fields
            "A,1000000,1000000,1,%s,0,7\n",   // seven fields
            "G,1000000,1000000,1,%s,0,0,0\n", // eight fields for a fix
            "a,1000000,1000000,1,%s,0\n",     // lower case kind
            "7,1000000,1000000,1,%s,0\n",     // a digit for a kind
            "A,1000000,1000000,1,%s,0x\n",    // not a number
            "A,1000000,1000000,1,%s,1e\n",    // an exponent without digits
            "A,1000000,1000000,1,%s,Nan\n",   // mixed case
            "A,1000000,1000000,1,%s,\n",      // an empty field
            "A,1000000,1000000,1,%s,\\q\n",   // an escape the app never writes
            "A,1000000,1000000,1,%s,0\\\n",   // an escape at the very end
            "A,1000000,1000000,\"1,%s\",0\n", // a quoted comma: five fields
            "A,1,2,%s\n",                     // too short
        };
        const std::size_t shape = pick(random, 0, std::size(shapes));
        if (shape == std::size(shapes)) {
            // Anything at all that does not begin with a kind letter.
            Bytes bytes = randomBytes(random, pick(random, 0, 210));
            if (!bytes.empty() && std::strchr("AGMNO", bytes[0]) != nullptr && bytes[0] != 0)
                bytes[0] = '#';
            return {bytes, {}};
        }
        char line[128];
        std::snprintf(line, sizeof line, shapes[shape], n.c_str());
        return {text(line), {}};
    }
    StormDatagram oversizedMalformed(std::size_t size) { return {Bytes(size, 'x'), {}}; }

private:
    static std::string reading(std::uint64_t sequence) {
        return "A,1000000,1000000,1," + std::to_string(sequence) + ",0";
    }
    static Sample accelerometer(std::uint64_t sequence) {
        return {'A', APP, {1.0, static_cast<double>(sequence), 0.0}};
    }
};

// Binary app (kinescope, 72-byte receive size).
class BinaryStorm {
public:
    static constexpr std::int32_t APP = 0;

    StormDatagram valid(std::uint64_t sequence) {
        Bytes record(40, 0);
        record[7] = 0x30;
        put(record, 16, 1.0);
        put(record, 24, static_cast<double>(sequence));
        return {record, {{'G', APP, {1.0, static_cast<double>(sequence), 0.0}}}};
    }
    // A location record with more behind it: cut to 72 bytes, it is a location.
    StormDatagram oversizedValid(std::uint64_t sequence, std::size_t size) {
        Bytes record(size, 0xee);
        std::fill(record.begin(), record.begin() + 16, 0);
        record[7] = 0x40;
        const double values[7] = {1.0, static_cast<double>(sequence), 2.0, 3.0, 4.0, 5.0, 6.0};
        for (std::size_t i = 0; i < 7; ++i)
            put(record, 16 + 8 * i, values[i]);
        return {record,
                {{'H', APP, {1.0, static_cast<double>(sequence), 3.0, 5.0, 6.0}},
                 {'V', APP, {2.0, 4.0}}}};
    }
    StormDatagram malformed(std::mt19937& random, std::uint64_t sequence) {
        StormDatagram d = valid(sequence);
        d.expected.clear();
        switch (pick(random, 0, 4)) {
        case 0: // a known type with another type's length
            d.bytes.resize(64);
            break;
        case 1: // one byte more or less
            d.bytes.resize(pick(random, 0, 1) ? 41 : 39);
            break;
        case 2: { // an unknown type
            std::uint8_t type = 0x30;
            while (type == 0x10 || type == 0x20 || type == 0x30 || type == 0x40)
                type = static_cast<std::uint8_t>(pick(random, 0, 255));
            d.bytes[7] = type;
            break;
        }
        case 3: // shorter than the type code's offset
            d.bytes.resize(pick(random, 0, 7));
            break;
        default: { // anything at all of a length no type has (and short of the cut)
            std::size_t size = pick(random, 0, 71);
            if (size == 40 || size == 64)
                ++size;
            d.bytes = randomBytes(random, size);
        }
        }
        return d;
    }
    // Cut to 72 bytes, a 40-byte type is of the wrong length.
    StormDatagram oversizedMalformed(std::size_t size) {
        Bytes record(size, 0);
        record[7] = 0x20;
        return {record, {}};
    }

private:
    static void put(Bytes& record, std::size_t offset, double value) {
        std::memcpy(record.data() + offset, &value, sizeof value);
    }
};

// The storm: mostly malformed datagrams, a third valid readings, one in twenty
// oversized (up to the largest UDP payload), half of those valid.
template <class Storm>
std::vector<StormDatagram> storm(std::size_t count, std::size_t receiveSize) {
    Storm kind;
    std::mt19937 random(20240611);
    std::vector<StormDatagram> all;
    all.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t roll = pick(random, 0, 99);
        const std::size_t size =
            i % 500 == 499 ? LARGEST_DATAGRAM : pick(random, receiveSize + 1, 9000);
        if (roll < 33)
            all.push_back(kind.valid(i));
        else if (roll < 35)
            all.push_back(kind.oversizedValid(i, size));
        else if (roll < 38)
            all.push_back(kind.oversizedMalformed(size));
        else
            all.push_back(kind.malformed(random, i));
    }
    return all;
}

struct StormCase {
    const char* plugin;
    const char* name;
    std::vector<StormDatagram> (*make)(std::size_t count);
};

std::ostream& operator<<(std::ostream& out, const StormCase& c) { return out << c.name; }

class SensorStorm : public testing::TestWithParam<StormCase> {};

TEST_P(SensorStorm, MalformedAndOversizedDatagramsAreDroppedAndValidOnesDeliveredInOrder) {
    PluginSession session(GetParam().plugin);
    reliability::BufferLedger ledger(session.channel, true);
    session.init(Options());
    reliability::LoopbackSender sender("127.0.0.1");
    const std::uint16_t port = session.open();
    ASSERT_NE(0, port);
    const std::vector<StormDatagram> datagrams = GetParam().make(reliability::scaled(20000));
    const KinelinkCounts before = mobilesensor::getKinelinkCounts();

    // Sent in bursts that the socket's queue holds whole: the device must see every
    // datagram, so that what it delivers can be compared one for one.
    std::vector<Sample> expected;
    std::size_t burstBytes = 0;
    std::uint64_t malformed = 0;
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        const StormDatagram& d = datagrams[i];
        ASSERT_TRUE(sender.send(port, d.bytes.data(), d.bytes.size())) << "datagram " << i;
        expected.insert(expected.end(), d.expected.begin(), d.expected.end());
        malformed += d.expected.empty() ? 1 : 0;
        burstBytes += d.bytes.size() + 1024; // with the system's own share
        if (burstBytes > 128 * 1024 || i + 1 == datagrams.size()) {
            ASSERT_TRUE(waitUntil([&] {
                return countsSince(before).datagramsReceived == sender.sent();
            })) << reliability::toText(countsSince(before))
                << "; sent " << sender.sent();
            burstBytes = 0;
        }
    }
    EXPECT_EQ(0u, reliability::udpSocketDrops(port).value_or(0));
    session.close();

    const std::vector<Sample> written = ledger.samples();
    std::cout << GetParam().name << " storm: sent " << datagrams.size() << ", of them " << malformed
              << " malformed; " << written.size() << " buffers delivered" << std::endl;
    ASSERT_EQ(expected.size(), written.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_TRUE(mobilesensor::testing::sameSample(expected[i], written[i]))
            << "buffer " << i << ": expected " << expected[i] << ", written " << written[i];
    const KinelinkCounts counts = countsSince(before);
    EXPECT_EQ(datagrams.size(), counts.datagramsDelivered);
    // The devices answer false for exactly the malformed datagrams.
    EXPECT_EQ(malformed, counts.datagramsRejected);
    EXPECT_EQ(written.size(), counts.sampleBuffersCreated);
    EXPECT_EQ(counts.sampleBuffersCreated, counts.sampleBuffersDestroyed);
    // Receiving went on to the end, and nothing was reported.
    EXPECT_TRUE(session.channel.messages().empty());
}

std::string paramName(const testing::TestParamInfo<StormCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(
    SensorDevices, SensorStorm,
    testing::Values(StormCase{"kinedgram", "Kinedgram",
                              [](std::size_t count) { return storm<TextStorm>(count, 200); }},
                    StormCase{"kinescope", "Kinescope",
                              [](std::size_t count) { return storm<BinaryStorm>(count, 72); }}),
    paramName);

} // namespace
