#include "device.h"

#include "conduit/kit/kit.h"
#include "frame_copy.h"
#include "host/i18n/ustring_conversion.h"
#include "mode_choice.h"
#include "resolution_text.h"
#include "webcam/string_vector_property.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace framegrab {

namespace kit = conduit::kit::device;
using conduit::interfaces::device::PropertyList;

namespace {

constexpr const char* RUNTIME_ERROR_TEXT = "An unexpected error occurred during acquisition.";
// Users of the device know this one text for every failure of an operation.
const kit::FailureMessage RUNTIME_ERROR{"KORVEX:framegrab:runtimeError", RUNTIME_ERROR_TEXT,
                                        RUNTIME_ERROR_TEXT, RUNTIME_ERROR_TEXT};

// Appends a new property; it is released here if the list cannot take it.
void publish(PropertyList& published, conduit::interfaces::IPropertyInfo* property) {
    try {
        published.push_back(property);
    } catch (...) {
        conduit::kit::release(property);
        throw;
    }
}

// A text option as the host passes the webcam family's options: UTF-16.
std::string textOption(const PropertyList& options, const char* name) {
    return korvex::i18n::narrow(
        kit::getScalarOptionValue<conduit::kit::ustring>(options, name, conduit::kit::ustring()));
}

// "Resolution" as text; "RequestedFramerate" as text or as a number.
ModeRequest readModeRequest(const PropertyList& options) {
    ModeRequest request;
    request.resolution = textOption(options, Device::RESOLUTION);
    request.framerate = textOption(options, Device::REQUESTED_FRAME_RATE);
    const auto* number = dynamic_cast<const kit::TScalarProperty<double>*>(
        kit::findOption(options, Device::REQUESTED_FRAME_RATE));
    if (number != nullptr) {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", number->value);
        request.framerate = text;
    }
    return request;
}

} // namespace

const char* const Device::WEBCAM_ID = "WebcamID";
const char* const Device::RESOLUTION = "Resolution";
const char* const Device::REQUESTED_FRAME_RATE = "RequestedFramerate";
const char* const Device::AVAILABLE_RESOLUTIONS = "AvailableResolutions";
const char* const Device::FRAME_RATE = "Framerate";
const char* const Device::INPUT_FRAME_TYPE = "InputFrameType";
const char* const Device::OUTPUT_FRAME_TYPE = "OutputFrameType";
const char* const Device::TIMESTAMP = "TimeStamp";

const std::string Device::FRAME_TYPE_RGB24 = "RGB24PlanarColumn";
const std::string Device::FRAME_TYPE_BGRA32_TOP_DOWN = "BGRA32PackedRowTopDown";
const std::string Device::FRAME_TYPE_YUY2_BOTTOM_UP = "YUY2PackedRowBottomUp";

Device::Device(conduit::interfaces::channel::IControl& hostChannel)
    : Device(hostChannel, createWebcamController) {}

Device::Device(conduit::interfaces::channel::IControl& hostChannel, ControllerFactory factory)
    : channel(&hostChannel), makeController(std::move(factory)) {}

Device::~Device() {
    // The controller goes first: its close guarantees that no frame callback still
    // runs when the rest of the device is destroyed.
    conduit::kit::guarded([this] { controller.reset(); }, conduit::kit::unreported);
}

template <class Operation> void Device::guarded(Operation&& operation) noexcept {
    kit::guarded(*channel, RUNTIME_ERROR, std::forward<Operation>(operation));
}

void Device::init(const PropertyList& options, PropertyList& published) {
    CameraSetup setup;
    guarded([&] {
        webcamID = kit::getScalarOptionValue<conduit::kit::ustring>(options, WEBCAM_ID,
                                                                    conduit::kit::ustring());
        setup = prepareCamera(options);
    });
    if (setup.refused)
        return;
    // The six properties are announced even when the probe failed, then with 0x0.
    guarded([&] {
        const std::string text = formatResolution(setup.resolution.width, setup.resolution.height);
        if (setup.resolutions.empty())
            setup.resolutions.push_back(text);
        publish(published,
                new webcam::StringVectorProperty(AVAILABLE_RESOLUTIONS, setup.resolutions.data(),
                                                 setup.resolutions.size()));
        publish(published, new kit::TScalarProperty<std::string>(RESOLUTION, text));
        publish(published, new kit::TScalarProperty<std::string>(INPUT_FRAME_TYPE,
                                                                 FRAME_TYPE_BGRA32_TOP_DOWN));
        publish(published,
                new kit::TScalarProperty<std::string>(OUTPUT_FRAME_TYPE, FRAME_TYPE_RGB24));
        publish(published, new kit::TScalarProperty<double>(TIMESTAMP, 0.0));
        publish(published, new kit::TScalarProperty<double>(FRAME_RATE, 0.0));
    });
    // Stored only now that the probe has closed the camera: no frame of the probe
    // is copied, and the first frame handed on comes after the host's open.
    guarded([&] { setResolution(setup.resolution); });
}

Device::CameraSetup Device::prepareCamera(const PropertyList& options) {
    // A previous controller is stopped before the resolution it fed is forgotten.
    controller.reset();
    setResolution(Resolution());
    CameraSetup setup;
    controller = makeController(*this, webcamID);
    if (!controller)
        return setup;
    // A controller that cannot list the modes (or a camera that cannot be opened)
    // leaves the choice to the camera; the probe then reports what went wrong.
    const std::vector<CameraMode> modes = controller->listModes();
    if (std::any_of(modes.begin(), modes.end(),
                    [](const CameraMode& mode) { return mode.decodable(); })) {
        const ModeChoice choice = chooseMode(modes, readModeRequest(options));
        if (!choice.chosen()) {
            // Nothing of the camera stays prepared: open and close do nothing.
            controller.reset();
            setup.refused = true;
            errorFcn(choice.errorID, choice.errorText);
            return setup;
        }
        controller->useMode(choice.mode);
        setup.resolutions = resolutionList(modes, choice.mode);
    }
    setup.resolution = probeCamera();
    return setup;
}

Resolution Device::probeCamera() {
    controller->open();
    controller->close();
    controller->open();
    const Resolution resolution = controller->getWebcamResolution();
    controller->close();
    return resolution;
}

void Device::setResolution(const Resolution& resolution) {
    const conduit::kit::MutexLock lock(frameMutex);
    width = resolution.width;
    height = resolution.height;
}

conduit::interfaces::device::IDataSource* Device::getDataSource() const {
    return const_cast<Device*>(this);
}

conduit::interfaces::device::IDataSink* Device::getDataSink() const { return nullptr; }

void Device::open(const PropertyList&) {
    guarded([this] {
        if (controller)
            controller->open();
    });
}

void Device::execute(const char*, const PropertyList&) {}

void Device::close() {
    guarded([this] {
        if (controller)
            controller->close();
    });
}

void Device::term() { delete this; }

bool Device::isSourceDone() const { return false; }

std::int32_t Device::getSourcePolling() const { return 0; }

conduit::interfaces::channel::IControl& Device::getChannel() const { return *channel; }

void Device::processFrame(const PixelBuffer& pixels, double timestamp) {
    guarded([&] {
        double frameWidth = 0;
        double frameHeight = 0;
        {
            const conduit::kit::MutexLock lock(frameMutex);
            frameWidth = width;
            frameHeight = height;
        }
        VideoFramePtr frame = copyFrame(pixels, pixelCount(frameWidth), pixelCount(frameHeight));
        if (!frame)
            return;
        // Ownership passes at write, whatever its result.
        kit::pushBuffer(*channel, frame.release());

        double elapsed = 0;
        double count = 0;
        {
            const conduit::kit::MutexLock lock(frameMutex);
            frameCount += 1;
            // The first frame ever handed on starts the clock (it is never reset).
            if (frameCount == 1)
                firstTimestamp = timestamp;
            elapsed = timestamp - firstTimestamp;
            count = frameCount;
        }
        const double rate =
            elapsed != 0 ? count / elapsed : std::numeric_limits<double>::infinity();
        kit::postPropertyValue<kit::TScalarProperty<double>>(*channel, TIMESTAMP, elapsed);
        kit::postPropertyValue<kit::TScalarProperty<double>>(*channel, FRAME_RATE, rate);
    });
}

void Device::errorFcn(const std::string& identifier, const std::string& text) {
    kit::postMessage<kit::ErrorInfo>(*channel, identifier, text);
}

void Device::warnFcn(const std::string& identifier, const std::string& text) {
    kit::postMessage<kit::WarningInfo>(*channel, identifier, text);
}

} // namespace framegrab
