// One sensor reading made into the host's structure by the loaded converter, then
// read back field by field and destroyed, as sensorstream and the Python module
// do for every reading: nanoseconds per reading, for the mix of a phone's motion
// sensors. Run with --benchmark_repetitions=9 --benchmark_report_aggregates_only=true.

#include "conduit/kit/release.h"
#include "conduit/tvarray/tv_array.h"
#include "host/plugin_loader.h"
#include "mobilesensor/sample_buffers.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace mobilesensor;
using BufferPtr = std::unique_ptr<conduit::interfaces::IDataBuffer, conduit::kit::Releaser>;

// Acceleration, rotation rate, magnetic field and orientation in turn, as the
// binary app sends them, and a location fix now and then.
std::vector<BufferPtr> phoneMix() {
    constexpr auto APP = MobileSensorDataBuffer::KINESCOPE_APP;
    std::vector<BufferPtr> buffers;
    for (int i = 0; i < 50; ++i) {
        const double v = 0.01 * i;
        buffers.emplace_back(new AccelerometerDataBuffer(APP, v, -9.80665, 0.318));
        buffers.emplace_back(new GyroscopeDataBuffer(APP, 0.0125, v, -0.5));
        buffers.emplace_back(new MagnetometerDataBuffer(APP, {23.5, -1.25, v}));
        buffers.emplace_back(new OrientationDataBuffer(APP, 271.5, v, 0.75));
    }
    buffers.emplace_back(new HorizontalLocationDataBuffer(APP, {47.37, 8.54, 12.0, 93.5, 1.75}));
    return buffers;
}

struct Converter {
    korvex::host::PluginLibrary library{korvex::host::pluginPath("kineconvert")};
    korvex::host::ConverterPtr converter = library.createConverter();
};

// Every field's numbers, as a reader of the structure takes them.
double readBack(const tvArray* structure) {
    double sum = 0.0;
    const int fields = tvGetNumberOfFields(structure);
    for (int field = 0; field < fields; ++field) {
        const tvArray* value = tvGetFieldByNumber(structure, 0, field);
        if (value == nullptr || tvGetClassID(value) != tvDOUBLE_CLASS)
            continue;
        const auto* numbers = static_cast<const double*>(tvGetData(value));
        for (std::size_t i = 0; i < tvGetNumberOfElements(value); ++i)
            sum += numbers[i];
    }
    return sum;
}

// One reading at a time: converted, read back when the argument is 1, destroyed.
void convertOneAtATime(benchmark::State& state) {
    const bool readEach = state.range(0) != 0;
    Converter host;
    const auto buffers = phoneMix();
    std::size_t next = 0;
    for (auto _ : state) {
        tvArray* structure = host.converter->convertDataBuffer(buffers[next].get());
        if (readEach)
            benchmark::DoNotOptimize(readBack(structure));
        else
            benchmark::DoNotOptimize(structure);
        tvDestroyArray(structure);
        next = (next + 1) % buffers.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(convertOneAtATime)->ArgName("read")->Arg(0)->Arg(1);

// A batch converted before any of it is destroyed, as a consumer that keeps a
// batch's structures until it has written them all.
void convertBatchThenDestroy(benchmark::State& state) {
    Converter host;
    const auto buffers = phoneMix();
    std::vector<tvArray*> made(buffers.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < buffers.size(); ++i)
            made[i] = host.converter->convertDataBuffer(buffers[i].get());
        for (tvArray* structure : made)
            tvDestroyArray(structure);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(buffers.size()));
}
BENCHMARK(convertBatchThenDestroy);

} // namespace

BENCHMARK_MAIN();
