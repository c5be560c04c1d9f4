#include "filter.h"

#include "conduit/kit/boundary.h"
#include "conduit/kit/option_lookup.h"
#include "conduit/kit/release.h"
#include "conduit/kit/ustring.h"
#include "host/i18n/ustring_conversion.h"
#include "webcam/frame_converter.h"

#include <boost/assign/list_of.hpp>
#include <map>

namespace webcam {
namespace {

using Conversion = VideoDataBuffer* (*)(const conduit::interfaces::IDataBuffer*);

// The conversion for a pair of differing types, or null when there is none.
Conversion conversionFor(Filter::FrameType input, Filter::FrameType output) {
    if (output != Filter::RGB24_PLANAR_COLUMN)
        return nullptr;
    switch (input) {
    case Filter::BGRA32_PACKED_ROW_TOP_DOWN:
        return &FrameConverter::packedBGRATopDownToPlanarRGBColumn;
    case Filter::YUY2_PACKED_ROW_BOTTOM_UP:
        return &FrameConverter::packedYUY2BottomUpToPlanarRGBColumn;
    case Filter::RGB24_PACKED_ROW_BOTTOM_UP:
        return &FrameConverter::packedRGBBottomUpToPlanarRGBColumn;
    case Filter::RGB24_PACKED_ROW_TOP_DOWN:
        return &FrameConverter::packedRGBTopDownToPlanarRGBColumn;
    default:
        return nullptr;
    }
}

// Releases a frame that the filter took over. Whatever its destroy throws is
// ignored: the frame is gone from the filter's point of view either way.
void releaseFrame(conduit::interfaces::IDataBuffer* frame) noexcept {
    conduit::kit::guarded([frame] { conduit::kit::release(frame); }, conduit::kit::unreported);
}

// The option's value narrowed with the host's converter, or "" when the option is
// missing or not a UTF-16 string.
std::string narrowOption(const conduit::interfaces::device::PropertyList& options,
                         const char* name) {
    const conduit::kit::ustring value =
        conduit::kit::device::getScalarOptionValue(options, name, conduit::kit::ustring());
    const korvex::i18n::UStringToNarrow toNarrow(true);
    return toNarrow(value.data(), value.size());
}

} // namespace

const char* const Filter::INPUT_FRAMETYPE = "InputFrameType";
const char* const Filter::OUTPUT_FRAMETYPE = "OutputFrameType";

Filter::Filter(conduit::interfaces::channel::IControl& hostChannel)
    : channel(hostChannel), inputFrameType(NO_FRAME_TYPE), outputFrameType(NO_FRAME_TYPE) {}

Filter::~Filter() = default;

void Filter::init(const conduit::interfaces::device::PropertyList& options) {
    conduit::kit::guarded(
        [&] {
            inputFrameType = frameTypeFromString(narrowOption(options, INPUT_FRAMETYPE));
            outputFrameType = frameTypeFromString(narrowOption(options, OUTPUT_FRAMETYPE));
        },
        [this](const conduit::kit::Failure&) {
            // A filter that could not read its options (out of memory, an option
            // that throws) behaves like one that was given none.
            inputFrameType = NO_FRAME_TYPE;
            outputFrameType = NO_FRAME_TYPE;
        });
}

void Filter::open(const conduit::interfaces::device::PropertyList& /*options*/) {}

conduit::interfaces::IDataBuffer* Filter::filter(conduit::interfaces::IDataBuffer* frame) {
    if (inputFrameType == outputFrameType)
        return frame;
    const Conversion conversion = conversionFor(inputFrameType, outputFrameType);
    // Out of memory for the converted frame drops the frame.
    conduit::interfaces::IDataBuffer* converted =
        conversion != nullptr ? conduit::kit::orNull([&] { return conversion(frame); }) : nullptr;
    releaseFrame(frame);
    return converted;
}

void Filter::close() {}

void Filter::term() { delete this; }

conduit::interfaces::channel::IControl& Filter::getChannel() const { return channel; }

Filter::FrameType Filter::frameTypeFromString(const std::string& name) {
    // Built once, on the first call (thread-safe), and kept until the library goes.
    static const std::map<std::string, FrameType> table =
        boost::assign::map_list_of<std::string, FrameType>(FRAME_TYPE_NAME_RGB24_PLANAR_COLUMN,
                                                           RGB24_PLANAR_COLUMN)(
            FRAME_TYPE_NAME_BGRA32_PACKED_ROW_TOP_DOWN, BGRA32_PACKED_ROW_TOP_DOWN)(
            FRAME_TYPE_NAME_YUY2_PACKED_ROW_BOTTOM_UP, YUY2_PACKED_ROW_BOTTOM_UP)(
            FRAME_TYPE_NAME_RGB24_PACKED_ROW_BOTTOM_UP, RGB24_PACKED_ROW_BOTTOM_UP)(
            FRAME_TYPE_NAME_RGB24_PACKED_ROW_TOP_DOWN, RGB24_PACKED_ROW_TOP_DOWN);
    const auto found = table.find(name);
    return found == table.end() ? NO_FRAME_TYPE : found->second;
}

} // namespace webcam
