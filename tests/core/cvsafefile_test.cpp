// Replacing a configuration file keeps who may read it.

#include "core/cvsafefile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/testmachine.h"

namespace {

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

mode_t ModeOf(const std::string& path) { return StatOf(path).st_mode & 07777; }

TEST(ReplaceFileContents, NewFilesAreReadableUnlessTheyHoldSecrets) {
    testsupport::TestMachine machine;
    const std::string sensors = machine.file("sensors.cfg");
    const std::string params = machine.file("params.cfg");
    const mode_t umaskWas = ::umask(0077);  // the mode is the file's own, whatever the umask
    ASSERT_TRUE(ReplaceFileContents(sensors, "a"));
    ASSERT_TRUE(ReplaceFileContents(params, "b", TNewFileAccess::OwnerOnly));
    ::umask(umaskWas);
    EXPECT_EQ(ModeOf(sensors), 0644u);
    EXPECT_EQ(ModeOf(params), 0600u);
    EXPECT_EQ(testsupport::readFile(sensors), "a");

    // Root writing a new file into a user's folder leaves it to that user.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(machine.programDir().c_str(), 4321, 4322), 0);
        const std::string events = machine.file("events.cfg");
        ASSERT_TRUE(ReplaceFileContents(events, "c"));
        EXPECT_EQ(StatOf(events).st_uid, 4321u);
        EXPECT_EQ(StatOf(events).st_gid, 4322u);
    }
}

TEST(ReplaceFileContents, ReplacedFileKeepsItsModeAndOwner) {
    testsupport::TestMachine machine;
    struct Case {
        mode_t mode;
        TNewFileAccess access;
    };
    for (const Case c : {Case{0644, TNewFileAccess::OwnerOnly}, Case{0600, TNewFileAccess::Readable},
                         Case{0640, TNewFileAccess::Readable}}) {
        const std::string path = machine.file("kept.cfg");
        testsupport::writeFile(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        // As root, a file of another user stays that user's.
        const bool root = ::geteuid() == 0;
        if (root) {
            ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
        }
        ASSERT_TRUE(ReplaceFileContents(path, "new", c.access));
        EXPECT_EQ(testsupport::readFile(path), "new");
        EXPECT_EQ(ModeOf(path), c.mode);
        if (root) {
            EXPECT_EQ(StatOf(path).st_uid, 4321u);
            EXPECT_EQ(StatOf(path).st_gid, 4322u);
        }
    }
}

}  // namespace
