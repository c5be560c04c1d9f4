#include "walk_model.h"

#include <cmath>

namespace phonesim {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double EARTH_RADIUS = 6371000.0; // metres, mean
constexpr double STANDARD_GRAVITY = 9.80665;

double radians(double degrees) { return degrees * PI / 180.0; }
double degrees(double radians) { return radians * 180.0 / PI; }

struct Matrix3 {
    double m[3][3];

    Vector3 operator*(const Vector3& v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    Matrix3 operator*(const Matrix3& other) const {
        Matrix3 product{};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < 3; ++k)
                    product.m[r][c] += m[r][k] * other.m[k][c];
        return product;
    }
    Matrix3 transposed() const {
        Matrix3 t{};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                t.m[r][c] = m[c][r];
        return t;
    }
};

Matrix3 aboutX(double a) {
    return {{{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}}};
}
Matrix3 aboutY(double a) {
    return {{{std::cos(a), 0, std::sin(a)}, {0, 1, 0}, {-std::sin(a), 0, std::cos(a)}}};
}
Matrix3 aboutZ(double a) {
    return {{{std::cos(a), -std::sin(a), 0}, {std::sin(a), std::cos(a), 0}, {0, 0, 1}}};
}

// The phone's attitude: the walking direction plus the sway of each step.
struct Attitude {
    double azimuth; // degrees, unwrapped
    double pitch;
    double roll;
};

double angleOnCircle(const WalkParameters& walk, double t) {
    return walk.startAngle + walk.speed / walk.radius * t;
}

// Walking counter-clockwise, the direction of travel is 90 degrees ahead of the
// position angle; as a compass course that is minus the position angle.
double courseAt(const WalkParameters& walk, double t) { return -degrees(angleOnCircle(walk, t)); }

double stepPhase(const WalkParameters& walk, double t) { return 2.0 * PI * walk.stepFrequency * t; }

Attitude attitudeAt(const WalkParameters& walk, double t) {
    const double step = stepPhase(walk, t);
    return {courseAt(walk, t) + 3.0 * std::sin(step / 2.0), walk.holdPitch + 2.0 * std::sin(step),
            walk.holdRoll + 3.0 * std::sin(step / 2.0 + 0.3)};
}

Matrix3 deviceToWorld(const Attitude& a) {
    return aboutZ(-radians(a.azimuth)) * aboutX(radians(a.pitch)) * aboutY(radians(a.roll));
}

// The walker's acceleration in the world: the pull towards the centre of the
// circle, the bounce of each step, a forward surge and a sideways sway.
Vector3 worldAcceleration(const WalkParameters& walk, double t) {
    const double theta = angleOnCircle(walk, t);
    const double step = stepPhase(walk, t);
    const double centripetal = walk.speed * walk.speed / walk.radius;
    const double forward = 0.4 * std::sin(step + 0.8);
    const double sideways = 0.25 * std::sin(step / 2.0);
    // Forward is the direction of travel (-sin, cos); sideways is to its right.
    const double forwardEast = -std::sin(theta), forwardNorth = std::cos(theta);
    const double rightEast = std::cos(theta), rightNorth = std::sin(theta);
    return {-centripetal * std::cos(theta) + forward * forwardEast + sideways * rightEast,
            -centripetal * std::sin(theta) + forward * forwardNorth + sideways * rightNorth,
            1.2 * std::sin(step)};
}

Vector3 worldMagneticField(const WalkParameters& walk) {
    const double horizontal = walk.fieldStrength * std::cos(radians(walk.inclination));
    return {horizontal * std::sin(radians(walk.declination)),
            horizontal * std::cos(radians(walk.declination)),
            -walk.fieldStrength * std::sin(radians(walk.inclination))};
}

// The body rate from the change of attitude: R^T dR/dt is the skew matrix of the
// rotation rate in the phone's frame.
Vector3 rotationRateAt(const WalkParameters& walk, double t) {
    constexpr double h = 1e-4;
    const Matrix3 now = deviceToWorld(attitudeAt(walk, t));
    const Matrix3 before = deviceToWorld(attitudeAt(walk, t - h));
    const Matrix3 after = deviceToWorld(attitudeAt(walk, t + h));
    Matrix3 derivative{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            derivative.m[r][c] = (after.m[r][c] - before.m[r][c]) / (2.0 * h);
    const Matrix3 skew = now.transposed() * derivative;
    return {(skew.m[2][1] - skew.m[1][2]) / 2.0, (skew.m[0][2] - skew.m[2][0]) / 2.0,
            (skew.m[1][0] - skew.m[0][1]) / 2.0};
}

} // namespace

double wrapDegrees(double value) {
    double wrapped = std::fmod(value, 360.0);
    if (wrapped < 0.0)
        wrapped += 360.0;
    return wrapped >= 360.0 ? 0.0 : wrapped;
}

void moveBy(double& latitude, double& longitude, double east, double north) {
    longitude += degrees(east / (EARTH_RADIUS * std::cos(radians(latitude))));
    latitude += degrees(north / EARTH_RADIUS);
}

PhoneState phoneStateAt(const WalkParameters& walk, double t) {
    PhoneState state;
    const double theta = angleOnCircle(walk, t);
    const double east = walk.radius * std::cos(theta);
    const double north = walk.radius * std::sin(theta);
    state.latitude = walk.centreLatitude;
    state.longitude = walk.centreLongitude;
    moveBy(state.latitude, state.longitude, east, north);
    state.altitude = walk.centreAltitude + 1.5 * std::sin(theta);
    state.speed = walk.speed;
    state.course = wrapDegrees(courseAt(walk, t));

    const Attitude attitude = attitudeAt(walk, t);
    state.azimuth = wrapDegrees(attitude.azimuth);
    state.pitch = attitude.pitch;
    state.roll = attitude.roll;

    const Matrix3 worldToDevice = deviceToWorld(attitude).transposed();
    Vector3 force = worldAcceleration(walk, t);
    force.z += STANDARD_GRAVITY;
    state.specificForce = worldToDevice * force;
    state.magneticField = worldToDevice * worldMagneticField(walk);
    state.rotationRate = rotationRateAt(walk, t);
    return state;
}

} // namespace phonesim
