// Text datagram parsing alone, datagrams per second, for a mix of kinds as the app
// sends them (mostly motion readings, a location fix now and then): the plug-in's
// parser beside the same rules written with Boost's tokenizer, trim and
// lexical_cast. Run with --benchmark_repetitions=9 --benchmark_report_aggregates_only=true.

#include "kinedgram/reference/boost_text_reference.h"
#include "kinedgram/text_datagram.h"
#include "kinedgram/text_fields.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// One second of the app at its usual rates: acceleration, magnetic field and
// orientation at 50 Hz each, one fix of each kind.
std::vector<std::string> realisticMix() {
    std::vector<std::string> texts;
    for (int i = 0; i < 50; ++i) {
        const std::string t = std::to_string(1733650000000LL + i * 20);
        texts.push_back("A," + t + ",1," + std::to_string(0.0123 * i) + ",-9.80665,0.318");
        texts.push_back("M," + t + ",1,23456789.5,-1234567.25,-45000000");
        texts.push_back("O," + t + ",1,271.5," + std::to_string(-1.25 * i) + ",0.75");
    }
    texts.push_back("G,1733650000000,1,112.4,51.507351,-0.127758,1733650000000,12.5,1.4");
    texts.push_back("N,1733650000000,1,NaN,51.507301,-0.127701,1733650000100,35.0,0.0");
    return texts;
}

// Datagrams as they arrive: the text and a terminator byte.
std::vector<std::vector<std::uint8_t>> datagrams() {
    std::vector<std::vector<std::uint8_t>> all;
    for (const std::string& text : realisticMix()) {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back('\n');
        all.push_back(bytes);
    }
    return all;
}

void Production(benchmark::State& state) {
    const auto all = datagrams();
    std::vector<std::uint8_t> scratch(256);
    kinedgram::TextFields fields;
    kinedgram::TextReading reading;
    std::size_t accepted = 0;
    for (auto _ : state) {
        for (const auto& datagram : all) {
            std::memcpy(scratch.data(), datagram.data(), datagram.size());
            accepted +=
                kinedgram::parseTextDatagram(scratch.data(), datagram.size(), fields, reading);
            benchmark::DoNotOptimize(reading);
        }
    }
    if (accepted != state.iterations() * all.size())
        state.SkipWithError("a datagram of the mix was rejected");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
}

void BoostPipeline(benchmark::State& state) {
    const auto all = datagrams();
    std::size_t accepted = 0;
    for (auto _ : state) {
        for (const auto& datagram : all) {
            // The same steps: terminator to NUL, text up to the NUL, split, convert.
            std::vector<std::uint8_t> bytes(datagram.begin(), datagram.end() - 1);
            bytes.push_back(0);
            const std::string text(reinterpret_cast<const char*>(bytes.data()));
            const bool location = text[0] == 'G' || text[0] == 'N';
            const auto values =
                kinedgram::reference::parseText(text, location ? 9 : 6, location ? 6 : 3);
            accepted += values.has_value();
            benchmark::DoNotOptimize(values);
        }
    }
    if (accepted != state.iterations() * all.size())
        state.SkipWithError("a datagram of the mix was rejected");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
}

BENCHMARK(Production);
BENCHMARK(BoostPipeline);

} // namespace

BENCHMARK_MAIN();
