// Both backends' named mutexes behave alike: each object is one holder, so
// tests on the simulated machine see what the real machine would do.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/linux/lockfilemutex.h"
#include "platform/sim/machine.h"
#include "support/testmachine.h"

namespace {


class NamedMutexTest : public ::testing::TestWithParam<const char*> {
protected:
    std::unique_ptr<platform::NamedMutex> open(const std::string& name) {
        if (std::string(GetParam()) == "sim") return machine.createMutex(name);
        return platform::native::LockFileMutex::open(dir.path().string(), name);
    }
    testsupport::TempDir dir;
    platform::sim::Machine machine;
};

}  // namespace

TEST_P(NamedMutexTest, ASecondHolderIsKeptOutUntilTheFirstLetsGo) {
    auto first = open("Global\\Caldavor");
    auto second = open("Global\\Caldavor");
    auto unrelated = open("Global\\Other");
    ASSERT_TRUE(first && second && unrelated);

    first->lock();
    first->lock();  // holding already: no deadlock
    EXPECT_FALSE(second->tryLock());
    EXPECT_TRUE(unrelated->tryLock());
    first->unlock();  // one unlock frees it
    EXPECT_TRUE(second->tryLock());
    EXPECT_FALSE(first->tryLock());
    second.reset();  // a holder that goes away lets go
    EXPECT_TRUE(first->tryLock());
    first->unlock();
}

INSTANTIATE_TEST_SUITE_P(Backends, NamedMutexTest, ::testing::Values("sim", "native"));

TEST(LockFileMutex, LivesInAFileNamedAfterTheMutex) {
    testsupport::TempDir dir;
    ASSERT_TRUE(platform::native::LockFileMutex::open(dir.path().string(), "Global\\Caldavor"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("Global%5CCaldavor.lock")));
}

TEST(LockFileMutex, OnlyItsOwnerCanOpenTheLockFile) {
    testsupport::TempDir dir;
    const std::string path = dir.file("Global%5CAccess_SMBUS.HTP.Method.lock");
    // A file from an older run, open to everyone, is closed to them now.
    testsupport::writeFile(path, "");
    ::chmod(path.c_str(), 0644);
    ASSERT_TRUE(platform::native::LockFileMutex::open(dir.path().string(), "Global\\Access_SMBUS.HTP.Method"));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(platform::native::LockFileMutex::open(dir.path().string(), "Global\\Fresh"));
    EXPECT_EQ(std::filesystem::status(dir.file("Global%5CFresh.lock")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // Another user's file in a shared folder could be held against us.
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(platform::native::LockFileMutex::open(dir.path().string(), "Global\\Access_SMBUS.HTP.Method"));
}
