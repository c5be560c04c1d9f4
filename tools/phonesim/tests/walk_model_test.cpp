// Physical checks of the walk: the numbers must describe one consistent motion,
// whatever the axis conventions inside.

#include "tools/phonesim/walk_model.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace phonesim;

constexpr double PI = 3.14159265358979323846;
constexpr double EARTH_RADIUS = 6371000.0;

double norm(const Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
double dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// East and north metres between two nearby positions.
void offset(const PhoneState& from, const PhoneState& to, double& east, double& north) {
    const double lat = from.latitude * PI / 180.0;
    north = (to.latitude - from.latitude) * PI / 180.0 * EARTH_RADIUS;
    east = (to.longitude - from.longitude) * PI / 180.0 * EARTH_RADIUS * std::cos(lat);
}

double angleBetween(double a, double b) { // degrees, in [0, 180]
    const double d = std::fabs(std::fmod(a - b + 540.0, 360.0) - 180.0);
    return d;
}

class WalkModelTest : public ::testing::TestWithParam<double> {
protected:
    WalkParameters walk;
    void SetUp() override {
        walk.startAngle = GetParam();
        walk.holdPitch = 30.0;
        walk.holdRoll = 4.0;
    }
    double lap() const { return 2.0 * PI * walk.radius / walk.speed; }
};

TEST_P(WalkModelTest, WalksTheCircleAtWalkingSpeedFacingTheWayItGoes) {
    PhoneState centre;
    centre.latitude = walk.centreLatitude;
    centre.longitude = walk.centreLongitude;
    for (double t = 0.0; t < lap(); t += 7.3) {
        const PhoneState now = phoneStateAt(walk, t);
        const PhoneState soon = phoneStateAt(walk, t + 0.1);
        double east, north;
        offset(centre, now, east, north);
        EXPECT_NEAR(walk.radius, std::hypot(east, north), 0.01) << t;
        offset(now, soon, east, north);
        EXPECT_NEAR(walk.speed, std::hypot(east, north) / 0.1, 0.001) << t;
        // The course is the compass direction of the step just taken.
        const double bearing = std::atan2(east, north) * 180.0 / PI;
        EXPECT_LT(angleBetween(bearing, now.course), 0.5) << t;
        EXPECT_LT(angleBetween(now.azimuth, now.course), 3.01) << t; // the step's sway
        EXPECT_GE(now.course, 0.0);
        EXPECT_LT(now.course, 360.0);
        EXPECT_NEAR(walk.centreAltitude, now.altitude, 1.5);
    }
}

TEST_P(WalkModelTest, AccelerometerSeesGravityThroughTheTiltedPhone) {
    // Averaged over whole steps the bounce cancels and gravity's reaction remains:
    // the top edge lifted by the pitch puts sin(pitch) of it on y, most on z.
    Vector3 sum;
    const int samples = 9000;
    const double span = 50.0 / walk.stepFrequency; // whole steps, whole sways
    for (int i = 0; i < samples; ++i) {
        const Vector3 f = phoneStateAt(walk, span * i / samples).specificForce;
        sum.x += f.x / samples;
        sum.y += f.y / samples;
        sum.z += f.z / samples;
    }
    const double g = 9.80665;
    const double pitch = walk.holdPitch * PI / 180.0;
    EXPECT_NEAR(g, norm(sum), 0.05);
    EXPECT_NEAR(g * std::sin(pitch), sum.y, 0.3);
    EXPECT_NEAR(g * std::cos(pitch), sum.z, 0.3);
    EXPECT_GT(std::fabs(sum.x), 0.0); // the roll leans it a little sideways
    EXPECT_LT(std::fabs(sum.x), g * 0.1);
}

TEST_P(WalkModelTest, MagneticFieldHasEarthsStrengthAndDip) {
    for (double t = 0.0; t < lap(); t += 3.1) {
        const PhoneState s = phoneStateAt(walk, t);
        EXPECT_NEAR(walk.fieldStrength, norm(s.magneticField), 1e-9) << t;
    }
    // Gravity's reaction points up, the field dips 63 degrees below the horizon:
    // 153 degrees apart in any frame. Averaged over steps, as above.
    Vector3 force, field;
    const double span = 50.0 / walk.stepFrequency;
    for (int i = 0; i < 9000; ++i) {
        const PhoneState s = phoneStateAt(walk, span * i / 9000);
        force.x += s.specificForce.x, force.y += s.specificForce.y, force.z += s.specificForce.z;
        field.x += s.magneticField.x, field.y += s.magneticField.y, field.z += s.magneticField.z;
    }
    const double angle = std::acos(dot(force, field) / norm(force) / norm(field)) * 180.0 / PI;
    EXPECT_NEAR(90.0 + walk.inclination, angle, 2.0);
}

TEST_P(WalkModelTest, RotationRateAddsUpToOneTurnPerLap) {
    // The gyroscope's rate about the vertical, integrated over a lap, is a full
    // turn: anticlockwise seen from above, as the walker goes round.
    const int steps = 20000;
    const double dt = lap() / steps;
    double turned = 0.0;
    for (int i = 0; i < steps; ++i) {
        const PhoneState s = phoneStateAt(walk, (i + 0.5) * dt);
        // The vertical in the phone's frame is the direction of gravity's reaction,
        // taken here without the bounce: from pitch and roll.
        const double p = s.pitch * PI / 180.0, r = s.roll * PI / 180.0;
        const Vector3 up{-std::cos(p) * std::sin(r), std::sin(p), std::cos(p) * std::cos(r)};
        turned += dot(s.rotationRate, up) * dt;
    }
    EXPECT_NEAR(2.0 * PI, turned, 0.01);
}

INSTANTIATE_TEST_SUITE_P(StartAngles, WalkModelTest, ::testing::Values(0.0, 1.0, 4.0));

TEST(WalkModel, WrapDegrees) {
    EXPECT_EQ(0.0, wrapDegrees(360.0));
    EXPECT_EQ(350.0, wrapDegrees(-10.0));
    EXPECT_EQ(10.0, wrapDegrees(730.0));
    EXPECT_EQ(0.0, wrapDegrees(-0.0));
    EXPECT_LT(wrapDegrees(-1e-20), 360.0); // rounding must not give 360
}

} // namespace
