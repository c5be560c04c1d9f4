#include "camera_mode.h"

#include "resolution_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

namespace framegrab {

namespace {

// Cameras state rates as fractions that round differently (30000/1001, 10000000/333333):
// one percent apart is the same rate, and no two rates a camera offers are that close.
constexpr double RATE_TOLERANCE = 0.01;

bool largerFirst(const CameraMode& left, const CameraMode& right) {
    const long long leftPixels = static_cast<long long>(left.width) * left.height;
    const long long rightPixels = static_cast<long long>(right.width) * right.height;
    return std::tie(leftPixels, left.width) > std::tie(rightPixels, right.width);
}

} // namespace

double FrameRate::perSecond() const {
    if (denominator == 0)
        return 0;
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

bool operator==(const FrameRate& left, const FrameRate& right) {
    return static_cast<long long>(left.numerator) * right.denominator ==
           static_cast<long long>(right.numerator) * left.denominator;
}

bool sameRate(double left, double right) {
    return std::fabs(left - right) <= RATE_TOLERANCE * std::max(left, right);
}

bool CameraMode::offers(double rate) const {
    const double low = slowest.perSecond();
    const double high = fastest.perSecond();
    return sameRate(rate, low) || sameRate(rate, high) || (rate > low && rate < high);
}

bool operator==(const CameraMode& left, const CameraMode& right) {
    return left.encoding == right.encoding && left.format == right.format &&
           left.width == right.width && left.height == right.height &&
           left.slowest == right.slowest && left.fastest == right.fastest;
}

std::string rateText(double perSecond) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", perSecond);
    std::string shown = text;
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.')
        shown.pop_back();
    return shown;
}

std::string rateText(const CameraMode& mode) {
    if (mode.slowest == mode.fastest)
        return rateText(mode.fastest.perSecond());
    return rateText(mode.slowest.perSecond()) + " to " + rateText(mode.fastest.perSecond());
}

std::string joinedList(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

std::vector<std::string> resolutionList(const std::vector<CameraMode>& modes) {
    std::vector<CameraMode> sizes;
    for (const CameraMode& mode : modes) {
        const bool known = std::any_of(sizes.begin(), sizes.end(), [&](const CameraMode& size) {
            return size.width == mode.width && size.height == mode.height;
        });
        if (mode.decodable() && !known)
            sizes.push_back(mode);
    }
    std::stable_sort(sizes.begin(), sizes.end(), largerFirst);
    std::vector<std::string> texts;
    for (const CameraMode& size : sizes)
        texts.push_back(formatResolution(size.width, size.height));
    return texts;
}

std::vector<std::string> resolutionList(const std::vector<CameraMode>& modes,
                                        const CameraMode& first) {
    std::vector<std::string> texts = resolutionList(modes);
    const auto used =
        std::find(texts.begin(), texts.end(), formatResolution(first.width, first.height));
    if (used != texts.end())
        std::rotate(texts.begin(), used, used + 1);
    return texts;
}

} // namespace framegrab
