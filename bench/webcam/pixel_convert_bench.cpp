// Times the frame conversions of pixcore for the camera sizes that matter, beside
// a memcpy of the same input frame (the ceiling any conversion could reach) and the
// plain reference conversion, and ends with a table of medians and ratios.
//
//   pixel_convert_bench [google benchmark flags]
//
// Defaults: 9 repetitions of at least 0.25 s, aggregates only. Rows per layout and size:
//   memcpy      memcpy of the input frame into a buffer that already exists
//   reference   the one-pixel-at-a-time conversion (frame_reference.h)
//   public      the FrameConverter function: checks, allocation, fastest kernels, destroy
//   <kernels>   each kernel set this machine runs, into a buffer that already exists

#include "webcam/frame_converter.h"
#include "webcam/frame_kernels.h"
#include "webcam/frame_reference.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using webcam::FrameConverter;
using webcam::VideoDataBuffer;
using webcam::kernels::KernelSet;

struct Size {
    const char* name;
    std::size_t height, width;
};

const Size SIZES[] = {{"640x480", 480, 640}, {"1920x1080", 1080, 1920}, {"3840x2160", 2160, 3840}};

struct Layout {
    const char* name;
    std::size_t bytesPerPixel; // YUY2: 2
    bool hasAlpha, bgrOrder, readForward, mirrorColumns;
    VideoDataBuffer* (*convert)(const conduit::interfaces::IDataBuffer*);
    webcam::kernels::Layout kernel; // index of the kernel tables
};

const Layout LAYOUTS[] = {
    {"BGRA", 4, true, true, true, false, FrameConverter::packedBGRATopDownToPlanarRGBColumn,
     webcam::kernels::BGRA32_TOP_DOWN},
    {"RGB-top-down", 3, false, false, true, false,
     FrameConverter::packedRGBTopDownToPlanarRGBColumn, webcam::kernels::RGB24_TOP_DOWN},
    {"RGB-bottom-up", 3, false, false, false, true,
     FrameConverter::packedRGBBottomUpToPlanarRGBColumn, webcam::kernels::RGB24_BOTTOM_UP},
    {"YUY2", 2, false, false, false, false, FrameConverter::packedYUY2BottomUpToPlanarRGBColumn,
     webcam::kernels::YUY2},
};

bool isYuy2(const Layout& layout) { return layout.bytesPerPixel == 2; }

// Ratio goals to memcpy of the input, and the least speed-up over the reference.
double ratioGoal(const Layout& layout, const Size& size) {
    const bool fourK = size.height == 2160;
    if (std::strcmp(layout.name, "BGRA") == 0)
        return fourK ? 1.6 : (size.height == 1080 ? 1.8 : 0);
    if (isYuy2(layout))
        return fourK ? 2.5 : 0;
    return fourK ? 2.0 : 0;
}
constexpr double SPEED_UP_GOAL_4K = 10;

struct Frame {
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> output;
    std::unique_ptr<VideoDataBuffer, void (*)(VideoDataBuffer*)> buffer{nullptr, nullptr};
};

// Input of random bytes and an output buffer with every page touched.
std::shared_ptr<Frame> makeFrame(const Layout& layout, const Size& size) {
    auto frame = std::make_shared<Frame>();
    const std::size_t pixels = size.height * size.width;
    frame->input.resize(pixels * layout.bytesPerPixel);
    std::mt19937 generator(42);
    for (auto& byte : frame->input)
        byte = static_cast<std::uint8_t>(generator());
    frame->output.assign(3 * pixels, 0);
    // The frame borrows the input's bytes and lets go of them before it goes.
    frame->buffer = {new VideoDataBuffer(frame->input.data(), frame->input.size(), size.height,
                                         size.width, layout.bytesPerPixel),
                     [](VideoDataBuffer* buffer) {
                         buffer->data = nullptr;
                         buffer->destroy();
                     }};
    return frame;
}

void registerAll() {
    for (const Layout& layout : LAYOUTS) {
        for (const Size& size : SIZES) {
            const std::string prefix = std::string(layout.name) + "/" + size.name + "/";
            const auto frame = makeFrame(layout, size);
            const Layout* l = &layout;
            const Size* s = &size;

            benchmark::RegisterBenchmark(
                (prefix + "memcpy").c_str(), [frame](benchmark::State& state) {
                    std::vector<std::uint8_t> copy(frame->input.size(), 1);
                    for (auto _ : state) {
                        std::memcpy(copy.data(), frame->input.data(), frame->input.size());
                        benchmark::DoNotOptimize(copy.data());
                        benchmark::ClobberMemory();
                    }
                });
            benchmark::RegisterBenchmark(
                (prefix + "reference").c_str(), [frame, l, s](benchmark::State& state) {
                    for (auto _ : state) {
                        if (isYuy2(*l))
                            webcam::reference::yuy2ToPlanar(frame->input.data(), s->height,
                                                            s->width, frame->output.data());
                        else
                            webcam::reference::convert(frame->input.data(), s->height, s->width,
                                                       l->bytesPerPixel, l->hasAlpha, l->bgrOrder,
                                                       l->readForward, l->mirrorColumns,
                                                       frame->output.data());
                        benchmark::DoNotOptimize(frame->output.data());
                        benchmark::ClobberMemory();
                    }
                });
            benchmark::RegisterBenchmark(
                (prefix + "public").c_str(), [frame, l](benchmark::State& state) {
                    for (auto _ : state) {
                        VideoDataBuffer* planar = l->convert(frame->buffer.get());
                        benchmark::DoNotOptimize(planar);
                        planar->destroy();
                    }
                });
            for (const KernelSet* kernels : webcam::kernels::supportedKernels()) {
                benchmark::RegisterBenchmark((prefix + kernels->name).c_str(),
                                             [frame, l, s, kernels](benchmark::State& state) {
                                                 const auto kernel = kernels->toPlanar[l->kernel];
                                                 for (auto _ : state) {
                                                     kernel(frame->input.data(), s->height,
                                                            s->width, frame->output.data());
                                                     benchmark::DoNotOptimize(frame->output.data());
                                                     benchmark::ClobberMemory();
                                                 }
                                             });
            }
        }
    }
}

// The console report, then one table of the medians: milliseconds per frame and
// the ratio to memcpy of the input for every variant, and the goals. The table
// uses the CPU time of the converting thread, which other processes on a shared
// machine disturb less than the wall-clock time (the console report shows both).
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if ((median || single) && !run.error_occurred)
                milliseconds_[run.run_name.function_name] =
                    run.GetAdjustedCPUTime() * toMilliseconds(run.time_unit);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nMedian CPU milliseconds per frame (x memcpy of the input frame)\n");
        std::printf("%-14s %-10s %9s %18s %18s", "layout", "size", "memcpy", "reference", "public");
        for (const KernelSet* kernels : webcam::kernels::supportedKernels())
            std::printf(" %18s", kernels->name);
        std::printf(" %9s %s\n", "speed-up", "goal");
        bool allMet = true;
        for (const Layout& layout : LAYOUTS) {
            for (const Size& size : SIZES) {
                const std::string prefix = std::string(layout.name) + "/" + size.name + "/";
                const double copy = find(prefix + "memcpy");
                if (copy <= 0)
                    continue;
                std::printf("%-14s %-10s %9.3f", layout.name, size.name, copy);
                const auto cell = [&](const std::string& variant) {
                    const double ms = find(prefix + variant);
                    if (ms > 0)
                        std::printf(" %9.3f (%5.2fx)", ms, ms / copy);
                    else
                        std::printf(" %18s", "-");
                };
                cell("reference");
                cell("public");
                for (const KernelSet* kernels : webcam::kernels::supportedKernels())
                    cell(kernels->name);
                const double reference = find(prefix + "reference");
                const double fast = find(prefix + "public");
                const double speedUp = fast > 0 && reference > 0 ? reference / fast : 0;
                std::printf(" %8.1fx", speedUp);
                const double goal = ratioGoal(layout, size);
                if (goal > 0 && fast > 0) {
                    const bool met = fast / copy <= goal && speedUp >= SPEED_UP_GOAL_4K;
                    allMet = allMet && met;
                    std::printf(" <= %.1fx memcpy, >= %.0fx reference: %s", goal, SPEED_UP_GOAL_4K,
                                met ? "met" : "MISSED");
                }
                std::printf("\n");
            }
        }
        std::printf("%s\n", allMet ? "every goal met" : "some goals missed");
    }

private:
    static double toMilliseconds(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1e-6;
        case benchmark::kMicrosecond:
            return 1e-3;
        case benchmark::kMillisecond:
            return 1;
        case benchmark::kSecond:
            return 1e3;
        }
        return 1;
    }
    double find(const std::string& name) const {
        const auto found = milliseconds_.find(name);
        return found == milliseconds_.end() ? 0 : found->second;
    }

    std::map<std::string, double> milliseconds_;
};

} // namespace

int main(int argc, char** argv) {
    // Defaults first, so that flags given on the command line override them.
    std::string repetitions = "--benchmark_repetitions=9";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    std::string unit = "--benchmark_time_unit=ms";
    std::string minTime = "--benchmark_min_time=0.25";
    std::vector<char*> args{argv[0], repetitions.data(), aggregates.data(), unit.data(),
                            minTime.data()};
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    registerAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
