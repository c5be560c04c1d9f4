#include "sensor_stream.h"

#include "interruptible_wait.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/host_value.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kx {

namespace py = pybind11;

namespace {

// capacity buffers at most; a waiting reader is woken a batch at a time.
korvex::host::BatchLimits queueLimits(std::size_t capacity) {
    korvex::host::BatchLimits limits;
    limits.capacity = capacity;
    limits.batch = std::min<std::size_t>(capacity, 1024);
    limits.gather = std::chrono::milliseconds(5);
    return limits;
}

} // namespace

SensorStream::SensorStream(const kxtools::SensorSettings& settings, std::size_t capacity)
    : queue(queueLimits(capacity)),
      session(settings,
              [this](korvex::host::BufferPtr buffer) {
                  return queue.push(ArrivedBuffer{std::move(buffer), arrivals::monotonicNow()});
              }),
      news([this] { return session.newMessages(); }) {
    // The port's totals before the device binds it (an earlier stream of this
    // process may have had the port): nothing it receives is missed meanwhile.
    const auto before = mobilesensor::datagramAccountingForEveryPort();
    boundPort = session.open();
    opened.port = boundPort;
    for (const auto& port : before) {
        if (port.port == boundPort)
            opened = port;
    }
}

SensorStream::~SensorStream() {
    try {
        close();
    } catch (...) {
        // The session terms the device all the same.
    }
}

void SensorStream::close() {
    if (closed.exchange(true))
        return;
    // The queue first: a device thread waiting for room gives up its buffer, so
    // that closing the device (which joins that thread) cannot wait for a reader.
    queue.close();
    session.close();
    atClose = mobilesensor::datagramAccountingForPort(boundPort) - opened;
}

mobilesensor::DatagramAccounting SensorStream::accounting() const {
    return atClose ? *atClose : mobilesensor::datagramAccountingForPort(boundPort) - opened;
}

std::vector<korvex::host::Message> SensorStream::takeMessages() { return news.take(); }

std::string SensorStream::localAddress() {
    std::lock_guard<std::mutex> lock(propertiesMutex);
    for (const auto& property : session.newProperties()) {
        if (std::string(property->getName()) == "IPAddress")
            reachedAddress = session.valueText(property.get());
    }
    return reachedAddress;
}

void SensorStream::takeAndConvert(std::chrono::milliseconds timeout) {
    taken.clear();
    queue.take(taken, timeout);
    auto& converter = session.sampleConverter();
    kxtools::SampleRecord reading;
    for (auto& arrived : taken) {
        kxtools::HostArray structure(converter.convertDataBuffer(arrived.buffer.get()));
        arrived.buffer.reset(); // the host releases each buffer once it is converted
        if (!reader.read(structure.get(), reading))
            continue; // not a sensor sample: no reading
        fillRecord(reading, arrived.arrival, pending.emplace_back());
    }
    taken.clear();
}

py::array SensorStream::read(std::size_t least, std::size_t most,
                             std::optional<std::chrono::milliseconds> timeout,
                             const py::dtype& dtype) {
    std::unique_lock<std::mutex> oneReader(readMutex, std::defer_lock);
    {
        py::gil_scoped_release unlocked;
        oneReader.lock();
    }
    least = std::min(least, most);
    const auto enough = [&] { return pending.size() >= least; };
    {
        // What is queued already, without waiting for more.
        py::gil_scoped_release unlocked;
        if (pending.size() < most)
            takeAndConvert(std::chrono::milliseconds(0));
    }
    if (!enough() && !news.any()) {
        waitInterruptibly(
            timeout,
            [&](std::chrono::milliseconds slice) {
                // Converts each batch as it comes, so that the queue makes room
                // meanwhile.
                takeAndConvert(slice);
                return enough() || closed || news.any();
            },
            waiting);
    }
    const std::size_t rows = std::min(most, pending.size());
    py::array out(dtype, std::vector<py::ssize_t>{static_cast<py::ssize_t>(rows)});
    if (static_cast<std::size_t>(out.itemsize()) != sizeof(ReadingRecord))
        throw std::logic_error("the dtype does not fit the reading record");
    if (rows > 0) // an empty vector's data may be null, which memcpy must not get
        std::memcpy(out.mutable_data(), pending.data(), rows * sizeof(ReadingRecord));
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(rows));
    return out;
}

} // namespace kx
