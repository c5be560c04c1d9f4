#pragma once

// The C++ side of kx.SensorStream: a sensor session whose buffers go into a batch
// queue (host/batch_queue.h), each with its arrival on the monotonic clock, and
// reads that turn queued buffers into rows of a structured numpy array through the
// converter, with the interpreter lock released.

#include "device_news.h"
#include "host/batch_queue.h"
#include "mobilesensor/datagram_accounting.h"
#include "reading_record.h"
#include "tools/common/sensor_session.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <pybind11/numpy.h>
#include <string>
#include <vector>

namespace kx {

// A buffer the device wrote, and when: seconds on the monotonic clock
// (tools/arrivals/monotonic_clock.h), taken on the device's thread as it hands the
// buffer over within the delivery of its datagram, as sensorstream takes it.
struct ArrivedBuffer {
    korvex::host::BufferPtr buffer;
    double arrival = 0.0;
};

class SensorStream {
public:
    // Loads the plug-ins, initialises and opens the device: it listens when this
    // returns. capacity: readings kept for the reader; when they are not read, the
    // device's thread waits and the system's socket buffer takes the rest. Throws
    // kxtools::DeviceError when the device refuses the options or cannot listen.
    SensorStream(const kxtools::SensorSettings& settings, std::size_t capacity);
    ~SensorStream();

    SensorStream(const SensorStream&) = delete;
    SensorStream& operator=(const SensorStream&) = delete;

    // Waits until least readings are there (or the timeout passes, or the stream
    // closes), then returns up to most of them as rows of dtype, oldest first.
    // Called with the interpreter lock held; waits and conversions run without it.
    // A KeyboardInterrupt leaves as pybind11::error_already_set, and what had been
    // converted is returned by the next read. Ends early, possibly empty, when the
    // device posts a message.
    pybind11::array read(std::size_t least, std::size_t most,
                         std::optional<std::chrono::milliseconds> timeout,
                         const pybind11::dtype& dtype);

    std::uint16_t port() const { return boundPort; }
    const std::vector<std::string>& interfaces() const { return session.interfaces(); }
    // The local address the phone reached ("IPAddress"); empty until it sent.
    std::string localAddress();
    // Messages the device posted since the last call.
    std::vector<korvex::host::Message> takeMessages();
    // kinelink's accounting of this stream's port since the stream opened, until
    // it closed: other streams' ports count apart.
    mobilesensor::DatagramAccounting accounting() const;
    std::uint64_t readingsWritten() const { return session.buffersWritten(); }

    // Stops the device; readings already queued can still be read. Idempotent.
    void close();
    bool isClosed() const { return closed; }
    bool isWaiting() const { return waiting; }

private:
    // Takes what is queued, waiting up to timeout for a first buffer and a short
    // while for a batch, and converts it into pending rows.
    void takeAndConvert(std::chrono::milliseconds timeout);

    korvex::host::BatchQueue<ArrivedBuffer> queue;
    kxtools::SensorSession session;
    std::uint16_t boundPort = 0;
    mobilesensor::DatagramAccounting opened{};
    std::optional<mobilesensor::DatagramAccounting> atClose;
    std::atomic<bool> closed{false};
    std::atomic<bool> waiting{false};
    DeviceNews news;
    std::mutex propertiesMutex; // the session's property values
    std::string reachedAddress; // guarded by propertiesMutex

    std::mutex readMutex;               // one read at a time; taken without the interpreter lock
    std::vector<ReadingRecord> pending; // converted, not yet returned
    std::vector<ArrivedBuffer> taken;   // reused between reads (the queue swaps it)
    kxtools::SampleReader reader;       // keeps where the converter's fields are
};

} // namespace kx
