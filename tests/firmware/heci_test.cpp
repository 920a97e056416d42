#include "firmware/heci.h"

#include <sys/stat.h>

#include <filesystem>

#include "firmware/intelqst.h"
#include "firmware/qstfixture.h"
#include "platform/linux/nativeplatform.h"

namespace {

class HeciTest : public QstTest {
protected:
    THeciWin Make() {
        return THeciWin(QSTClientGuid, [this](const std::string& msg) { lines.push_back(msg); });
    }
    std::vector<std::string> lines;
};

TEST_F(HeciTest, ConnectsAndReadsTheVersionAndMessageLength) {
    auto config = QstBoard(2);
    config.maxMessageLength = 300;
    Install(config);
    THeciWin heci = Make();
    EXPECT_TRUE(heci.IsPresent());
    ASSERT_TRUE(heci.Initialize());
    EXPECT_EQ(lines, std::vector<std::string>{"Found HECI version 6.0.0.1296"});
    EXPECT_EQ(heci.MaxMessageLength(), 300u);
    EXPECT_EQ(heci.Version().Major, 6);
    EXPECT_TRUE(heci.Initialize());  // already initialised: no second open
    EXPECT_EQ(sim->opens(), 1);
    heci.Close();
    EXPECT_FALSE(heci.Initialized());
    EXPECT_EQ(heci.MaxMessageLength(), 0u);
}

TEST_F(HeciTest, RefusesNt4OnEveryAttempt) {
    Install(QstBoard(1));
    auto os = machine().osVersion();
    os.major = 4;
    machine().setOsVersion(os);
    THeciWin heci = Make();
    EXPECT_FALSE(heci.Initialize());
    EXPECT_FALSE(heci.Initialize());
    EXPECT_EQ(lines, (std::vector<std::string>{"WARNING: HECI support requires at least Windows 2000!",
                                               "WARNING: HECI support requires at least Windows 2000!"}));
    EXPECT_EQ(sim->opens(), 0);
}

TEST_F(HeciTest, BadAnswersLeaveTheObjectClosed) {
    struct Case {
        const char* name;
        void (*setup)(platform::sim::HeciConfig&);
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"absent", [](auto& c) { c.present = false; }, {}},
        {"open error", [](auto& c) { c.openError = 5; }, {"Error opening device"}},
        {"4-byte version", [](auto& c) { c.version = {6, 0, 0, 1}; }, {"HECI returned a bad version structure"}},
        {"short connect answer", [](auto& c) { c.connectAnswerSize = 4; },
         {"Found HECI version 6.0.0.1296", "HECI returned a bad properties structure"}},
        {"no QST client", [](auto& c) { c.qst = false; },
         {"Found HECI version 6.0.0.1296", "DoIoctl : DeviceIoControl returned error $00000002",
          "HECI returned a bad properties structure"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        testsupport::TestMachine fresh;
        auto config = QstBoard(2);
        c.setup(config);
        platform::sim::installHeci(fresh.machine(), config);
        THeciWin heci = Make();
        EXPECT_FALSE(heci.Initialize());
        EXPECT_FALSE(heci.Initialized());
        EXPECT_EQ(lines, c.lines);
    }
}

TEST_F(HeciTest, AHangingControlCallEndsAfterFiveSeconds) {
    auto config = QstBoard(2);
    config.controlHangs = true;
    Install(config);
    THeciWin heci = Make();
    const auto start = now();
    EXPECT_FALSE(heci.Initialize());
    EXPECT_EQ(now() - start, 5000u);
    EXPECT_EQ(lines, (std::vector<std::string>{"DoIoctl : DeviceIoControl returned error $000005B4",
                                               "HECI returned a bad version structure"}));
}

TEST_F(HeciTest, UsesTheFirstInterfaceWhoseDetailReads) {
    auto config = QstBoard(2);
    config.unreadableInterfaces = 1;
    Install(config);
    THeciWin heci = Make();
    EXPECT_EQ(heci.GetHeciDevicePath(), config.path);
    EXPECT_EQ(lines, std::vector<std::string>{"GetHeciDevicePath: error getting interface details"});
    EXPECT_TRUE(heci.Initialize());
}

TEST_F(HeciTest, NoDeviceListsMeansNoPath) {
    Install(QstBoard(2));
    machine().setDeviceListsAvailable(false);
    THeciWin heci = Make();
    EXPECT_FALSE(heci.IsPresent());
    EXPECT_EQ(lines, std::vector<std::string>{"GetHeciDevicePath: error getting class devices"});
}

TEST_F(HeciTest, ATimeOutKeepsTheConnectionAndAnErrorClosesIt) {
    auto config = QstBoard(1);
    config.faults = {{platform::sim::QstFault::Kind::NoReply, 0x12, 1, 0},
                     {platform::sim::QstFault::Kind::TransportError, 0x37, 1, 0}};
    Install(config);
    THeciWin heci = Make();
    ASSERT_TRUE(heci.Initialize());
    lines.clear();
    const Bytes temps = QSTRequest(QST1Generation(), 0x12, 0, {}, 61);
    Bytes reply(512);
    EXPECT_EQ(heci.SendMessage(temps, 3000), 5);
    const auto start = now();
    EXPECT_EQ(heci.ReceiveMessage(reply, 2000), 0);
    EXPECT_EQ(now() - start, 2000u);
    EXPECT_TRUE(heci.Initialized());
    EXPECT_EQ(heci.SendMessage(temps, 3000), 5);
    EXPECT_EQ(heci.ReceiveMessage(reply, 2000), 61);

    EXPECT_EQ(heci.SendMessage(QSTRequest(QST1Generation(), 0x37, 0, {}, 25), 3000), -1);
    EXPECT_FALSE(heci.Initialized());
    EXPECT_EQ(heci.DoIoctl(IoctlHeciVersion, {}, reply), -1);
    EXPECT_EQ(lines, (std::vector<std::string>{"ReceiveMessage timeout", "SendMessage error 1 (LastError=$0000001F)"}));
}

}  // namespace

namespace {

TEST(HeciBoardTest, BadSectionsNameTheField) {
    struct Case {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {R"({"heci": {"version": "6.0"}})", "/heci/version"},
        {R"({"heci": {"qst": {"generation": 3}}})", "/heci/qst/generation"},
        {R"({"heci": {"qst": {"generation": 1, "fans": [{"index": 8, "usage": 1}]}}})", "/heci/qst/fans/0/index"},
        {R"({"heci": {"qst": {"generation": 2, "temperatures": [{"index": 0, "usage": 1, "value": {"thermal": "x"}}]}}})",
         "/heci/qst/temperatures/0/value/thermal"},
    };
    for (const Case& c : cases) {
        testsupport::TestMachine test;
        try {
            test.machine().loadFromJson(c.json, "bad.json");
            ADD_FAILURE() << c.json;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
}

TEST(HeciBoardTest, AFirmwareWithoutQstRefusesTheConnection) {
    testsupport::TestMachine test;
    test.machine().loadFromJson(R"({"heci": {"version": "5.1.0.1"}})", "noqst.json");
    std::vector<std::string> lines;
    THeciWin heci(QSTClientGuid, [&lines](const std::string& msg) { lines.push_back(msg); });
    EXPECT_FALSE(heci.Initialize());
    EXPECT_EQ(lines.back(), "HECI returned a bad properties structure");
}

}  // namespace

namespace {

// The native backend over a stand-in /sys and /dev: the version request
// answers 6.0.0.0, and a device without the QST client refuses the connect.
TEST(HeciNativeTest, TheNativeDeviceIsFoundReportsSixAndRefusesAMissingClient) {
    testsupport::TempDir root;
    platform::native::NativeRoots roots{(root.path() / "dev").string(), (root.path() / "sys").string(),
                                        (root.path() / "proc").string()};
    std::filesystem::create_directories(root.path() / "sys/class/mei/mei0");
    std::filesystem::create_directories(roots.dev);
    ASSERT_EQ(::mkfifo((roots.dev + "/mei0").c_str(), 0600), 0);
    platform::native::NativePlatform native(roots, [] { return -1; });
    platform::ScopedPlatform scope(native);

    std::vector<std::string> lines;
    THeciWin heci(QSTClientGuid, [&lines](const std::string& msg) { lines.push_back(msg); });
    EXPECT_EQ(heci.GetHeciDevicePath(), roots.dev + "/mei0");
    EXPECT_FALSE(heci.Initialize());
    EXPECT_EQ(lines, (std::vector<std::string>{"Found HECI version 6.0.0.0",
                                               "DoIoctl : DeviceIoControl returned error $00000002",
                                               "HECI returned a bad properties structure"}));
}

}  // namespace
