#include "listing_text.h"

#include <algorithm>
#include <stdexcept>

namespace camlist {

std::string listingText(const kxtools::CameraListing& listing) {
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

std::string listingText(const kxtools::CameraListing& listing,
                        const std::vector<CameraDetails>& details) {
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
