// The terminal backend's Control-C handling, in a child process so that the
// second Control-C may end it.
#include "platform/term/Terminal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Events.h"

namespace {

bool CommandPeriodShown() {
    KeyMap keys;
    GetKeys(keys);
    auto down = [&keys](int key) { return ((keys[key / 32] >> (key % 32)) & 1u) != 0; };
    return down(kVirtualCommandKey) && down(kVirtualPeriodKey);
}

TEST(Terminal, FirstControlCIsCommandPeriodSecondEndsWith130) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ClearCommandPeriod();
        TermInstallInterruptHandler();
        if (CommandPeriodShown() || TermInterrupted()) _exit(10);
        raise(SIGINT);
        if (!CommandPeriodShown() || !TermInterrupted()) _exit(11);
        raise(SIGINT);
        _exit(12);  // not reached: the second Control-C ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal instead";
    EXPECT_EQ(WEXITSTATUS(status), 130);
}

}  // namespace
