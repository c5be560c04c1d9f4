#pragma once

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/filter.h"
#include "webcam/frame_types.h"

#include <boost/noncopyable.hpp>
#include <cstdint>
#include <string>

namespace webcam {

// The frame filter: converts every frame from the layout named by the option
// "InputFrameType" to the one named by "OutputFrameType" (frame_types.h). The only
// conversions are the four packed layouts to "RGB24PlanarColumn"; equal types pass
// frames through untouched, every other pair gives null. It reports nothing.
class Filter : public conduit::interfaces::filter::IControl, private boost::noncopyable {
public:
    // The frame-type numbers; NO_FRAME_TYPE for a filter without init, a missing
    // option and a name outside the table.
    enum FrameType : std::int32_t {
        NO_FRAME_TYPE = FRAME_TYPE_NONE,
        RGB24_PLANAR_COLUMN = FRAME_TYPE_RGB24_PLANAR_COLUMN,
        BGRA32_PACKED_ROW_TOP_DOWN = FRAME_TYPE_BGRA32_PACKED_ROW_TOP_DOWN,
        YUY2_PACKED_ROW_BOTTOM_UP = FRAME_TYPE_YUY2_PACKED_ROW_BOTTOM_UP,
        RGB24_PACKED_ROW_BOTTOM_UP = FRAME_TYPE_RGB24_PACKED_ROW_BOTTOM_UP,
        RGB24_PACKED_ROW_TOP_DOWN = FRAME_TYPE_RGB24_PACKED_ROW_TOP_DOWN,
    };

    static const char* const INPUT_FRAMETYPE;  // "InputFrameType"
    static const char* const OUTPUT_FRAMETYPE; // "OutputFrameType"

    // Both types start unset.
    explicit Filter(conduit::interfaces::channel::IControl& hostChannel);

    // Reads the two options: host UTF-16 strings, each narrowed and looked up with
    // frameTypeFromString. A missing option, or one of another type, counts as the
    // empty name.
    void init(const conduit::interfaces::device::PropertyList& options) override;
    void open(const conduit::interfaces::device::PropertyList& options) override;
    // Takes the frame: returns it unchanged when the types are equal; otherwise
    // releases it and returns its conversion, or null (unsupported pair, null,
    // foreign or malformed frame, no memory).
    conduit::interfaces::IDataBuffer* filter(conduit::interfaces::IDataBuffer* frame) override;
    void close() override;
    void term() override;

    conduit::interfaces::channel::IControl& getChannel() const;

    // The type named exactly (case-sensitive) by name, or NO_FRAME_TYPE.
    static FrameType frameTypeFromString(const std::string& name);

protected:
    ~Filter() override;

private:
    conduit::interfaces::channel::IControl& channel;
    FrameType inputFrameType;
    FrameType outputFrameType;
};

} // namespace webcam
