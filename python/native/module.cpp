// kx._native: the C++ side of the kx package. The package's Python code checks the
// arguments, documents the public names and turns what this module reports into
// numpy dtypes, warnings and exceptions.

#include "camera.h"
#include "frame_array.h"
#include "frame_filter.h"
#include "interruptible_wait.h"
#include "reading_record.h"
#include "sensor_stream.h"
#include "tools/common/camera_listing.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <stdexcept>

namespace py = pybind11;

namespace {

// (type, identifier, text) for each message.
py::list messageTuples(const std::vector<korvex::host::Message>& messages) {
    py::list tuples;
    for (const auto& message : messages)
        tuples.append(py::make_tuple(message.type, message.id, message.text));
    return tuples;
}

kxtools::SensorApp sensorApp(const std::string& app) {
    if (app == "text")
        return kxtools::SensorApp::Text;
    if (app == "binary")
        return kxtools::SensorApp::Binary;
    throw std::invalid_argument("app must be 'text' or 'binary', not '" + app + "'");
}

py::dict accountingDict(const mobilesensor::DatagramAccounting& accounting) {
    py::dict d;
    d["received"] = accounting.received;
    d["other_sender"] = accounting.fromOtherSenders;
    d["delivered"] = accounting.delivered;
    d["malformed"] = accounting.malformed;
    d["dropped_by_system"] = accounting.droppedBySystem;
    return d;
}

} // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The C++ side of kx: plug-in sessions, interruptible waits, zero-copy arrays.";
    m.attr("__version__") = KX_VERSION_STRING;

    // A device's errors, with every message it posted: (what, [(type, id, text)]).
    static py::handle deviceFailure =
        py::exception<kxtools::DeviceError>(m, "DeviceFailure", PyExc_RuntimeError).release();
    py::register_local_exception_translator([](std::exception_ptr raised) {
        try {
            if (raised)
                std::rethrow_exception(raised);
        } catch (const kxtools::DeviceError& error) {
            PyErr_SetObject(deviceFailure.ptr(),
                            py::make_tuple(error.what(), messageTuples(error.messages())).ptr());
        }
    });

    m.def(
        "reading_columns",
        [] {
            py::list columns;
            for (const auto& column : kx::readingColumns())
                columns.append(py::make_tuple(column.name, column.format, column.offset));
            return py::make_tuple(columns, sizeof(kx::ReadingRecord));
        },
        "The reading record's columns as (name, numpy format, offset), and its size.");

    py::class_<kx::SensorStream>(m, "SensorStream", "A sensor device, listening.")
        .def(py::init([](const std::string& app, std::uint16_t port, const std::string& bind,
                         std::size_t capacity, const std::string& pluginFolder) {
                 return std::make_unique<kx::SensorStream>(
                     kxtools::SensorSettings{sensorApp(app), port, bind, pluginFolder}, capacity);
             }),
             py::arg("app"), py::arg("port"), py::arg("bind"), py::arg("capacity"),
             py::arg("plugin_folder"), py::call_guard<py::gil_scoped_release>())
        .def(
            "read",
            [](kx::SensorStream& stream, std::size_t least, std::size_t most,
               std::optional<double> timeout, const py::dtype& dtype) {
                return stream.read(least, most, kx::timeoutFrom(timeout, "timeout"), dtype);
            },
            py::arg("least"), py::arg("most"), py::arg("timeout"), py::arg("dtype"))
        .def_property_readonly("port", &kx::SensorStream::port)
        .def_property_readonly("interfaces", &kx::SensorStream::interfaces)
        .def("local_address", &kx::SensorStream::localAddress)
        .def("take_messages",
             [](kx::SensorStream& stream) { return messageTuples(stream.takeMessages()); })
        .def("accounting",
             [](const kx::SensorStream& stream) { return accountingDict(stream.accounting()); })
        .def_property_readonly("readings_written", &kx::SensorStream::readingsWritten)
        .def("close", &kx::SensorStream::close, py::call_guard<py::gil_scoped_release>())
        .def_property_readonly("closed", &kx::SensorStream::isClosed)
        .def_property_readonly("waiting", &kx::SensorStream::isWaiting);

    py::class_<kx::Camera>(m, "Camera", "A camera, running.")
        .def(py::init([](const std::string& webcamID, const std::string& resolution,
                         std::optional<double> frameRate, std::size_t room,
                         const std::string& pluginFolder) {
                 kxtools::CameraSettings settings;
                 settings.webcamID = webcamID;
                 settings.resolution = resolution;
                 settings.frameRate = frameRate;
                 settings.pluginFolder = pluginFolder;
                 return std::make_unique<kx::Camera>(settings, room);
             }),
             py::arg("webcam_id"), py::arg("resolution"), py::arg("frame_rate"), py::arg("room"),
             py::arg("plugin_folder"), py::call_guard<py::gil_scoped_release>())
        .def(
            "next",
            [](kx::Camera& camera, bool newest, std::optional<double> timeout, bool packed) {
                return camera.next(newest, kx::timeoutFrom(timeout, "timeout"), packed);
            },
            py::arg("newest"), py::arg("timeout"), py::arg("packed") = false)
        .def_property_readonly("width", &kx::Camera::width)
        .def_property_readonly("height", &kx::Camera::height)
        .def("take_messages",
             [](kx::Camera& camera) { return messageTuples(camera.takeMessages()); })
        .def_property_readonly("arrivals", &kx::Camera::arrivals)
        .def_property_readonly("dropped", &kx::Camera::dropped)
        .def("close", &kx::Camera::close, py::call_guard<py::gil_scoped_release>())
        .def_property_readonly("closed", &kx::Camera::isClosed)
        .def_property_readonly("waiting", &kx::Camera::isWaiting);

    py::class_<kx::FrameFilter>(m, "FrameFilter", "pixsieve alone: BGRA arrays to planar frames.")
        .def(py::init<const std::string&>(), py::arg("plugin_folder"))
        .def("convert", &kx::FrameFilter::convert, py::arg("bgra"))
        .def_property_readonly("last_wrap_ns", &kx::FrameFilter::lastWrapNanoseconds)
        .def_property_readonly("last_wrap_cpu_ns", &kx::FrameFilter::lastWrapCpuNanoseconds);

    m.def(
        "list_cameras",
        [](const std::string& pluginFolder, const std::string& module) {
            korvex::host::PluginLibrary library(korvex::host::pluginPath(module, pluginFolder));
            const kxtools::CameraListing listing = kxtools::listCameras(library.extensionEntry());
            if (!listing.succeeded)
                throw std::runtime_error(module + " could not list the cameras");
            py::list cameras;
            for (std::size_t i = 0; i < listing.names.size(); ++i)
                cameras.append(py::make_tuple(listing.names[i], listing.places[i]));
            return cameras;
        },
        py::arg("plugin_folder"), py::arg("module") = "lensprobe",
        "(name, path) of each camera, through the camera-listing extension module.");

    m.def("live_frames", &kx::liveFrames, "Frames owned by arrays still alive.");
    m.def(
        "frame_memory",
        [](const py::array& array) -> py::object {
            const webcam::VideoDataBuffer* frame = kx::frameOf(array);
            if (frame == nullptr)
                return py::none();
            return py::make_tuple(reinterpret_cast<std::uintptr_t>(frame->data), frame->size,
                                  frame->height, frame->width);
        },
        py::arg("array"),
        "(address, size, height, width) of the frame an image array owns, or None.");
}
