// The platform's shared memory, power status and command channel: the
// simulated session, the board's power section and the native backends.

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "platform/linux/commandsocket.h"
#include "platform/linux/nativepower.h"
#include "platform/linux/posixsharedmemory.h"
#include "platform/sim/machine.h"
#include "platform/windowcommand.h"
#include "support/testmachine.h"

namespace {

using platform::WindowCommand;

TEST(WindowCommandLine, OnlyTwoDecimalNumbersMakeACommand) {
    struct Case {
        const char* Line;
        std::optional<WindowCommand> Command;
    };
    const Case cases[] = {
        {"1 2", WindowCommand{1, 2}},       {"  2\t-7\r", WindowCommand{2, -7}}, {"1", std::nullopt},
        {"1 2 3", std::nullopt},            {"1x 2", std::nullopt},              {"", std::nullopt},
        {"99999999999999999999 1", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::parseWindowCommand(c.Line), c.Command) << c.Line;
    EXPECT_FALSE(platform::parseWindowCommand("1 " + std::string(70, '0') + "2"));
}

TEST(BoardPower, StatusAndScriptedChangesOnVirtualTime) {
    platform::sim::Machine machine;
    machine.loadFromJson(R"({"power": {"acLine": 1, "batteryFlag": 8, "batteryPercent": 55,
        "changes": [{"atMs": 60000, "acLine": 0, "batteryFlag": 0, "batteryPercent": 54},
                    {"atMs": 90000, "fails": true}]}})",
                         "power.json");
    auto status = machine.powerStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->batteryFlag, 8);
    machine.simClock().advance(60000);
    EXPECT_EQ(machine.powerStatus()->acLineStatus, 0);
    machine.simClock().advance(30000);
    EXPECT_FALSE(machine.powerStatus());
}

TEST(NativePower, SuppliesMapToTheStatusFields) {
    testsupport::TempDir root;
    const auto supply = [&](const std::string& name, std::map<std::string, std::string> files) {
        std::filesystem::create_directories(root.file("class/power_supply/" + name));
        for (const auto& [file, text] : files) testsupport::writeFile(root.file("class/power_supply/" + name + "/" + file), text + "\n");
    };
    EXPECT_FALSE(platform::native::readPowerSupplies(root.file("")));
    std::filesystem::create_directories(root.file("class/power_supply"));
    auto status = platform::native::readPowerSupplies(root.file(""));
    ASSERT_TRUE(status);
    EXPECT_EQ(status->acLineStatus, 1);
    EXPECT_EQ(status->batteryFlag, 128) << "no battery";
    supply("AC", {{"type", "Mains"}, {"online", "0"}});
    supply("BAT0", {{"type", "Battery"}, {"status", "Charging"}, {"capacity", "20"}});
    status = platform::native::readPowerSupplies(root.file(""));
    EXPECT_EQ(status->acLineStatus, 0);
    EXPECT_EQ(status->batteryFlag, 2 | 8);
    EXPECT_EQ(status->batteryLifePercent, 20);
}

TEST(NativeSharedMemory, ASecondOpenAttachesAndASmallBlockIsRefused) {
    const std::string name = "CaldavorTest_" + std::to_string(::getpid());
    {
        auto first = platform::native::openPosixSharedMemory("/dev/shm", name, 402);
        ASSERT_TRUE(first.block) << first.reason;
        EXPECT_FALSE(first.block->existed());
        first.block->bytes()[401] = 0x5A;
        auto second = platform::native::openPosixSharedMemory("/dev/shm", name, 402);
        ASSERT_TRUE(second.block);
        EXPECT_TRUE(second.block->existed());
        EXPECT_EQ(second.block->bytes()[401], 0x5A);
        auto larger = platform::native::openPosixSharedMemory("/dev/shm", name, 4096);
        EXPECT_EQ(larger.failure, platform::SharedMemoryOpenResult::Failure::View);
    }
    EXPECT_EQ(::shm_unlink(("/" + name).c_str()), 0);
}

// What another user's process gets when it opens the block: the reason of its refusal.
std::string reasonForAnotherUser(const std::string& dir, const std::string& name) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::getuid() == 0 && ::setuid(65534) != 0) ::_exit(1);
        const auto opened = platform::native::openPosixSharedMemory(dir, name, 402);
        const std::string reason = opened.block ? "opened" : opened.reason;
        ::_exit(::write(pipeFds[1], reason.data(), reason.size()) == static_cast<ssize_t>(reason.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string reason;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) reason.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    return reason;
}

TEST(NativeSharedMemory, ABlockOfAnotherUserIsRefusedWithTheSystemsReason) {
    testsupport::TempDir dir;
    ::chmod(dir.file("").c_str(), 0755);
    auto mine = platform::native::openPosixSharedMemory(dir.file(""), "Block", 402);
    ASSERT_TRUE(mine.block) << mine.reason;
    // Run as root, the block is root's and the reader is nobody; run as a
    // user, a block that may not be written stands for another user's.
    if (::getuid() != 0) ::chmod(dir.file("Block").c_str(), 0444);
    EXPECT_EQ(reasonForAnotherUser(dir.file(""), "Block"), dir.file("") + "/Block: Permission denied");
}

TEST(NativeCommandSocket, SocketsOfEndedRunsAreRemovedAtTheNextStart) {
    testsupport::TempDir dir;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const auto bindSocket = [&](const std::string& name) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, dir.file(name).c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    };
    const std::string stale = platform::native::commandSocketName(static_cast<std::uint32_t>(ended));
    const std::string running = platform::native::commandSocketName(static_cast<std::uint32_t>(::getppid()));
    bindSocket(stale);
    bindSocket(running);
    testsupport::writeFile(dir.file("caldavor-1.sock.txt"), "not a socket of ours");
    std::string reason;
    auto channel = platform::native::openCommandSocket(dir.file(""), 77, reason);
    ASSERT_TRUE(channel) << reason;
    EXPECT_FALSE(std::filesystem::exists(dir.file(stale)));
    EXPECT_TRUE(std::filesystem::exists(dir.file(running)));
    EXPECT_TRUE(std::filesystem::exists(dir.file("caldavor-1.sock.txt")));
}

TEST(NativeCommandSocket, ASecondProcessSendsLinesAndGarbageIsIgnored) {
    testsupport::TempDir dir;
    std::string reason;
    auto channel = platform::native::openCommandSocket(dir.file(""), 77, reason);
    ASSERT_TRUE(channel) << reason;
    const std::string path = dir.file(platform::native::commandSocketName(77));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) ::_exit(1);
        const std::string text = "1 2\ngarbage\n" + std::string(500, '7') + "\n2 0\n";
        ::_exit(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(channel->takeCommands(), (std::vector<WindowCommand>{{1, 2}, {2, 0}}));
    EXPECT_TRUE(channel->takeCommands().empty());
}

}  // namespace
