#include "host/contract/device_contract.h"
#include "host/i18n/ustring_conversion.h"

namespace korvex::host::contract {

namespace {

// framegrab rejects a mode the camera does not offer, and has one text for every
// failure; the generated test camera stands in for a webcam.
DeviceCase framegrabCase() {
    DeviceCase testCamera;
    testCamera.plugin = "framegrab";
    testCamera.acceptedOptions = [](Options& options) {
        options.set("WebcamID", korvex::i18n::widen("videotestsrc"));
    };
    testCamera.rejectedOptions = [](Options& options) {
        options.set("WebcamID", korvex::i18n::widen("videotestsrc"));
        options.set("Resolution", korvex::i18n::widen("1x1"));
    };
    testCamera.exceptionText = "An unexpected error occurred during acquisition.";
    testCamera.outOfMemoryText = testCamera.exceptionText;
    testCamera.unknownText = testCamera.exceptionText;
    return testCamera;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Framegrab, DeviceContract, testing::Values(framegrabCase()));

} // namespace korvex::host::contract
