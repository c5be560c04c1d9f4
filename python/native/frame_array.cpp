#include "frame_array.h"

#include <atomic>
#include <cstring>
#include <utility>

namespace kx {

namespace py = pybind11;

namespace {

std::atomic<std::int64_t> framesAlive{0};

constexpr const char* CAPSULE_NAME = "kx.frame";

// What the array's base object holds: the frame, and what must stay loaded for it.
struct OwnedFrame {
    OwnedFrame(kxtools::FramePtr owned, std::shared_ptr<const void> keep)
        : frame(std::move(owned)), keepLoaded(std::move(keep)) {
        ++framesAlive;
    }
    ~OwnedFrame() {
        frame.reset(); // before the libraries it came from may go
        --framesAlive;
    }
    OwnedFrame(const OwnedFrame&) = delete;
    OwnedFrame& operator=(const OwnedFrame&) = delete;

    kxtools::FramePtr frame;
    std::shared_ptr<const void> keepLoaded;
};

} // namespace

py::array frameArray(kxtools::FramePtr frame, std::shared_ptr<const void> keepLoaded) {
    const auto height = static_cast<py::ssize_t>(frame->height);
    const auto width = static_cast<py::ssize_t>(frame->width);
    std::uint8_t* pixels = frame->data;
    auto owned = std::make_unique<OwnedFrame>(std::move(frame), std::move(keepLoaded));
    py::capsule base(owned.get(), CAPSULE_NAME, [](PyObject* capsule) {
        delete static_cast<OwnedFrame*>(PyCapsule_GetPointer(capsule, CAPSULE_NAME));
    });
    owned.release(); // the capsule's now
    // Row r, column c, plane p at r + c * H + p * H * W: strides 1, H and H * W.
    return py::array(py::dtype::of<std::uint8_t>(), {height, width, py::ssize_t{3}},
                     {py::ssize_t{1}, height, height * width}, pixels, base);
}

std::int64_t liveFrames() { return framesAlive.load(); }

const webcam::VideoDataBuffer* frameOf(const py::array& array) {
    const py::handle base = array.base();
    if (!base || !PyCapsule_CheckExact(base.ptr()))
        return nullptr;
    const char* name = PyCapsule_GetName(base.ptr());
    if (name == nullptr || std::strcmp(name, CAPSULE_NAME) != 0)
        return nullptr;
    const auto* owned =
        static_cast<const OwnedFrame*>(PyCapsule_GetPointer(base.ptr(), CAPSULE_NAME));
    return owned->frame.get();
}

} // namespace kx
