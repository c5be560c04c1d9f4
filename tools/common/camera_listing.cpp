#include "camera_listing.h"

#include "host_value.h"

#include <array>
#include <stdexcept>

namespace kxtools {

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

} // namespace kxtools
