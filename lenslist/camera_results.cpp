#include "lenslist/camera_results.h"

namespace lenslist {

namespace {

// A 1-by-count cell array, or 0-by-0 when count is 0.
tvArray* cellRow(size_t count) {
    const size_t dimensions[2] = {count == 0 ? size_t{0} : size_t{1}, count};
    return tvCreateCellArray(2, dimensions);
}

} // namespace

void storeCameraListing(tvArray* results[], const CameraListing& listing) {
    const size_t count = listing.enumerated ? listing.names.size() : 0;
    tvArray* names = cellRow(count);
    tvArray* positions = cellRow(count);
    for (size_t i = 0; i < count; ++i) {
        tvSetCell(names, i, tvCreateString(listing.names[i].c_str()));
        tvSetCell(positions, i, tvCreateDoubleScalar(static_cast<double>(i + 1)));
    }
    results[0] = tvCreateLogicalScalar(listing.enumerated);
    results[1] = names;
    results[2] = positions;
}

} // namespace lenslist
