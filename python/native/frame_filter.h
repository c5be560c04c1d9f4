#pragma once

// The frame filter alone, for the benchmark and the tests of frame arrays: pixsieve
// loaded and initialised as a camera session initialises it, converting packed
// BGRA frames made in Python into planar frames handed to numpy without a copy.

#include "host/channel.h"
#include "host/plugin_loader.h"

#include <cstdint>
#include <memory>
#include <pybind11/numpy.h>
#include <string>

namespace kx {

class FrameFilter {
public:
    explicit FrameFilter(const std::string& pluginFolder);

    // An H x W x 4 uint8 array (B, G, R, A per pixel, rows top down) through the
    // filter; the planar frame as an H x W x 3 array owning it.
    pybind11::array convert(const pybind11::array_t<std::uint8_t, pybind11::array::c_style>& bgra);

    // Nanoseconds from the filter's return to the numpy array, in the last convert:
    // on the clock (the interpreter lock taken back included, and whatever time the
    // system gave other threads meanwhile), and of this thread's CPU.
    std::int64_t lastWrapNanoseconds() const { return wrapNanoseconds; }
    std::int64_t lastWrapCpuNanoseconds() const { return wrapCpuNanoseconds; }

private:
    struct Loaded {
        explicit Loaded(const std::string& pluginFolder);
        korvex::host::PluginLibrary library; // outlives the filter and its frames
        korvex::host::Channel channel;
        korvex::host::FilterPtr filter;
    };
    std::shared_ptr<Loaded> loaded;
    std::int64_t wrapNanoseconds = 0;
    std::int64_t wrapCpuNanoseconds = 0;
};

} // namespace kx
