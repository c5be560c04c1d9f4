#pragma once

#include "framegrab/capture_controller.h"
#include "framegrab/device.h"
#include "host/i18n/ustring_conversion.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A camera controller whose answers a test scripts. It records the operations the
// device calls, in order, and can hand frames to the device from inside open.

namespace framegrab::testing {

struct Script {
    Resolution resolution{640, 480};
    bool openResult = true;
    // What listModes answers; none by default, as a controller that cannot tell.
    std::vector<CameraMode> modes;
    // Run inside every open, with the device, as a camera would start delivering.
    std::function<void(Device&)> onOpen;
    // Run inside every close, before the camera stops.
    std::function<void(Device&)> onClose;
    // What the device called, including "made <identifier>" and "destroyed".
    std::vector<std::string> calls;
};

class ScriptedController final : public CaptureController {
public:
    ScriptedController(Script& controllerScript, Device& owner)
        : script(controllerScript), device_(owner) {}
    ~ScriptedController() override { script.calls.push_back("destroyed"); }

    bool open() override {
        script.calls.push_back("open");
        if (script.onOpen)
            script.onOpen(device_);
        return script.openResult;
    }
    void close() override {
        script.calls.push_back("close");
        if (script.onClose)
            script.onClose(device_);
    }
    Resolution getWebcamResolution() override {
        script.calls.push_back("getWebcamResolution");
        return script.resolution;
    }
    std::string device() const override { return "scripted"; }
    std::vector<CameraMode> listModes() override {
        script.calls.push_back("listModes");
        return script.modes;
    }
    void useMode(const CameraMode& mode) override {
        script.calls.push_back("useMode " + mode.format + " " + std::to_string(mode.width) + "x" +
                               std::to_string(mode.height) + " at " + rateText(mode));
    }

private:
    Script& script;
    Device& device_;
};

inline ControllerFactory scriptedFactory(Script& script) {
    return [&script](Device& device, const conduit::kit::ustring& uniqueID) {
        script.calls.push_back("made " + korvex::i18n::narrow(uniqueID));
        return std::make_unique<ScriptedController>(script, device);
    };
}

} // namespace framegrab::testing
