#include "scenario.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace phonesim {

namespace {

constexpr double PI = 3.14159265358979323846;

// Rounds to a sensor's resolution of 1 / scale. Dividing the rounded integer by a
// power of ten gives the double nearest to the decimal, which prints short. The
// added zero turns a negative zero into a positive one.
double quantise(double value, double scale) { return std::round(value * scale) / scale + 0.0; }

double quantiseDegrees(double value, double scale) {
    const double rounded = quantise(wrapDegrees(value), scale);
    return rounded >= 360.0 ? 0.0 : rounded;
}

bool inGOutage(int second) {
    const int ofMinute = second % 60;
    return ofMinute >= G_OUTAGE_FIRST_SECOND && ofMinute <= G_OUTAGE_LAST_SECOND;
}

// Every twentieth "N" fix comes so late that it is older than the fix before it.
constexpr int N_STALE_EVERY = 20;
constexpr int N_STALE_SECOND = 13;

} // namespace

Scenario::Scenario(const ScenarioConfig& config) : settings(config), noise(config.seed) {
    if (!(config.motionRate > 0.0 && config.motionRate <= MAX_MOTION_RATE))
        throw std::invalid_argument("the motion rate must be above 0 and at most 10000 per second");
    // The seed also decides where on the loop the walk starts and how the phone is held.
    walkParameters.startAngle = noise.uniform(0.0, 2.0 * PI);
    walkParameters.holdPitch = noise.uniform(25.0, 35.0);
    walkParameters.holdRoll = noise.uniform(-5.0, 5.0);
}

Reading Scenario::next() {
    while (pending.empty()) {
        const double motionTime = static_cast<double>(motionTick) / settings.motionRate;
        if (settings.app == App::Text && inGOutage(gSecond)) {
            ++gSecond;
            continue;
        }
        const double gTime = gSecond;
        const double nTime = settings.app == App::Text ? nSecond + TEXT_N_FIX_DELAY : INFINITY;
        if (motionTime <= gTime && motionTime <= nTime) {
            addMotionTick(motionTime);
            ++motionTick;
        } else if (gTime <= nTime) {
            if (settings.app == App::Text)
                addTextFix(Kind::TextFixG, gSecond, gTime);
            else
                addBinaryFix(gSecond, gTime);
            ++gSecond;
        } else {
            addTextFix(Kind::TextFixN, nSecond, nTime);
            ++nSecond;
        }
    }
    Reading reading = pending.front();
    pending.pop_front();
    return reading;
}

Reading& Scenario::add(Kind kind, double time) {
    Reading reading;
    reading.kind = kind;
    reading.sequence = nextSequence++;
    reading.time = time;
    reading.phoneTimeMs = settings.startTimeMs + std::llround(time * 1000.0);
    pending.push_back(reading);
    return pending.back();
}

void Scenario::addMotionTick(double time) {
    const PhoneState state = phoneStateAt(walkParameters, time);
    const Vector3& f = state.specificForce;
    const Vector3& b = state.magneticField;
    auto field = [&](double value) { return quantise(value + noise.gaussian(0.3), 100.0); };
    if (settings.app == App::Text) {
        auto acceleration = [&](double value) {
            return quantise(value + noise.gaussian(0.05), 1e4);
        };
        auto& a = add(Kind::TextAcceleration, time).values;
        a[0] = acceleration(f.x);
        a[1] = acceleration(f.y);
        a[2] = acceleration(f.z);
        auto& m = add(Kind::TextMagneticField, time).values;
        m[0] = field(b.x);
        m[1] = field(b.y);
        m[2] = field(b.z);
        // The phone's azimuth comes from its compass: it counts from magnetic north.
        auto& o = add(Kind::TextOrientation, time).values;
        o[0] = quantiseDegrees(state.azimuth - walkParameters.declination + noise.gaussian(0.3),
                               100.0);
        o[1] = quantise(state.pitch + noise.gaussian(0.3), 100.0);
        o[2] = quantise(state.roll + noise.gaussian(0.3), 100.0);
        return;
    }
    // The app counts acceleration in units of gravity.
    auto acceleration = [&](double value) {
        return quantise(value / GRAVITY + noise.gaussian(0.005), 1e6);
    };
    auto& a = add(Kind::BinaryAcceleration, time).values;
    a[0] = acceleration(f.x);
    a[1] = acceleration(f.y);
    a[2] = acceleration(f.z);
    auto rate = [&](double value) { return quantise(value + noise.gaussian(0.003), 1e5); };
    const Vector3& w = state.rotationRate;
    auto& r = add(Kind::BinaryRotationRate, time).values;
    r[0] = rate(w.x);
    r[1] = rate(w.y);
    r[2] = rate(w.z);
    auto& h = add(Kind::BinaryHeading, time).values;
    h[0] = quantiseDegrees(state.azimuth + noise.gaussian(0.5), 10.0);
    h[1] = quantiseDegrees(h[0] - walkParameters.declination, 10.0);
    h[2] = quantise(10.0 + 5.0 * std::sin(2.0 * PI * time / 45.0), 1.0); // drifts 5 to 15
    h[3] = field(b.x);
    h[4] = field(b.y);
    h[5] = field(b.z);
}

void Scenario::addTextFix(Kind kind, int second, double time) {
    const bool g = kind == Kind::TextFixG;
    double fixTime = time; // a "G" fix is sent as soon as it is made
    double accuracy;
    if (g) {
        accuracy = second % G_POOR_EVERY == 7 ? noise.uniform(15.0, 25.0) : noise.uniform(3.5, 6.5);
    } else {
        const bool stale = second % N_STALE_EVERY == N_STALE_SECOND;
        fixTime -= stale ? noise.uniform(2.6, 3.4) : noise.uniform(0.2, 1.5);
        accuracy = noise.uniform(18.0, 40.0);
    }
    accuracy = quantise(accuracy, 10.0);
    const PhoneState state = phoneStateAt(walkParameters, fixTime);
    double latitude = state.latitude;
    double longitude = state.longitude;
    moveBy(latitude, longitude, noise.gaussian(accuracy / 2.0), noise.gaussian(accuracy / 2.0));

    auto& v = add(kind, time).values;
    v[0] = quantise(state.altitude + noise.gaussian(g ? accuracy * 0.8 : 10.0), 100.0);
    v[1] = quantise(latitude, 1e7);
    v[2] = quantise(longitude, 1e7);
    v[3] = static_cast<double>(settings.startTimeMs + std::llround(fixTime * 1000.0));
    v[4] = accuracy;
    // A network fix knows the speed only roughly; it never reports standing still.
    v[5] = g ? quantise(std::max(0.0, state.speed + noise.gaussian(0.1)), 100.0)
             : quantise(std::max(0.5, state.speed + noise.gaussian(0.2)), 100.0);
}

void Scenario::addBinaryFix(int second, double time) {
    const PhoneState state = phoneStateAt(walkParameters, time);
    const double horizontal = quantise(second % BINARY_POOR_EVERY == 11 ? noise.uniform(20.0, 40.0)
                                                                        : noise.uniform(3.5, 8.0),
                                       10.0);
    const double vertical = quantise(noise.uniform(3.0, 10.0), 10.0);
    double latitude = state.latitude;
    double longitude = state.longitude;
    moveBy(latitude, longitude, noise.gaussian(horizontal / 2.0), noise.gaussian(horizontal / 2.0));

    auto& v = add(Kind::BinaryLocation, time).values;
    v[0] = quantise(latitude, 1e7);
    v[1] = quantise(longitude, 1e7);
    v[2] = quantise(state.altitude + noise.gaussian(vertical / 2.0), 100.0);
    v[3] = horizontal;
    v[4] = vertical;
    v[5] = quantiseDegrees(state.course + noise.gaussian(2.0), 10.0);
    v[6] = quantise(std::max(0.0, state.speed + noise.gaussian(0.1)), 100.0);
}

} // namespace phonesim
