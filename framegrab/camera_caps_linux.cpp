#include "camera_caps_linux.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace framegrab {

namespace {

// Rates above this are the "any rate" of a template, not a camera's.
constexpr double FASTEST_STATED_RATE = 1000;

FrameRate fractionValue(const GValue* value) {
    return FrameRate{gst_value_get_fraction_numerator(value),
                     gst_value_get_fraction_denominator(value)};
}

// Each single rate or range of rates a "framerate" field states; one unknown rate
// (0/1) when it states none that a camera could mean.
std::vector<std::pair<FrameRate, FrameRate>> ratesOf(const GstStructure* structure) {
    std::vector<std::pair<FrameRate, FrameRate>> rates;
    const GValue* field = gst_structure_get_value(structure, "framerate");
    auto add = [&rates](const GValue* value) {
        if (GST_VALUE_HOLDS_FRACTION(value)) {
            const FrameRate rate = fractionValue(value);
            rates.emplace_back(rate, rate);
        } else if (GST_VALUE_HOLDS_FRACTION_RANGE(value)) {
            const FrameRate slowest = fractionValue(gst_value_get_fraction_range_min(value));
            const FrameRate fastest = fractionValue(gst_value_get_fraction_range_max(value));
            if (fastest.perSecond() <= FASTEST_STATED_RATE)
                rates.emplace_back(slowest, fastest);
        }
    };
    if (field != nullptr && GST_VALUE_HOLDS_LIST(field)) {
        for (guint i = 0; i < gst_value_list_get_size(field); ++i)
            add(gst_value_list_get_value(field, i));
    } else if (field != nullptr) {
        add(field);
    }
    if (rates.empty())
        rates.emplace_back(FrameRate{}, FrameRate{});
    return rates;
}

// The raw pixel formats a structure states; empty when it states none.
std::vector<std::string> formatsOf(const GstStructure* structure) {
    std::vector<std::string> formats;
    const GValue* field = gst_structure_get_value(structure, "format");
    if (field != nullptr && G_VALUE_HOLDS_STRING(field)) {
        formats.emplace_back(g_value_get_string(field));
    } else if (field != nullptr && GST_VALUE_HOLDS_LIST(field)) {
        for (guint i = 0; i < gst_value_list_get_size(field); ++i) {
            const GValue* item = gst_value_list_get_value(field, i);
            if (G_VALUE_HOLDS_STRING(item))
                formats.emplace_back(g_value_get_string(item));
        }
    }
    return formats;
}

// "video/x-h264" is shown as H264.
std::string encodingName(const std::string& mediaType) {
    std::string name = mediaType.substr(mediaType.find('/') + 1);
    if (name.rfind("x-", 0) == 0)
        name.erase(0, 2);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

} // namespace

std::vector<CameraMode> modesFromCaps(const GstCaps* caps) {
    std::vector<CameraMode> modes;
    if (caps == nullptr || gst_caps_is_any(caps))
        return modes;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* structure = gst_caps_get_structure(caps, i);
        CameraMode mode;
        if (!gst_structure_get_int(structure, "width", &mode.width) ||
            !gst_structure_get_int(structure, "height", &mode.height))
            continue;
        const std::string mediaType = gst_structure_get_name(structure);
        std::vector<std::string> formats;
        if (mediaType == "video/x-raw") {
            mode.encoding = Encoding::Raw;
            formats = formatsOf(structure);
        } else if (mediaType == "image/jpeg") {
            mode.encoding = Encoding::Mjpeg;
            formats = {"MJPEG"};
        } else {
            formats = {encodingName(mediaType)};
        }
        for (const std::string& format : formats) {
            mode.format = format;
            for (const auto& [slowest, fastest] : ratesOf(structure)) {
                mode.slowest = slowest;
                mode.fastest = fastest;
                if (std::find(modes.begin(), modes.end(), mode) == modes.end())
                    modes.push_back(mode);
            }
        }
    }
    return modes;
}

GstCaps* capsForMode(const CameraMode& mode) {
    GstCaps* caps = mode.encoding == Encoding::Mjpeg
                        ? gst_caps_new_empty_simple("image/jpeg")
                        : gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                              mode.format.c_str(), nullptr);
    gst_caps_set_simple(caps, "width", G_TYPE_INT, mode.width, "height", G_TYPE_INT, mode.height,
                        nullptr);
    if (mode.fastest.numerator > 0)
        gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, mode.fastest.numerator,
                            mode.fastest.denominator, nullptr);
    return caps;
}

std::vector<CameraMode> readSourceModes(GstElement* source) {
    std::vector<CameraMode> modes;
    if (source == nullptr)
        return modes;
    gst_object_ref_sink(source);
    if (gst_element_set_state(source, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
        if (GstPad* pad = gst_element_get_static_pad(source, "src")) {
            GstCaps* caps = gst_pad_query_caps(pad, nullptr);
            modes = modesFromCaps(caps);
            gst_caps_unref(caps);
            gst_object_unref(pad);
        }
    }
    gst_element_set_state(source, GST_STATE_NULL);
    gst_object_unref(source);
    return modes;
}

} // namespace framegrab
