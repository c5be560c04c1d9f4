// Every allocation of a conversion, failed in turn: the loaded plug-in must answer
// null, throw nothing, and leave nothing allocated (the sanitizer build checks for
// leaks at exit). When no allocation failed, the conversion must succeed.

#include "conduit/kit/scalar_property.h"
#include "conduit/kit/ustring.h"
#include "conduit/kit/vector_property.h"
#include "converter_fixture.h"
#include "host/testing/allocation_faults.h"
#include "mobilesensor/sample_buffers.h"
#include "mobilesensor/string_vector_property.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace kit = conduit::kit::device;
namespace faults = korvex::host::testing::faults;
using namespace kineconvert::testing;
using namespace mobilesensor;
using BufferPtr = std::unique_ptr<conduit::interfaces::IDataBuffer, conduit::kit::Releaser>;

// One conversion: runs it, releases what it made, and tells whether it made one.
struct Conversion {
    const char* name;
    std::function<bool()> run;
};

class AllocationFailure : public ConverterTest {
protected:
    // Fails the first, second, ... allocation of the conversion until one run
    // completes without meeting the failure.
    void failEachAllocationOf(const Conversion& conversion) {
        SCOPED_TRACE(conversion.name);
        bool made = false;
        const auto run = [&] { EXPECT_NO_THROW(made = conversion.run()); };
        const auto check = [&](std::size_t n, bool failed) {
            if (failed) {
                EXPECT_FALSE(made) << "a result although allocation " << n << " failed";
            } else {
                EXPECT_TRUE(made) << "nothing failed, yet no result";
            }
        };
        // The conversion allocates, so at least one failure was injected.
        EXPECT_GT(faults::failEachAllocation(run, check), 1u);
    }

    bool buffer(conduit::interfaces::IDataBuffer* made) {
        Array structure(converter->convertDataBuffer(made));
        return structure != nullptr;
    }
    bool shown(conduit::interfaces::IPropertyInfo* property) {
        Array value(converter->convertProperty(property));
        return value != nullptr;
    }
    bool assigned(const tvArray* value) {
        PropertyPtr property(converter->convertToProperty("Value", value));
        return property != nullptr;
    }
};

TEST_F(AllocationFailure, SampleStructuresLeaveNothingBehind) {
    BufferPtr horizontal(
        new HorizontalLocationDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP, {1, 2, 3, 4, 5}));
    BufferPtr gyroscope(new GyroscopeDataBuffer(MobileSensorDataBuffer::KINEDGRAM_APP, 1, 2, 3));
    BufferPtr location(new LocationDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP, {}));
    for (const Conversion& c : std::vector<Conversion>{
             {"horizontal location", [&] { return buffer(horizontal.get()); }},
             {"gyroscope", [&] { return buffer(gyroscope.get()); }},
             {"location", [&] { return buffer(location.get()); }},
         })
        failEachAllocationOf(c);
}

TEST_F(AllocationFailure, PropertyValuesLeaveNothingBehind) {
    const std::string addresses[] = {"10.0.0.5", "192.168.1.10", "a longer text that needs memory"};
    PropertyPtr list(new StringVectorProperty("AvailableInterfaces", addresses, 3));
    PropertyPtr emptyList(new StringVectorProperty("AvailableInterfaces", nullptr, 0));
    PropertyPtr port(new kit::TScalarProperty<double>("PortNumber", 50000));
    const std::int16_t samples[] = {1, -2, 3};
    PropertyPtr vector(new kit::TVectorProperty<std::int16_t>("Samples", samples, 3));
    const bool flags[] = {true, false};
    PropertyPtr logical(new kit::TVectorProperty<bool>("Flags", flags, 2));
    PropertyPtr text(new kit::TScalarProperty<std::string>("IPAddress", "10.0.0.5"));
    PropertyPtr wide(new kit::TScalarProperty<conduit::kit::ustring>(
        "Name", conduit::kit::ustring(3, conduit::kit::uchar('w'))));
    for (const Conversion& c : std::vector<Conversion>{
             {"string list", [&] { return shown(list.get()); }},
             {"empty string list", [&] { return shown(emptyList.get()); }},
             {"double scalar", [&] { return shown(port.get()); }},
             {"int16 vector", [&] { return shown(vector.get()); }},
             {"bool vector", [&] { return shown(logical.get()); }},
             {"narrow text", [&] { return shown(text.get()); }},
             {"UTF-16 text", [&] { return shown(wide.get()); }},
         })
        failEachAllocationOf(c);
}

TEST_F(AllocationFailure, PropertiesFromHostValuesLeaveNothingBehind) {
    Array five(tvCreateDoubleScalar(5.0));
    Array matrix = hostArray<std::int16_t>(tvINT16_CLASS, {2, 2}, {1, 3, 2, 4});
    Array logical = hostLogical(1, 3, {1, 0, 1});
    Array text(tvCreateString("Gr\xC3\xBC\xC3\x9F\x65, a text longer than a short string"));
    for (const Conversion& c : std::vector<Conversion>{
             {"double scalar", [&] { return assigned(five.get()); }},
             {"int16 matrix", [&] { return assigned(matrix.get()); }},
             {"logical row", [&] { return assigned(logical.get()); }},
             {"char row", [&] { return assigned(text.get()); }},
         })
        failEachAllocationOf(c);
}

} // namespace
