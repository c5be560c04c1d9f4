#include "conduit/kit/boundary.h"
#include "conduit/kit/scalar_property.h"
#include "host/channel.h"
#include "host/contract/failures.h"

#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace kit = conduit::kit;
using conduit::kit::Failure;

// Nothing an entry point throws leaves through the ladder, whatever its body and its
// report may throw.
using Report = void (*)(const Failure&);
static_assert(noexcept(kit::guarded(std::declval<void (*)()>(), std::declval<Report>())));
static_assert(noexcept(kit::guarded(0, std::declval<int (*)()>(), std::declval<Report>())));
static_assert(noexcept(kit::orNull(std::declval<int* (*)()>())));

using korvex::host::contract::everyKindOfFailure;
using korvex::host::contract::OddFailure;
using korvex::host::contract::ThrownFailure;

// What a report heard: the kind, and the exception's text when there was one.
struct Heard {
    Failure::Kind kind;
    std::optional<std::string> what;
};

std::optional<std::string> textOf(const char* what) {
    return what != nullptr ? std::optional<std::string>(what) : std::nullopt;
}

// The messages a device entry point whose body throws failure posts with message.
std::vector<korvex::host::Message> postedFor(const kit::device::FailureMessage& message,
                                             const ThrownFailure& failure) {
    korvex::host::Channel channel;
    kit::device::guarded(channel, message, failure.raise);
    return channel.messages();
}

TEST(Boundary, TheAnswerPassesWhenNothingIsThrown) {
    int reports = 0;
    const auto report = [&](const Failure&) { ++reports; };
    EXPECT_EQ(42, kit::guarded(
                      -1, [] { return 42; }, report));
    bool ran = false;
    kit::guarded([&] { ran = true; }, report);
    EXPECT_TRUE(ran);
    EXPECT_EQ(0, reports);
}

TEST(Boundary, EveryKindIsToldOnceAndTheFallbackAnswers) {
    for (const ThrownFailure& thrown : everyKindOfFailure()) {
        SCOPED_TRACE(thrown.label);
        std::vector<Heard> heard;
        const auto report = [&](const Failure& failure) {
            heard.push_back({failure.kind, textOf(failure.what)});
        };
        EXPECT_EQ(-1, kit::guarded(
                          -1,
                          [&] {
                              thrown.raise();
                              return 1;
                          },
                          report));
        kit::guarded(thrown.raise, report);
        ASSERT_EQ(2u, heard.size());
        for (const Heard& one : heard) {
            EXPECT_EQ(thrown.kind, one.kind);
            EXPECT_EQ(textOf(thrown.what), one.what);
        }
    }
}

// A report that throws in turn would otherwise end the process (the ladder is
// noexcept); it is stopped, and the fallback still answers.
TEST(Boundary, AReportThatThrowsIsStoppedToo) {
    const auto failingReport = [](const Failure&) { throw std::runtime_error("no memory to say"); };
    EXPECT_EQ(-1, kit::guarded(
                      -1, []() -> int { throw std::runtime_error("first"); }, failingReport));
    kit::guarded([] { throw OddFailure(); }, failingReport);
}

TEST(Boundary, OrNullGivesTheObjectOrNull) {
    int value = 3;
    EXPECT_EQ(&value, kit::orNull([&] { return &value; }));
    for (const ThrownFailure& thrown : everyKindOfFailure()) {
        SCOPED_TRACE(thrown.label);
        EXPECT_EQ(nullptr, kit::orNull([&]() -> int* {
                      thrown.raise();
                      return &value;
                  }));
    }
}

// A factory's out-parameter always ends as the answer says, whatever it held before.
TEST(Boundary, MakeObjectAnswersWhetherThereIsAnObject) {
    using Property = conduit::interfaces::IPropertyInfo;
    Property* made = nullptr;
    ASSERT_TRUE(kit::makeObject(
        made, [] { return new kit::device::TScalarProperty<double>("Made", 1.0); }));
    ASSERT_NE(nullptr, made);
    EXPECT_STREQ("Made", made->getName());
    Property* const previous = made;
    for (const ThrownFailure& thrown : everyKindOfFailure()) {
        SCOPED_TRACE(thrown.label);
        Property* object = previous;
        EXPECT_FALSE(kit::makeObject(object, [&]() -> Property* {
            thrown.raise();
            return nullptr;
        }));
        EXPECT_EQ(nullptr, object);
    }
    kit::release(made);
}

TEST(DeviceBoundary, AFailurePostsTheDevicesRuntimeError) {
    for (const ThrownFailure& thrown : everyKindOfFailure()) {
        SCOPED_TRACE(thrown.label);
        const auto messages = postedFor({"KORVEX:kxtest:runtimeError"}, thrown);
        ASSERT_EQ(1u, messages.size());
        EXPECT_EQ("error", messages[0].type);
        EXPECT_EQ("KORVEX:kxtest:runtimeError", messages[0].id);
        const char* expected = thrown.what != nullptr ? thrown.what
                               : thrown.kind == Failure::OUT_OF_MEMORY
                                   ? "Out of memory."
                                   : "An unexpected error occurred.";
        EXPECT_EQ(expected, messages[0].text);
    }
}

TEST(DeviceBoundary, AComponentsOwnTextsReplaceTheDefaults) {
    const kit::device::FailureMessage message{"KORVEX:kxtest:runtimeError", "exception text",
                                              "memory text", "unknown text"};
    for (const ThrownFailure& thrown : everyKindOfFailure()) {
        SCOPED_TRACE(thrown.label);
        const auto messages = postedFor(message, thrown);
        ASSERT_EQ(1u, messages.size());
        const char* expected = thrown.kind == Failure::OUT_OF_MEMORY ? "memory text"
                               : thrown.kind == Failure::EXCEPTION   ? "exception text"
                                                                     : "unknown text";
        EXPECT_EQ(expected, messages[0].text);
    }
}

TEST(DeviceBoundary, NothingIsPostedWhenTheBodyReturns) {
    korvex::host::Channel channel;
    bool ran = false;
    kit::device::guarded(channel, {"KORVEX:kxtest:runtimeError"}, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(channel.messages().empty());
}

// An exception whose what() is null cannot become a text: the unknown text stands in.
TEST(DeviceBoundary, AnExceptionWithoutTextPostsTheUnknownText) {
    struct Silent : std::exception {
        const char* what() const noexcept override { return nullptr; }
    };
    korvex::host::Channel channel;
    kit::device::guarded(channel, {"KORVEX:kxtest:runtimeError"}, [] { throw Silent(); });
    const auto messages = channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("An unexpected error occurred.", messages[0].text);
}

} // namespace
