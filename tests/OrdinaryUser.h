#pragma once
// Root may read and write anything, so what a refusal does can only be seen as an
// ordinary user: tests that need one run their check in a child process that has given
// up root (uid and gid 65534), or directly when they do not run as root.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvat::test {

constexpr uid_t kNobody = 65534;
constexpr int kCannotDropRoot = 2;

inline bool isRoot() {
    return geteuid() == 0;
}

// As root, hands a file or folder to the user a check runs as (see asOrdinaryUser).
inline void giveToChecker(const std::filesystem::path &p) {
    if (isRoot()) {
        ASSERT_EQ(::chown(p.c_str(), kNobody, kNobody), 0) << p;
    }
}

// Root may write anything, so a refusal can only be seen by an ordinary user: as root,
// the check runs in a child process that has given up root; otherwise directly.
inline void asOrdinaryUser(const std::function<void()> &check) {
    if (!isRoot())
        return check();
    std::fflush(nullptr); // or buffered output would be printed twice
    const pid_t child = fork();
    ASSERT_GE(child, 0) << "fork failed";
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(kCannotDropRoot);
        check();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status))
        << "the check run as uid " << kNobody << " was ended by signal " << WTERMSIG(status);
    const int exitCode = WEXITSTATUS(status);
    ASSERT_NE(exitCode, kCannotDropRoot) << "could not switch to uid " << kNobody;
    EXPECT_EQ(exitCode, 0) << "the check run as uid " << kNobody
                           << " failed; its messages are printed above";
}

} // namespace korvat::test
