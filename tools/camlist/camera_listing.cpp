#include "camera_listing.h"

#include "tools/common/host_value.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace camlist {

namespace {

constexpr int RESULT_SLOTS = 3;

} // namespace

CameraListing listCameras(tevFunctionPtr entry) {
    if (entry == nullptr)
        throw std::runtime_error("the module has no entry point");
    std::array<tvArray*, RESULT_SLOTS> slots{};
    entry(RESULT_SLOTS, slots.data(), 0, nullptr);
    // The host owns whatever the module left in the slots.
    std::array<kxtools::HostArray, RESULT_SLOTS> owned;
    for (int i = 0; i < RESULT_SLOTS; ++i)
        owned[static_cast<std::size_t>(i)].reset(slots[static_cast<std::size_t>(i)]);

    const auto flag = kxtools::hostNumbers(owned[0].get());
    if (!flag || flag->size() != 1)
        throw std::runtime_error("the module's first result is not a success flag");
    CameraListing listing;
    listing.succeeded = flag->front() != 0.0;
    if (!listing.succeeded)
        return listing;
    auto names = kxtools::hostCellTexts(owned[1].get());
    auto places = kxtools::hostCellTexts(owned[2].get());
    if (!names || !places || names->size() != places->size())
        throw std::runtime_error("the module's second and third results are not two lists of "
                                 "the same length");
    listing.names = std::move(*names);
    listing.places = std::move(*places);
    return listing;
}

std::string listingText(const CameraListing& listing) {
    if (listing.names.empty())
        return "no cameras found\n";
    std::size_t width = 0;
    for (const auto& name : listing.names)
        width = std::max(width, name.size());
    std::string text;
    for (std::size_t i = 0; i < listing.names.size(); ++i)
        text += listing.names[i] + std::string(width - listing.names[i].size() + 2, ' ') +
                listing.places[i] + "\n";
    return text;
}

std::string listingText(const CameraListing& listing, const std::vector<CameraDetails>& details) {
    if (listing.names.empty())
        return "no cameras found\n";
    if (details.size() != listing.names.size())
        throw std::invalid_argument("the details do not match the cameras");
    std::string text;
    for (std::size_t i = 0; i < listing.names.size(); ++i) {
        const CameraDetails& camera = details[i];
        text += (i > 0 ? "\n" : "") + listing.names[i] + "\n";
        text += "  device  " + listing.places[i] + "\n";
        for (const std::string& link : camera.links)
            text += "  link    " + link + "\n";
        if (camera.modes.empty()) {
            text += "  modes   none stated (the camera could not be opened)\n";
            continue;
        }
        std::size_t formatWidth = 0;
        std::size_t sizeWidth = 0;
        for (const ModeLine& mode : camera.modes) {
            formatWidth = std::max(formatWidth, mode.format.size());
            sizeWidth = std::max(sizeWidth, mode.size.size());
        }
        for (std::size_t m = 0; m < camera.modes.size(); ++m) {
            const ModeLine& mode = camera.modes[m];
            const bool sameFormat = m > 0 && camera.modes[m - 1].format == mode.format;
            text += m == 0 ? "  modes   " : "          ";
            text += (sameFormat ? std::string(formatWidth, ' ')
                                : mode.format + std::string(formatWidth - mode.format.size(), ' '));
            text += "  " + mode.size + std::string(sizeWidth - mode.size.size(), ' ') + "  ";
            text += mode.rates == "?" ? "rate not stated\n" : mode.rates + " fps\n";
        }
    }
    return text;
}

} // namespace camlist
