#include "frame_test_support.h"
#include "webcam/frame_converter.h"
#include "webcam/frame_reference.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

// The conversions are stateless: threads converting at the same time get the same
// bytes as one thread alone. (Run under ThreadSanitizer with the "threads" label.)

namespace {

using webcam::FrameConverter;
using webcam::VideoDataBuffer;
using Bytes = std::vector<std::uint8_t>;

TEST(FrameConverterThreads, ConcurrentConversionsMatchReference) {
    const std::size_t height = 64, width = 80, pixels = height * width;
    const Bytes bgra = webcam::testing_support::randomBytes(4 * pixels, 1);
    const Bytes yuy2 = webcam::testing_support::randomBytes(2 * pixels, 2);
    Bytes expectedBgra(3 * pixels), expectedYuy2(3 * pixels);
    webcam::reference::convert(bgra.data(), height, width, 4, true, true, true, false,
                               expectedBgra.data());
    webcam::reference::yuy2ToPlanar(yuy2.data(), height, width, expectedYuy2.data());

    // Each thread only records whether its results matched; the test thread checks.
    constexpr int THREADS = 4, ROUNDS = 25;
    std::vector<int> mismatches(THREADS, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            const Bytes& input = t % 2 ? yuy2 : bgra;
            const Bytes& expected = t % 2 ? expectedYuy2 : expectedBgra;
            auto* data = new std::uint8_t[input.size()];
            std::copy(input.begin(), input.end(), data);
            auto* frame = new VideoDataBuffer(data, input.size(), height, width, t % 2 ? 2 : 4);
            for (int round = 0; round < ROUNDS; ++round) {
                VideoDataBuffer* planar =
                    t % 2 ? FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame)
                          : FrameConverter::packedBGRATopDownToPlanarRGBColumn(frame);
                if (planar == nullptr ||
                    Bytes(planar->data, planar->data + planar->size) != expected)
                    ++mismatches[static_cast<std::size_t>(t)];
                if (planar != nullptr)
                    planar->destroy();
            }
            frame->destroy();
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::vector<int>(THREADS, 0), mismatches);
}

} // namespace
