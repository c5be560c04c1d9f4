// The host calls interface operations by their position in the virtual table, so
// the position of every operation is part of the contract. Under the Itanium C++
// ABI (g++ and clang, on Linux and with mingw-w64) a pointer to a virtual member
// function holds 1 + the byte offset of its slot; this test reads it back.

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/converter.h"
#include "conduit/interfaces/device.h"
#include "conduit/interfaces/filter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

namespace {

template <class MemberFunction> std::size_t slotOf(MemberFunction function) {
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(MemberFunction) == sizeof(Representation), "Itanium ABI layout");
    Representation raw;
    std::memcpy(&raw, &function, sizeof raw);
    EXPECT_EQ(1u, raw.pointer % 2) << "not a virtual function";
    return (raw.pointer - 1) / sizeof(void*);
}

using namespace conduit::interfaces;

TEST(SlotOrder, SharedObjectInterfaces) {
    EXPECT_EQ(0u, slotOf(&IPropertyInfo::getName));
    EXPECT_EQ(1u, slotOf(&IPropertyInfo::destroy));
    EXPECT_EQ(0u, slotOf(&IMessageInfo::getType));
    EXPECT_EQ(1u, slotOf(&IMessageInfo::getID));
    EXPECT_EQ(2u, slotOf(&IMessageInfo::getText));
    EXPECT_EQ(3u, slotOf(&IMessageInfo::destroy));
    EXPECT_EQ(0u, slotOf(&IDataBuffer::getCount));
    EXPECT_EQ(1u, slotOf(&IDataBuffer::destroy));
}

TEST(SlotOrder, DeviceInterfaces) {
    EXPECT_EQ(0u, slotOf(&device::IControl::init));
    EXPECT_EQ(1u, slotOf(&device::IControl::getDataSource));
    EXPECT_EQ(2u, slotOf(&device::IControl::getDataSink));
    EXPECT_EQ(3u, slotOf(&device::IControl::open));
    EXPECT_EQ(4u, slotOf(&device::IControl::execute));
    EXPECT_EQ(5u, slotOf(&device::IControl::close));
    EXPECT_EQ(6u, slotOf(&device::IControl::term));
    EXPECT_EQ(0u, slotOf(&device::IDataSource::isSourceDone));
    EXPECT_EQ(1u, slotOf(&device::IDataSource::getSourcePolling));
}

TEST(SlotOrder, FilterInterface) {
    EXPECT_EQ(0u, slotOf(&filter::IControl::init));
    EXPECT_EQ(1u, slotOf(&filter::IControl::open));
    EXPECT_EQ(2u, slotOf(&filter::IControl::filter));
    EXPECT_EQ(3u, slotOf(&filter::IControl::close));
    EXPECT_EQ(4u, slotOf(&filter::IControl::term));
}

TEST(SlotOrder, ConverterInterface) {
    using converter::IConverter;
    EXPECT_EQ(0u, slotOf(&IConverter::convertDataBuffer));
    EXPECT_EQ(1u, slotOf(&IConverter::query1));
    EXPECT_EQ(2u, slotOf(&IConverter::query2));
    EXPECT_EQ(3u, slotOf(&IConverter::query3));
    EXPECT_EQ(4u, slotOf(&IConverter::convertProperty));
    EXPECT_EQ(5u, slotOf(&IConverter::convertToProperty));
    EXPECT_EQ(6u, slotOf(&IConverter::query4));
    EXPECT_EQ(7u, slotOf(&IConverter::destroy));
}

TEST(SlotOrder, ChannelInterfaces) {
    EXPECT_EQ(0u, slotOf(&channel::IControl::postMessage));
    EXPECT_EQ(1u, slotOf(&channel::IControl::postPropertyValue));
    EXPECT_EQ(4u, slotOf(&channel::IControl::getInputStream));
    EXPECT_EQ(1u, slotOf(&channel::IInputStream::write));
}

// Calling the first two slots of a buffer by position reaches getCount and
// destroy: the destructor, declared last, comes after them.
struct Probe final : IDataBuffer {
    std::size_t getCount() const override { return 1; }
    void destroy() override { delete this; }
};

TEST(SlotOrder, CallsByPositionReachTheOperations) {
    // A plain function pointer passes `this` like a member call only on x86-64.
    if (sizeof(void*) != 8)
        GTEST_SKIP() << "calling convention differs on 32-bit Windows";
    IDataBuffer* buffer = new Probe();
    using GetCount = std::size_t (*)(IDataBuffer*);
    using Destroy = void (*)(IDataBuffer*);
    void** table = *reinterpret_cast<void***>(buffer);
    EXPECT_EQ(1u, reinterpret_cast<GetCount>(table[0])(buffer));
    reinterpret_cast<Destroy>(table[1])(buffer);
}

} // namespace
