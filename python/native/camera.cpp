#include "camera.h"

#include "frame_array.h"
#include "interruptible_wait.h"

#include <cstring>
#include <utility>

namespace kx {

namespace py = pybind11;

Camera::Core::Core(const kxtools::CameraSettings& settings, std::size_t room)
    : inbox(room),
      session(
          settings,
          [this](korvex::host::BufferPtr frame) { return inbox.offerFrame(std::move(frame)); },
          [this](const korvex::host::PropertyPtr& property) { inbox.offerProperty(property); }) {}

Camera::Camera(const kxtools::CameraSettings& settings, std::size_t room)
    : core(std::make_shared<Core>(settings, room)),
      news([session = &core->session] { return session->newMessages(); }) {
    core->session.open();
}

Camera::~Camera() {
    try {
        close();
    } catch (...) {
        // The session terms the device when the last frame goes.
    }
}

void Camera::close() {
    if (closed.exchange(true))
        return;
    core->inbox.close();
    core->session.close();
}

std::vector<korvex::host::Message> Camera::takeMessages() { return news.take(); }

py::object Camera::next(bool newest, std::optional<std::chrono::milliseconds> timeout,
                        bool packed) {
    const bool ready = waitInterruptibly(
        timeout,
        [&](std::chrono::milliseconds slice) {
            return core->inbox.waitReady(slice) || closed || news.any();
        },
        waiting);
    if (!ready)
        return py::none();
    std::optional<StampedFrame> stamped = core->inbox.take(newest);
    if (!stamped)
        return py::none(); // closed, or news came first
    py::object original = py::none();
    if (packed) {
        const auto& bgra = dynamic_cast<const webcam::VideoDataBuffer&>(*stamped->frame);
        py::array_t<std::uint8_t> copy({static_cast<py::ssize_t>(bgra.height),
                                        static_cast<py::ssize_t>(bgra.width), py::ssize_t{4}});
        std::memcpy(copy.mutable_data(), bgra.data,
                    std::min<std::size_t>(bgra.size, copy.nbytes()));
        original = std::move(copy);
    }
    kxtools::FramePtr planar;
    {
        py::gil_scoped_release unlocked;
        planar = core->session.convert(std::move(stamped->frame));
    }
    py::array image = frameArray(std::move(planar), core);
    if (packed)
        return py::make_tuple(image, stamped->timestamp, stamped->arrival, original);
    return py::make_tuple(image, stamped->timestamp, stamped->arrival);
}

} // namespace kx
