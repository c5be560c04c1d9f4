#include "expected_readings.h"

#include "kinedgram/fix_selection.h"

namespace sensorstream::testing {

namespace {

using phonesim::Kind;

constexpr double MAGNETIC_SCALE = 1000000.0;
constexpr double GRAVITY = 9.81;

struct Expectation {
    std::vector<ExpectedReading> readings;
    std::size_t skipped = 0;
};

Expectation expect(const std::vector<phonesim::Reading>& sent) {
    Expectation out;
    auto& all = out.readings;
    kinedgram::FixState fixes;
    for (const auto& r : sent) {
        const auto& v = r.values;
        switch (r.kind) {
        case Kind::TextAcceleration:
            all.push_back({1, {{"X", v[0]}, {"Y", v[1]}, {"Z", v[2]}}});
            break;
        case Kind::TextMagneticField:
            all.push_back({5,
                           {{"X", v[0] / MAGNETIC_SCALE},
                            {"Y", v[1] / MAGNETIC_SCALE},
                            {"Z", v[2] / MAGNETIC_SCALE}}});
            break;
        case Kind::TextOrientation:
            all.push_back({6, {{"Azimuth", v[0]}, {"Pitch", v[1]}, {"Roll", v[2]}}});
            break;
        case Kind::TextFixG:
        case Kind::TextFixN: {
            // altitude, latitude, longitude, fix time, accuracy, speed
            const bool g = r.kind == Kind::TextFixG;
            const double accuracy = v[4];
            if (!kinedgram::acceptFix(fixes, g ? kinedgram::FIX_SOURCE_G : kinedgram::FIX_SOURCE_N,
                                      v[3], accuracy, v[5])) {
                ++out.skipped;
                break;
            }
            // The text app has no course and no vertical accuracy.
            const ExpectedReading horizontal{4,
                                             {{"Latitude", v[1]},
                                              {"Longitude", v[2]},
                                              {"HorizontalAccuracy", accuracy},
                                              {"Speed", v[5]}}};
            const ExpectedReading vertical{7, {{"Altitude", v[0]}}};
            if (accuracy >= 0.0) {
                all.push_back(horizontal);
                all.push_back(vertical);
            } else if (!g) {
                all.push_back(vertical); // an "N" fix without a horizontal accuracy
            }
            break;
        }
        case Kind::BinaryHeading:
            // true heading, magnetic heading, accuracy, then the magnetic field
            if (v[2] >= 0.0)
                all.push_back({3,
                               {{"TrueHeading", v[0]},
                                {"MagneticHeading", v[1]},
                                {"HeadingAccuracy", v[2]}}});
            all.push_back({5,
                           {{"X", v[3] / MAGNETIC_SCALE},
                            {"Y", v[4] / MAGNETIC_SCALE},
                            {"Z", v[5] / MAGNETIC_SCALE}}});
            break;
        case Kind::BinaryAcceleration:
            all.push_back(
                {1, {{"X", v[0] * GRAVITY}, {"Y", v[1] * GRAVITY}, {"Z", v[2] * GRAVITY}}});
            break;
        case Kind::BinaryRotationRate:
            all.push_back({2, {{"X", v[0]}, {"Y", v[1]}, {"Z", v[2]}}});
            break;
        case Kind::BinaryLocation:
            // latitude, longitude, altitude, horizontal and vertical accuracy, course, speed
            if (v[3] >= 0.0 && v[4] >= 0.0) {
                all.push_back({4,
                               {{"Latitude", v[0]},
                                {"Longitude", v[1]},
                                {"HorizontalAccuracy", v[3]},
                                {"Course", v[5]},
                                {"Speed", v[6]}}});
                all.push_back({7, {{"Altitude", v[2]}, {"VerticalAccuracy", v[4]}}});
            }
            break;
        }
    }
    return out;
}

} // namespace

std::vector<ExpectedReading> expectedReadings(const std::vector<phonesim::Reading>& sent) {
    return expect(sent).readings;
}

std::size_t skippedFixes(const std::vector<phonesim::Reading>& sent) {
    return expect(sent).skipped;
}

} // namespace sensorstream::testing
