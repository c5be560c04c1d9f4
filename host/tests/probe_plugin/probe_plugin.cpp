// A small device plug-in that the host tests load like any other plug-in. It
// reads options made by the host with the kit, publishes kit properties the host
// must recognise, posts messages and writes a buffer, so the tests can check that
// kit objects keep their run-time type across the library boundary both ways. Its
// operations run through the kit's catch ladder, as every plug-in's do.

#include "conduit/exports.h"
#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "conduit/kit/kit.h"

#include <cstdint>
#include <string>

namespace {

namespace kit = conduit::kit::device;
using conduit::interfaces::device::PropertyList;

const kit::FailureMessage RUNTIME_ERROR{"KORVEX:kxprobe:runtimeError"};

class ProbeBuffer final : public conduit::interfaces::IDataBuffer {
public:
    std::size_t getCount() const override { return 1; }
    void destroy() override { delete this; }
};

class ProbeDevice final : public conduit::interfaces::device::IControl,
                          public conduit::interfaces::device::IDataSource {
public:
    explicit ProbeDevice(conduit::interfaces::channel::IControl& hostChannel)
        : channel(hostChannel) {}

    void init(const PropertyList& options, PropertyList& published) override {
        kit::guarded(channel, RUNTIME_ERROR, [&] { initialise(options, published); });
    }
    conduit::interfaces::device::IDataSource* getDataSource() const override {
        return const_cast<ProbeDevice*>(this);
    }
    conduit::interfaces::device::IDataSink* getDataSink() const override { return nullptr; }
    void open(const PropertyList&) override {
        kit::guarded(channel, RUNTIME_ERROR, [this] { start(); });
    }
    void execute(const char*, const PropertyList&) override {}
    void close() override {}
    void term() override { delete this; }

    bool isSourceDone() const override { return false; }
    std::int32_t getSourcePolling() const override { return 0; }

private:
    void initialise(const PropertyList& options, PropertyList& published) {
        if (kit::getScalarOptionValue<bool>(options, "Fail", false)) {
            kit::postMessage<kit::ErrorInfo>(channel, "KORVEX:kxprobe:failed", "Told to fail.");
            return;
        }
        const double count = kit::getScalarOptionValue<double>(options, "Count", -1.0);
        const std::string label = kit::getScalarOptionValue<std::string>(options, "Label", "?");
        const conduit::kit::ustring wide =
            kit::getScalarOptionValue<conduit::kit::ustring>(options, "WideLabel", {});
        const std::int16_t samples[] = {1, -2, 3};
        published.push_back(new kit::TScalarProperty<double>("CountSeen", count));
        published.push_back(new kit::TScalarProperty<std::string>("LabelSeen", label));
        published.push_back(new kit::TScalarProperty<conduit::kit::ustring>("WideSeen", wide));
        published.push_back(new kit::TVectorProperty<std::int16_t>("Samples", samples, 3));
        initialised = true;
    }
    void start() {
        if (!initialised)
            return;
        kit::pushBuffer(channel, new ProbeBuffer());
        kit::postMessage<kit::WarningInfo>(channel, "KORVEX:kxprobe:opened", "Opened.");
        kit::postPropertyValue<kit::TScalarProperty<double>>(channel, "CountSeen", 7.0);
    }

    conduit::interfaces::channel::IControl& channel;
    bool initialised = false;
};

} // namespace

KX_DEFINE_VERSION_EXPORTS(kxprobe);

extern "C" KX_EXPORT bool createDevice(conduit::interfaces::channel::IControl& channel,
                                       conduit::interfaces::device::IControl*& device) {
    return conduit::kit::makeObject(device, [&] { return new ProbeDevice(channel); });
}
