#pragma once

// The noiseless motion of a person walking a circle with a phone held in front of
// them, screen up and tilted towards them. Everything is a pure function of time.
//
// Frames: the world is east-north-up; the phone's axes are x to the right of the
// screen, y to its top edge, z out of the screen. The phone's attitude is azimuth
// (compass direction of its y axis, clockwise from true north), then pitch (a turn
// about its x axis, positive lifting the top edge), then roll (a turn about its y
// axis, positive lowering the right edge): device to world is
// Rz(-azimuth) * Rx(pitch) * Ry(roll).

namespace phonesim {

struct Vector3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct WalkParameters {
    double centreLatitude = 47.3769; // degrees
    double centreLongitude = 8.5417; // degrees
    double centreAltitude = 408.0;   // metres; the path rises and falls 1.5 m around it
    double radius = 50.0;            // metres: a loop of about 314 m
    double speed = 1.4;              // metres per second, along the path
    double stepFrequency = 1.8;      // steps per second
    double startAngle = 0.0;         // radians, counter-clockwise from east, at time 0
    double holdPitch = 30.0;         // degrees: how the phone is held
    double holdRoll = 0.0;           // degrees
    double fieldStrength = 48.0;     // microtesla, the local geomagnetic field
    double inclination = 63.0;       // degrees below the horizon
    double declination = 3.0;        // degrees east of true north
};

struct PhoneState {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // metres
    double speed = 0.0;     // metres per second
    double course = 0.0;    // degrees clockwise from true north, [0, 360)
    double azimuth = 0.0;   // degrees clockwise from true north, [0, 360)
    double pitch = 0.0;     // degrees
    double roll = 0.0;      // degrees
    Vector3 specificForce;  // m/s² in the phone's frame: what an accelerometer reads
    Vector3 rotationRate;   // rad/s in the phone's frame
    Vector3 magneticField;  // microtesla in the phone's frame
};

// Where the walker and the phone are at time seconds after the start.
PhoneState phoneStateAt(const WalkParameters& walk, double seconds);

// An angle in degrees brought into [0, 360).
double wrapDegrees(double degrees);

// Moves a position by a few metres east and north.
void moveBy(double& latitude, double& longitude, double east, double north);

} // namespace phonesim
