#include "conduit/interfaces/factories.h"
#include "conduit/kit/release.h"
#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/testing/allocation_faults.h"
#include "lensprobe/tests/result_slots.h"

#include <cstddef>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>

// Every allocation of a factory or an extension entry, failed in turn, on the loaded
// plug-ins: nothing is thrown into the host, a factory answers false and null, the
// camera listing still answers, and nothing stays allocated (the sanitizer build
// checks for leaks at exit).

namespace {

namespace faults = korvex::host::testing::faults;
namespace interfaces = conduit::interfaces;
using korvex::host::Channel;
using korvex::host::PluginLibrary;

// Calls the factory export; true when it made an object, which goes at once.
template <class Object, class Factory, class... Arguments>
bool callFactory(const PluginLibrary& library, const char* name, Arguments&... arguments) {
    const auto create = reinterpret_cast<Factory>(library.requireSymbol(name));
    Object* object = nullptr;
    const bool made = create(arguments..., object);
    EXPECT_EQ(made, object != nullptr) << name << " answered " << made;
    conduit::kit::release(object);
    return made;
}

struct FactoryCase {
    std::string plugin;
    std::function<bool(const PluginLibrary&, Channel&)> make;
};

std::ostream& operator<<(std::ostream& out, const FactoryCase& c) { return out << c.plugin; }

bool makeDevice(const PluginLibrary& library, Channel& channel) {
    return callFactory<interfaces::device::IControl, interfaces::CreateDeviceFn>(
        library, "createDevice", channel);
}
bool makeFilter(const PluginLibrary& library, Channel& channel) {
    return callFactory<interfaces::filter::IControl, interfaces::CreateFilterFn>(
        library, "createFilter", channel);
}
bool makeConverter(const PluginLibrary& library, Channel&) {
    return callFactory<interfaces::converter::IConverter, interfaces::CreateConverterFn>(
        library, "createConverter");
}

class FactoryAllocation : public testing::TestWithParam<FactoryCase> {};

TEST_P(FactoryAllocation, AFailedAllocationIsAFalseAnswer) {
    const PluginLibrary library(korvex::host::pluginPath(GetParam().plugin));
    Channel channel;
    bool made = false;
    const std::size_t runs = faults::failEachAllocation(
        [&] { EXPECT_NO_THROW(made = GetParam().make(library, channel)); },
        [&](std::size_t n, bool failed) {
            if (failed) {
                EXPECT_FALSE(made) << "an object although allocation " << n << " failed";
            } else {
                EXPECT_TRUE(made) << "nothing failed, yet no object";
            }
        });
    // Making the object allocates, so at least one failure was injected.
    EXPECT_GT(runs, 1u);
    // A factory answers with its result only.
    EXPECT_TRUE(channel.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    LoadedPlugins, FactoryAllocation,
    testing::Values(FactoryCase{"kinedgram", makeDevice}, FactoryCase{"kinescope", makeDevice},
                    FactoryCase{"framegrab", makeDevice}, FactoryCase{"pixsieve", makeFilter},
                    FactoryCase{"kineconvert", makeConverter}),
    [](const testing::TestParamInfo<FactoryCase>& param) { return param.param.plugin; });

// The camera listing answers whatever allocation fails: a scan that runs out of
// memory answers as one that found no camera. (A slot stays empty only when the
// host itself could not make its value: the host array calls allocate too.)
TEST(ExtensionAllocation, TheCameraListingAlwaysAnswers) {
    const PluginLibrary library(korvex::host::pluginPath("lensprobe"));
    const tevFunctionPtr entry = library.extensionEntry();
    // The first call initialises GStreamer for the process; its allocations are not
    // the extension's.
    lensprobe::testing::ResultSlots warm;
    entry(3, warm.slots, 0, nullptr);
    std::optional<lensprobe::testing::ResultSlots> results;
    const std::size_t runs = faults::failEachAllocation(
        [&] {
            results.emplace(); // releases the previous run's answer
            EXPECT_NO_THROW(entry(3, results->slots, 0, nullptr));
        },
        [&](std::size_t n, bool failed) {
            const tvArray* first = results->slots[0];
            if (first != nullptr) {
                EXPECT_TRUE(lensprobe::testing::logicalScalar(first)) << "allocation " << n;
            }
            for (const tvArray* slot : results->slots) {
                if (!failed) {
                    EXPECT_NE(nullptr, slot) << "nothing failed, yet a slot is empty";
                }
            }
        });
    // Answering allocates (two cell arrays at least).
    EXPECT_GT(runs, 1u);
}

} // namespace
