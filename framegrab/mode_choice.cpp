#include "mode_choice.h"

#include "controller_messages.h"
#include "resolution_text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace framegrab {

namespace {

constexpr double COMMON_RATE = 30;
constexpr int LARGEST_SIDE = 65535;
constexpr double FASTEST_RATE = 1000;

using Modes = std::vector<CameraMode>;

template <class Keep> Modes filtered(const Modes& modes, Keep keep) {
    Modes kept;
    std::copy_if(modes.begin(), modes.end(), std::back_inserter(kept), keep);
    return kept;
}

Modes ofSize(const Modes& modes, int width, int height) {
    return filtered(modes, [&](const CameraMode& mode) {
        return mode.width == width && mode.height == height;
    });
}

long long pixels(const CameraMode& mode) {
    return static_cast<long long>(mode.width) * mode.height;
}

// The largest mode (most pixels, then widest); modes is not empty.
const CameraMode& largest(const Modes& modes) {
    return *std::max_element(
        modes.begin(), modes.end(), [](const CameraMode& a, const CameraMode& b) {
            return pixels(a) != pixels(b) ? pixels(a) < pixels(b) : a.width < b.width;
        });
}

double fastestRate(const Modes& modes) {
    double fastest = 0;
    for (const CameraMode& mode : modes)
        fastest = std::max(fastest, mode.fastest.perSecond());
    return fastest;
}

// The rates of modes, fastest first, each once: "30, 15 and 5 to 10".
std::string ratesText(Modes modes) {
    std::stable_sort(modes.begin(), modes.end(), [](const CameraMode& a, const CameraMode& b) {
        return a.fastest.perSecond() > b.fastest.perSecond();
    });
    std::vector<std::string> texts;
    for (const CameraMode& mode : modes) {
        const std::string text = rateText(mode);
        if (std::find(texts.begin(), texts.end(), text) == texts.end())
            texts.push_back(text);
    }
    return joinedList(texts);
}

FrameRate fractionOf(double perSecond) {
    // Rates asked for inside a range have at most three decimals that matter.
    const int numerator = static_cast<int>(std::lround(perSecond * 1000));
    const int divisor = std::gcd(numerator, 1000);
    return FrameRate{numerator / divisor, 1000 / divisor};
}

// The mode narrowed to the one rate it will run at; for a rate the mode states,
// its own fraction (30000/1001 for 30), so that the camera recognises it.
CameraMode runningAt(CameraMode mode, double perSecond) {
    FrameRate rate = fractionOf(perSecond);
    if (sameRate(perSecond, mode.fastest.perSecond()))
        rate = mode.fastest;
    else if (sameRate(perSecond, mode.slowest.perSecond()))
        rate = mode.slowest;
    mode.slowest = mode.fastest = rate;
    return mode;
}

ModeChoice refused(const char* identifier, std::string text) {
    ModeChoice choice;
    choice.errorID = identifier;
    choice.errorText = std::move(text);
    return choice;
}

} // namespace

bool parseResolution(const std::string& text, int& width, int& height) {
    const std::size_t cross = text.find('x');
    if (cross == std::string::npos)
        return false;
    auto side = [](const std::string& digits, int& value) {
        if (digits.empty() || digits.size() > 5 || digits.front() == '0' ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = std::stoi(digits);
        return value <= LARGEST_SIDE;
    };
    return side(text.substr(0, cross), width) && side(text.substr(cross + 1), height);
}

bool parseFramerate(const std::string& text, double& perSecond) {
    if (text.empty() || text.find_first_not_of("0123456789./") != std::string::npos)
        return false;
    const std::size_t slash = text.find('/');
    auto number = [](const std::string& digits, double& value) {
        if (digits.empty() || digits.front() == '.' || digits.back() == '.' ||
            std::count(digits.begin(), digits.end(), '.') > 1 ||
            digits.find('/') != std::string::npos)
            return false;
        char* end = nullptr;
        errno = 0;
        value = std::strtod(digits.c_str(), &end);
        return errno == 0 && end == digits.c_str() + digits.size();
    };
    double numerator = 0;
    double denominator = 1;
    if (!number(text.substr(0, slash), numerator))
        return false;
    if (slash != std::string::npos && !number(text.substr(slash + 1), denominator))
        return false;
    if (!(denominator > 0))
        return false;
    perSecond = numerator / denominator;
    return perSecond > 0 && perSecond <= FASTEST_RATE;
}

ModeChoice chooseMode(const std::vector<CameraMode>& offered, const ModeRequest& request) {
    const Modes modes = filtered(offered, [](const CameraMode& mode) { return mode.decodable(); });
    if (modes.empty())
        return refused(messages::UNSUPPORTED_RESOLUTION_ID,
                       "The webcam offers no raw or MJPEG mode to capture from.");
    const std::string sizes = joinedList(resolutionList(modes));

    int width = 0;
    int height = 0;
    const bool sizeAsked = !request.resolution.empty();
    if (sizeAsked && !parseResolution(request.resolution, width, height))
        return refused(messages::UNSUPPORTED_RESOLUTION_ID,
                       "'" + request.resolution +
                           "' is not a resolution of the form WxH (such as " +
                           "1280x720); the webcam offers " + sizes + ".");
    double rate = 0;
    const bool rateAsked = !request.framerate.empty();
    if (rateAsked && !parseFramerate(request.framerate, rate))
        return refused(messages::UNSUPPORTED_FRAMERATE_ID,
                       "'" + request.framerate + "' is not a frame rate in frames a second (such " +
                           "as 30); the webcam offers " + ratesText(modes) + ".");

    Modes candidates = modes;
    const std::string sizeText = formatResolution(width, height);
    if (sizeAsked) {
        candidates = ofSize(modes, width, height);
        if (candidates.empty())
            return refused(messages::UNSUPPORTED_RESOLUTION_ID,
                           "The webcam does not offer " + sizeText + "; it offers " + sizes + ".");
    }
    if (rateAsked) {
        const Modes atRate =
            filtered(candidates, [&](const CameraMode& mode) { return mode.offers(rate); });
        if (atRate.empty())
            return refused(messages::UNSUPPORTED_FRAMERATE_ID,
                           "The webcam does not offer " + rateText(rate) + " frames a second" +
                               (sizeAsked ? " at " + sizeText : std::string()) + "; it offers " +
                               ratesText(candidates) + (sizeAsked ? " there." : "."));
        candidates = atRate;
    } else if (!sizeAsked) {
        const Modes common = filtered(modes, [](const CameraMode& mode) {
            return mode.offers(COMMON_RATE) || mode.fastest.perSecond() > COMMON_RATE;
        });
        if (!common.empty()) {
            candidates = common;
        } else {
            const double fastest = fastestRate(modes);
            candidates = filtered(
                modes, [&](const CameraMode& mode) { return mode.fastest.perSecond() == fastest; });
        }
    }
    if (!sizeAsked) {
        width = largest(candidates).width;
        height = largest(candidates).height;
    }
    const Modes atSize = ofSize(modes, width, height);
    if (!rateAsked)
        rate = fastestRate(atSize);

    // Raw costs no decoding, so it wins wherever it delivers the rate.
    for (const Encoding encoding : {Encoding::Raw, Encoding::Mjpeg}) {
        for (const CameraMode& mode : atSize) {
            if (mode.encoding == encoding && mode.offers(rate)) {
                ModeChoice choice;
                choice.mode = runningAt(mode, rate);
                return choice;
            }
        }
    }
    return refused(messages::UNSUPPORTED_FRAMERATE_ID, "The webcam offers no mode of " + sizeText +
                                                           " at " + rateText(rate) +
                                                           " frames a second.");
}

} // namespace framegrab
