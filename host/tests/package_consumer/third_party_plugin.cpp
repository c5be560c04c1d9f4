// A converter plug-in that uses only the installed headers: the interfaces, the
// kit and the host array API.
#include <conduit/exports.h>
#include <conduit/interfaces/converter.h>
#include <conduit/kit/kit.h>

namespace {

class EchoConverter final : public conduit::interfaces::converter::IConverter {
public:
    tvArray* convertDataBuffer(conduit::interfaces::IDataBuffer*) override { return nullptr; }
    std::int32_t query1() override { return 1; }
    std::int32_t query2() override { return 0; }
    std::int32_t query3() override { return 1; }
    tvArray* convertProperty(conduit::interfaces::IPropertyInfo* property) override {
        const auto* number =
            dynamic_cast<const conduit::kit::device::TScalarProperty<double>*>(property);
        return number != nullptr ? tvCreateDoubleScalar(number->value) : nullptr;
    }
    conduit::interfaces::IPropertyInfo* convertToProperty(const char*, const tvArray*) override {
        return nullptr;
    }
    std::intptr_t query4() override { return 0; }
    void destroy() override { delete this; }
};

} // namespace

KX_DEFINE_VERSION_EXPORTS(thirdparty);

extern "C" KX_EXPORT bool createConverter(conduit::interfaces::converter::IConverter*& converter) {
    return conduit::kit::makeObject(converter, [] { return new EchoConverter(); });
}
