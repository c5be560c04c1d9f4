#include "tools/common/child_process.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

using namespace std::chrono_literals;
using kxtools::ChildProcess;
using kxtools::runChild;

TEST(ChildProcess, CapturesOutputErrorAndExitCode) {
    const auto result = runChild({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"}, 10s);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(3, result.exitCode);
    EXPECT_EQ("out\n", result.out);
    EXPECT_EQ("err\n", result.err);
    EXPECT_FALSE(result.timedOut);
}

TEST(ChildProcess, DrainsMoreThanAPipeHolds) {
    // 1 MB on each stream: a child writing into undrained pipes would hang.
    const auto result = runChild(
        {"/bin/sh", "-c", "head -c 1000000 /dev/zero; head -c 1000000 /dev/zero >&2"}, 30s);
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(1000000u, result.out.size());
    EXPECT_EQ(1000000u, result.err.size());
}

TEST(ChildProcess, WaitsForOutputAndInterrupts) {
    ChildProcess child({"/bin/sh", "-c",
                        "trap 'echo stopped; exit 0' INT; echo ready; "
                        "while :; do sleep 0.05; done"});
    ASSERT_TRUE(child.waitForOutput("ready", 10s));
    child.interrupt();
    const auto result = child.wait(10s);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ("ready\nstopped\n", result.out);
}

TEST(ChildProcess, WaitsForErrorTextAndForWholeOutputLines) {
    ChildProcess child(
        {"/bin/sh", "-c", "echo one; printf 'two'; echo waiting >&2; sleep 30; echo end"});
    ASSERT_TRUE(child.waitForError("waiting", 10s));
    // "two" has no line end yet: one line so far, not two.
    EXPECT_TRUE(child.waitForOutputLines(1, 10s));
    EXPECT_FALSE(child.waitForOutputLines(2, 100ms));
    EXPECT_FALSE(child.waitForError("absent", 50ms));
    const auto result = child.wait(100ms); // still sleeping: the child is killed
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ("one\ntwo", result.out);
}

TEST(ChildProcess, WaitsEndWhenTheChildEndsWithoutTheText) {
    ChildProcess child({"/bin/sh", "-c", "echo done"});
    EXPECT_FALSE(child.waitForError("never", 10s));
    EXPECT_FALSE(child.waitForOutputLines(2, 10s));
    EXPECT_EQ(0, child.wait(10s).exitCode);
}

TEST(ChildProcess, KillsAChildThatOutlivesTheWait) {
    ChildProcess child({"/bin/sleep", "30"});
    EXPECT_FALSE(child.waitForOutput("never", 50ms));
    const auto result = child.wait(100ms);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.exited);
    EXPECT_EQ(SIGKILL, result.signal);
}

TEST(ChildProcess, MissingProgramIsAnError) {
    EXPECT_THROW(ChildProcess({"/nonexistent/program"}), std::runtime_error);
}

} // namespace
