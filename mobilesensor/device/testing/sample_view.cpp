#include "sample_view.h"

#include "mobilesensor/sample_buffers.h"

#include <cstring>
#include <stdexcept>

namespace mobilesensor::testing {

bool sameSample(const Sample& a, const Sample& b) {
    return a.kind == b.kind && a.app == b.app && a.values.size() == b.values.size() &&
           (a.values.empty() ||
            std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(double)) == 0);
}

std::ostream& operator<<(std::ostream& out, const Sample& sample) {
    out << sample.kind << "(app " << sample.app << ")";
    for (const double value : sample.values)
        out << ' ' << value;
    return out;
}

Sample describe(const conduit::interfaces::IDataBuffer& buffer) {
    const auto* base = dynamic_cast<const MobileSensorDataBuffer*>(&buffer);
    if (base == nullptr)
        return {};
    const std::int32_t app = base->getApp();
    double x = 0, y = 0, z = 0;
    if (const auto* a = dynamic_cast<const AccelerometerDataBuffer*>(base)) {
        a->getData(x, y, z);
        return {'A', app, {x, y, z}};
    }
    if (const auto* g = dynamic_cast<const GyroscopeDataBuffer*>(base)) {
        g->getData(x, y, z);
        return {'G', app, {x, y, z}};
    }
    if (const auto* o = dynamic_cast<const OrientationDataBuffer*>(base)) {
        o->getData(x, y, z);
        return {'O', app, {x, y, z}};
    }
    if (const auto* t = dynamic_cast<const HeadingDataBuffer*>(base)) {
        HeadingDataBuffer::Heading h{};
        t->getData(h);
        return {'T', app, {h.trueHeading, h.magneticHeading, h.headingAccuracy}};
    }
    if (const auto* m = dynamic_cast<const MagnetometerDataBuffer*>(base)) {
        MagnetometerDataBuffer::Magnetometer f{};
        m->getData(f);
        return {'M', app, {f.x, f.y, f.z}};
    }
    if (const auto* h = dynamic_cast<const HorizontalLocationDataBuffer*>(base)) {
        HorizontalLocationDataBuffer::Location l{};
        h->getData(l);
        return {'H', app, {l.latitude, l.longitude, l.horizontalAccuracy, l.course, l.speed}};
    }
    if (const auto* v = dynamic_cast<const VerticalLocationDataBuffer*>(base)) {
        VerticalLocationDataBuffer::Location l{};
        v->getData(l);
        return {'V', app, {l.altitude, l.verticalAccuracy}};
    }
    if (const auto* l = dynamic_cast<const LocationDataBuffer*>(base)) {
        LocationDataBuffer::Location f{};
        l->getData(f);
        return {'L',
                app,
                {f.latitude, f.longitude, f.altitude, f.horizontalAccuracy, f.verticalAccuracy,
                 f.course, f.speed}};
    }
    return {'?', app, {}};
}

std::vector<Sample> describe(const std::vector<korvex::host::BufferPtr>& buffers) {
    std::vector<Sample> all;
    for (const korvex::host::BufferPtr& buffer : buffers)
        all.push_back(describe(*buffer));
    return all;
}

std::string kinds(const std::vector<Sample>& samples) {
    std::string letters;
    for (const Sample& sample : samples)
        letters += sample.kind;
    return letters;
}

std::string kinds(const std::vector<korvex::host::BufferPtr>& buffers) {
    return kinds(describe(buffers));
}

ScriptedWrites::ScriptedWrites(korvex::host::Channel& channel) {
    channel.setBufferHandler(
        [this](korvex::host::BufferPtr buffer) { return answer(std::move(buffer)); });
}

void ScriptedWrites::play(std::vector<Verdict> verdicts) {
    script = std::move(verdicts);
    next = 0;
}

bool ScriptedWrites::answer(korvex::host::BufferPtr buffer) {
    const Verdict verdict = next < script.size() ? script[next] : ACCEPT;
    ++next;
    written.push_back(describe(*buffer));
    if (verdict == THROW)
        throw std::runtime_error("the channel failed"); // the buffer is released here
    if (verdict == REFUSE)
        return false;
    kept.push_back(std::move(buffer));
    return true;
}

} // namespace mobilesensor::testing
