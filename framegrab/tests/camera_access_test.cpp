#include "framegrab/camera_access.h"

#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using framegrab::AccessQuestion;
using framegrab::CameraAccess;
using framegrab::CameraAuthorization;
using framegrab::decideCameraAccess;
using framegrab::HostBundle;

using namespace std::chrono_literals;

// Long enough never to run out on a busy machine when the answer does come.
constexpr std::chrono::milliseconds ANSWER_COMES{30s};
// Short, for questions that are never answered while asked.
constexpr std::chrono::milliseconds NO_ANSWER{20ms};
// Beyond the test's own timeout: only the event under test can end such a wait.
constexpr std::chrono::milliseconds BEYOND_THE_TEST{1h};

const HostBundle BARE_PROGRAM{false, false};
const HostBundle APP_WITH_EXPLANATION{true, true};
const HostBundle APP_WITHOUT_EXPLANATION{true, false};

TEST(DecideCameraAccess, FollowsTheSystemAndTheHostsExplanation) {
    struct Case {
        CameraAuthorization status;
        HostBundle host;
        bool pending;
        CameraAccess expected;
    };
    const Case cases[] = {
        // Granted earlier (to this program or to the one that started it): no
        // explanation is needed any more.
        {CameraAuthorization::Authorized, APP_WITHOUT_EXPLANATION, false, CameraAccess::Granted},
        {CameraAuthorization::Authorized, BARE_PROGRAM, false, CameraAccess::Granted},
        // Refused by the user or by policy: never asked again, never touched.
        {CameraAuthorization::Denied, APP_WITH_EXPLANATION, false, CameraAccess::Refused},
        {CameraAuthorization::Restricted, APP_WITH_EXPLANATION, false, CameraAccess::Refused},
        // Not asked yet: an application asks only with its explanation, or the
        // system would end it; a bare program is asked about through its terminal.
        {CameraAuthorization::NotDetermined, APP_WITH_EXPLANATION, false, CameraAccess::Ask},
        {CameraAuthorization::NotDetermined, BARE_PROGRAM, false, CameraAccess::Ask},
        {CameraAuthorization::NotDetermined, APP_WITHOUT_EXPLANATION, false, CameraAccess::Refused},
        // The dialog of an earlier open is still up: no second wait.
        {CameraAuthorization::NotDetermined, APP_WITH_EXPLANATION, true, CameraAccess::Refused},
        // A status this code does not know grants nothing.
        {static_cast<CameraAuthorization>(4), APP_WITH_EXPLANATION, false, CameraAccess::Refused},
        {static_cast<CameraAuthorization>(-1), BARE_PROGRAM, false, CameraAccess::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "status " << static_cast<long>(c.status) << ", named " << c.host.named
                     << ", explained " << c.host.declaresCameraUse << ", pending " << c.pending);
        EXPECT_EQ(c.expected, decideCameraAccess(c.status, c.host, c.pending));
    }
}

TEST(AccessQuestion, AnswerGivenWhileAskingDecides) {
    for (const bool granted : {true, false}) {
        AccessQuestion question;
        const bool result = question.ask(
            [granted](const AccessQuestion::Answer& answer) { answer(granted); }, ANSWER_COMES);
        EXPECT_EQ(granted, result);
        EXPECT_FALSE(question.pending());
    }
}

TEST(AccessQuestion, AnswerFromAnotherThreadDecides) {
    AccessQuestion question;
    std::thread system;
    // The answer comes from another thread after ask has started to wait.
    const bool granted = question.ask(
        [&system](AccessQuestion::Answer answer) {
            system = std::thread([answer] { answer(true); });
        },
        ANSWER_COMES);
    system.join();
    EXPECT_TRUE(granted);
    EXPECT_FALSE(question.pending());
}

TEST(AccessQuestion, UnansweredQuestionStaysPendingUntilItsLateAnswer) {
    AccessQuestion question;
    AccessQuestion::Answer kept;
    int asked = 0;
    const auto asker = [&](AccessQuestion::Answer answer) {
        ++asked;
        kept = std::move(answer);
    };
    EXPECT_FALSE(question.ask(asker, NO_ANSWER));
    // The dialog is still up: the next open must not ask and wait again.
    EXPECT_TRUE(question.pending());
    EXPECT_EQ(CameraAccess::Refused, decideCameraAccess(CameraAuthorization::NotDetermined,
                                                        APP_WITH_EXPLANATION, question.pending()));

    // The user answers late, from the system's thread; the question is closed.
    std::thread system([&kept] { kept(true); });
    system.join();
    EXPECT_FALSE(question.pending());
    EXPECT_EQ(1, asked);
}

TEST(AccessQuestion, LateAnswerOutlivesTheQuestion) {
    AccessQuestion::Answer kept;
    {
        AccessQuestion question;
        EXPECT_FALSE(
            question.ask([&kept](AccessQuestion::Answer answer) { kept = answer; }, NO_ANSWER));
    }
    // The system may answer after the controller is gone: nothing it touches is.
    kept(true);
    kept(false); // a second answer changes nothing
}

TEST(AccessQuestion, AnswerDroppedUnusedGrantsNothing) {
    AccessQuestion question;
    // The system lets go of the handler without calling it: that ends the wait.
    EXPECT_FALSE(question.ask([](const AccessQuestion::Answer&) {}, BEYOND_THE_TEST));
    EXPECT_FALSE(question.pending());
}

TEST(AccessQuestion, AskerThatThrowsLeavesNoQuestionPending) {
    AccessQuestion question;
    EXPECT_THROW(question.ask([](const AccessQuestion::Answer&) { throw std::runtime_error("no"); },
                              ANSWER_COMES),
                 std::runtime_error);
    EXPECT_FALSE(question.pending());
}

TEST(AccessQuestion, OnlyTheFirstAnswerCounts) {
    AccessQuestion question;
    const bool granted = question.ask(
        [](const AccessQuestion::Answer& answer) {
            answer(false);
            answer(true);
        },
        ANSWER_COMES);
    EXPECT_FALSE(granted);
}

} // namespace
