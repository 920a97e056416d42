#include "core/cvvars.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "support/testmachine.h"

namespace {

// A machine whose user locale writes dates as 15.01.2026 and whose clock
// stands 1.234 s after its start (2026-01-15 10:00:00.000).
class CvvarsTest : public ::testing::Test {
protected:
    CvvarsTest() {
        platform::LocaleInfo locale;
        locale.shortDateFormat = "dd/mm/yyyy";
        locale.longTimeFormat = "hh:nn:ss";
        locale.dateSeparator = '.';
        locale.decimalSeparator = ',';
        m->setLocale(locale);
        m->simClock().advance(1234);
    }
    ~CvvarsTest() override { FinalizeCvvars(); }

    std::string trace() const { return testsupport::readFile(m.file("debug.nfo")); }

    testsupport::TestMachine m;
};

TEST_F(CvvarsTest, TraceStartsWithOneLineWhateverItHeldBefore) {
    testsupport::writeFile(m.file("debug.nfo"), "old line\r\n");
    InitializeCvvars();
    EXPECT_EQ(trace(), "15.01.2026 10:00:01.234 - DEBUG FILE INITIALIZED\r\n");
}

TEST_F(CvvarsTest, TraceIsCreatedAgainAfterItWasDeleted) {
    InitializeCvvars();
    std::filesystem::remove(m.file("debug.nfo"));
    m->simClock().advance(60'005);
    WriteDebugLog("first");
    WriteDebugLog("second");
    EXPECT_EQ(trace(), "15.01.2026 10:01:01.239 - first\r\n15.01.2026 10:01:01.239 - second\r\n");
}

TEST_F(CvvarsTest, TraceLinesFromSeveralThreadsStayWhole) {
    InitializeCvvars();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) WriteDebugLog("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    for (auto& thread : threads) thread.join();
    std::istringstream lines(trace());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_TRUE(line.rfind("15.01.2026 10:00:01.234 - ", 0) == 0 && line.back() == '\r') << line;
    }
    EXPECT_EQ(count, 1 + 4 * 50);
}

TEST_F(CvvarsTest, InitializationSetsTheGlobals) {
    DriverStartFlags = {true, false, true};
    HasTSC = true;
    OriginalCfgId = 7;
    InitializeCvvars();
    EXPECT_EQ(ProgramDir, m.programDir());
    EXPECT_EQ(ProgramDir.back(), '/');
    EXPECT_FALSE(DriverStartFlags.ServicePathTraced);
    EXPECT_TRUE(DriverStartFlags.UseGiveIO);
    EXPECT_FALSE(DriverStartFlags.ACPIHALChecked);
    EXPECT_FALSE(HasTSC);
    EXPECT_EQ(OriginalCfgId, 0);
    EXPECT_DOUBLE_EQ(SampleTime, EncodeDateTime({2026, 1, 15, 10, 0, 1, 234}));
    EXPECT_EQ(InvariantFormat.decimalSeparator, '.');
    EXPECT_EQ(InvariantFormat.thousandSeparator, ',');
    EXPECT_EQ(InvariantLocale.dateSeparator, '-');
    EXPECT_EQ(InvariantLocale.timeSeparator, ':');
    EXPECT_EQ(LogOptions.DecSep, ",");
    EXPECT_FALSE(LogOptions.Enabled);
    EXPECT_EQ(LogOptions.MaxDecs, 2);
    EXPECT_EQ(LogOptions.MaxDays, 5);
    EXPECT_TRUE(LogOptions.AddHeader);
}

TEST_F(CvvarsTest, BusMutexesAreTheMachineWideNamedLocks) {
    InitializeCvvars();
    ASSERT_TRUE(ISABusMutex && SMBusMutex);
    const struct {
        platform::NamedMutex& held;
        const char* name;
    } cases[] = {{*ISABusMutex, "Global\\Access_ISABUS.HTP.Method"}, {*SMBusMutex, "Global\\Access_SMBUS.HTP.Method"}};
    for (const auto& c : cases) {
        c.held.lock();
        bool otherGotIt = true;
        std::thread([&] {
            auto other = m->createMutex(c.name);
            otherGotIt = other->tryLock();
            if (otherGotIt) other->unlock();
        }).join();
        c.held.unlock();
        EXPECT_FALSE(otherGotIt) << c.name;
    }
    FinalizeCvvars();
    EXPECT_FALSE(ISABusMutex || SMBusMutex);
}

TEST_F(CvvarsTest, ProxyComesFromTheFirstKeyThatHoldsAValue) {
    const std::string post = "\\Software\\Caldavor\\TDlgPost";
    const std::string getConfig = "\\Software\\Caldavor\\TDlgGetConfig";
    struct Value {
        std::string key, name, value;
    };
    const struct {
        const char* what;
        std::vector<Value> stored;
        std::vector<std::string> emptyKeys;
        std::string host, port;
        bool use;
    } cases[] = {
        {"nothing stored", {}, {}, "", "", false},
        {"first key", {{post, "EDProxy_Text", "proxy1"}, {post, "EDProxyPort_Text", "8080"}, {getConfig, "EDProxy_Text", "proxy2"}},
         {}, "proxy1", "8080", true},
        {"second key", {{getConfig, "EDProxy_Text", "proxy2"}, {getConfig, "EDProxyPort_Text", "3128"}}, {}, "proxy2", "3128", true},
        {"first key empty", {{getConfig, "EDProxy_Text", "proxy2"}, {getConfig, "EDProxyPort_Text", "3128"}}, {post}, "proxy2",
         "3128", true},
        {"only a port under the first key",
         {{post, "EDProxyPort_Text", "8080"}, {getConfig, "EDProxy_Text", "proxy2"}, {getConfig, "EDProxyPort_Text", "3128"}},
         {}, "", "8080", false},
        {"only a host", {{getConfig, "EDProxy_Text", "proxy2"}}, {}, "proxy2", "", false},
    };
    for (const auto& c : cases) {
        testsupport::TestMachine fresh;
        for (const auto& v : c.stored) fresh->simRegistry().writeString(v.key, v.name, v.value);
        for (const auto& k : c.emptyKeys) fresh->simRegistry().createKey(k);
        InitializeCvvars();
        EXPECT_EQ(ProxySettings.ProxyHost, c.host) << c.what;
        EXPECT_EQ(ProxySettings.ProxyPort, c.port) << c.what;
        EXPECT_EQ(ProxySettings.UseProxy, c.use) << c.what;
        EXPECT_EQ(ProxySettings.ProxyUsername, "") << c.what;
        EXPECT_EQ(ProxySettings.ProxyPassword, "") << c.what;
        FinalizeCvvars();
    }
}

TEST(Cvvars, WildcardMatch) {
    const struct {
        const char* mask;
        const char* text;
        bool match;
    } cases[] = {
        {"xxx SMBIOS Info", "xxx smbios info", true},
        {"a*c", "abbbc", true},
        {"a?c", "ac", false},
        {"a?c", "abc", true},
        {"*", "", true},
        {"**", "", true},
        {"", "", true},
        {"", "a", false},
        {"abc", "ab", false},
        {"ab", "abc", false},
        {"a*", "a", true},
        {"*c", "abcbc", true},
        {"*c", "abcb", false},
        {"[*]*", "[SENSOR 3]", true},
        {"[*]*", "[SENSOR 3", false},
        {"a*?", "a?", true},  // the character after a star is literal
        {"a*?", "ab", false},
        {"x*b*d", "xabcbd", true},
    };
    for (const auto& c : cases) EXPECT_EQ(WildcardMatch(c.mask, c.text), c.match) << c.mask << " / " << c.text;
}

TEST(Cvvars, VariantTypeName) {
    const struct {
        std::uint16_t code;
        const char* name;
    } cases[] = {
        {0x0000, "empty"},  {0x0003, "integer"},   {0x0008, "olestr"},
        {0x000D, "unknown"}, {0x0048, "strarg"},   {0x0FFF, "typemask"},
        {0x2000, "array"},  {0x2011, "bytearray"}, {0x4000, "byref"},
        {0x200C, "unknown($0000200C)"},            {0x4003, "unknown($00004003)"},
        {0x000E, "unknown($0000000E)"},
    };
    for (const auto& c : cases) EXPECT_EQ(VariantTypeName(c.code), c.name) << c.code;
}

TEST(Cvvars, DescrambleString) {
    EXPECT_EQ(DescrambleString(""), "");
    EXPECT_EQ(DescrambleString(std::string(1, static_cast<char>('A' ^ DescrambleKey))), "A");
    // Scrambled by hand: first character against the key, each later one
    // against the scrambled character before it.
    const std::string plain = "smart.dll";
    std::string scrambled(plain.size(), '\0');
    scrambled[0] = static_cast<char>(plain[0] ^ DescrambleKey);
    for (std::size_t i = 1; i < plain.size(); ++i) scrambled[i] = static_cast<char>(plain[i] ^ scrambled[i - 1]);
    EXPECT_EQ(DescrambleString(scrambled), plain);
}

TEST(Cvvars, AddBackslashAndWindowsDir) {
    EXPECT_EQ(AddBackslash(""), "\\");
    EXPECT_EQ(AddBackslash("C:\\Tools"), "C:\\Tools\\");
    EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
    EXPECT_EQ(AppendBackslash("D:"), "D:\\");
    testsupport::TestMachine m;
    m->setWindowsDir("D:\\WINNT");
    EXPECT_EQ(GetWindowsDir(), "D:\\WINNT");
}

}  // namespace
