#include "frame_filter.h"

#include "frame_array.h"
#include "host/i18n/ustring_conversion.h"
#include "host/property_list.h"
#include "webcam/video_data_buffer.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace kx {

namespace py = pybind11;

namespace {

// This thread's CPU time.
std::int64_t threadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

} // namespace

FrameFilter::Loaded::Loaded(const std::string& pluginFolder)
    : library(korvex::host::pluginPath("pixsieve", pluginFolder)), channel("pixsieve"),
      filter(library.createFilter(channel)) {
    korvex::host::Options options;
    options.set("InputFrameType", korvex::i18n::widen("BGRA32PackedRowTopDown"));
    options.set("OutputFrameType", korvex::i18n::widen("RGB24PlanarColumn"));
    filter->init(options);
    filter->open(korvex::host::Options());
}

FrameFilter::FrameFilter(const std::string& pluginFolder)
    : loaded(std::make_shared<Loaded>(pluginFolder)) {}

py::array FrameFilter::convert(const py::array_t<std::uint8_t, py::array::c_style>& bgra) {
    if (bgra.ndim() != 3 || bgra.shape(2) != 4)
        throw std::invalid_argument("a BGRA frame is an H x W x 4 array of uint8");
    const auto height = static_cast<std::size_t>(bgra.shape(0));
    const auto width = static_cast<std::size_t>(bgra.shape(1));
    const std::size_t size = height * width * 4;
    kxtools::FramePtr planar;
    std::chrono::steady_clock::time_point filtered;
    std::int64_t filteredCpu = 0;
    {
        // The packed frame is the channel's kind of buffer: a copy the filter takes over.
        auto* bytes = new std::uint8_t[size];
        std::memcpy(bytes, bgra.data(), size);
        korvex::host::BufferPtr packed(new webcam::VideoDataBuffer(bytes, size, height, width, 4));
        py::gil_scoped_release unlocked;
        planar.reset(
            dynamic_cast<webcam::VideoDataBuffer*>(loaded->filter->filter(packed.release())));
        filtered = std::chrono::steady_clock::now();
        filteredCpu = threadCpuNanoseconds();
    }
    if (planar == nullptr)
        throw std::runtime_error("pixsieve returned no frame");
    py::array image = frameArray(std::move(planar), loaded);
    wrapCpuNanoseconds = threadCpuNanoseconds() - filteredCpu;
    wrapNanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now() - filtered)
                          .count();
    return image;
}

} // namespace kx
