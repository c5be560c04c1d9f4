#pragma once

// The messages the camera controllers post through their device's errorFcn,
// shared by every platform so that users see the same identifiers and texts.

namespace framegrab::messages {

struct Message {
    const char* identifier;
    const char* text;
};

// open: another application holds the camera
inline constexpr Message DEVICE_UNAVAILABLE{"KORVEX:webcam:deviceUnavailable",
                                            "Device unavailable for use with our session."};
// open: the camera cannot be opened, or there is no camera of that identifier
inline constexpr Message DEVICE_INACCESSIBLE{"KORVEX:webcam:deviceInaccessible",
                                             "Unable to gain access to the webcam."};
// open: the session does not accept the camera
inline constexpr Message CANNOT_ADD_DEVICE{"KORVEX:webcam:cannotAddDevice",
                                           "Unable to add the webcam to the session."};
// open: the session cannot be built or started
inline constexpr Message SESSION_CREATION_ERROR{"KORVEX:webcam:sessionCreationError",
                                                "Unable to create an acquisition session."};
// getWebcamResolution: the camera has told no frame size
inline constexpr Message INVALID_RESOLUTION{"KORVEX:webcam:invalidResolution",
                                            "Unable to determine resolution of the webcam."};
// frame callback: a sample that carries no image
inline constexpr Message NO_FRAMES{"KORVEX:webcam:deviceInaccessible",
                                   "Unexpected error. No frames were received from webcam."};

// while open: the camera stopped delivering (unplugged, a driver error, the end of
// its stream); the text goes on with what happened
inline constexpr const char* DEVICE_LOST_ID = "KORVEX:webcam:deviceLost";
inline constexpr const char* DEVICE_LOST_TEXT = "The webcam stopped delivering frames: ";

// init: the options "Resolution" and "RequestedFramerate" ask for what the camera
// does not offer; the text names what it offers
inline constexpr const char* UNSUPPORTED_RESOLUTION_ID = "KORVEX:webcam:unsupportedResolution";
inline constexpr const char* UNSUPPORTED_FRAMERATE_ID = "KORVEX:webcam:unsupportedFramerate";

} // namespace framegrab::messages
