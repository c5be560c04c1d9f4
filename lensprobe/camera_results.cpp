#include "lensprobe/camera_results.h"

#include <string>
#include <vector>

namespace lensprobe {

namespace {

// A 1-by-N cell array of char rows, or a 0-by-0 cell array when there are none.
tvArray* stringCells(const std::vector<std::string>& texts) {
    const size_t count = texts.size();
    const size_t dimensions[2] = {count == 0 ? size_t{0} : size_t{1}, count};
    tvArray* cells = tvCreateCellArray(2, dimensions);
    for (size_t i = 0; i < count; ++i)
        tvSetCell(cells, i, tvCreateString(texts[i].c_str()));
    return cells;
}

} // namespace

void storeCameraList(tvArray* results[], const CameraList& cameras) {
    // The scan itself never fails: an unreadable folder or nameless devices only
    // make the lists shorter.
    results[0] = tvCreateLogicalScalar(true);
    results[1] = stringCells(cameras.names);
    results[2] = stringCells(cameras.paths);
}

} // namespace lensprobe
