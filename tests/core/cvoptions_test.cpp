#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

#include "core/cvcipher.h"
#include "core/cvmonitor.h"
#include "core/cvoptions.h"
#include "coretest.h"
#include "fakeservices.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

const char Sep = '\x03';
const char End = '\x04';

class OptionsFile : public coretest::CoreTest {
protected:
    std::string path() const { return file("caldavorparams.cfg"); }
    void write(const std::string& text) { writeFile(path(), text); }
    bool load(bool secondPass) { return monitor.LoadParams(path(), secondPass); }
    std::vector<std::string> lines() const { return testsupport::splitLines(readFile(path()), "\r\n"); }
    std::string valueOf(const std::string& key) const {
        for (const auto& line : lines())
            if (line.starts_with(key)) return line.substr(key.size());
        return "<absent>";
    }

    TMonitor monitor;
    coretest::TFakeClock clock;
    coretest::TFakeXap xap;
    coretest::TFakeLanguage language;
    coretest::TFakeDialogs dialogs;
};

TMailProfile Profile(const std::string& name, bool autoTls, bool popFirst) {
    return {name, "user", "pa" + std::string(1, '\xC3') + "\xA9ss", "smtp.example", "587", "me@example", "you@example",
            autoTls, popFirst, "popuser", "", "pop.example", "110"};
}

TEST_F(OptionsFile, AFullFileIsWrittenInOrderAndReadsBackIdentically) {
    auto& o = monitor.Options;
    o.TrayFontSize = 12;
    o.NoMoreTip0001 = o.NoMoreTip0003 = o.NoMoreTip0005 = true;
    o.FullOnExit = o.MinimizeOnClose = true;
    o.FanDelta = 7;
    o.UseCelsius = o.DebugMode = o.UseISA = o.UseSMB = false;
    monitor.ScanFlags.DoSummaryLogScan = true;
    o.DellFans = o.StartupHide = o.ShowStaticIcon = true;
    o.LastDetect = "W83627HF@290";
    o.CLIconBack = 0x00FF00;
    o.CLIconText = 5;
    o.Language = "Deutsch";
    o.AutoFanSpeed = false;
    o.AdvFanSpeed = true;
    LogOptions = {true, ",", 3, 9, false};
    ProxySettings = {"proxy.example", "8080", "alice", "s3cr=t", true};
    MailProfileList = {Profile("home", true, false), Profile("work", false, true)};
    clock.Settings = {"Vendor A", "Model 1", "100 MHz", "133 MHz", 15, 60, 12, 3, true};
    xap.Values = {true, 0x1234, "pc1", "192.168.1.5", "192.168.1.255"};
    monitor.ClockControls = &clock;
    monitor.Xap = &xap;

    ASSERT_TRUE(monitor.SaveParams(true));
    const std::vector<std::string> expected{
        "TrayFontSize=12",  "NoMoreTip0001=true",    "NoMoreTip0002=false",
        "NoMoreTip0003=true", "NoMoreTip0004=false",  "NoMoreTip0005=true",
        "FullOnExit=true",  "MinimizeOnClose=true",  "FanDelta=7",
        "UseCelsius=false", "DebugMode=false",       "DoSummaryLogScan=true",
        "DellFans=true",    "UseISA=false",          "UseSMB=false",
        "StartupHide=true", "ShowStaticIcon=true",   "LastDetect=W83627HF@290",
        "CLKMBVendor=Vendor A", "CLKMBModel=Model 1", "CLKLow=100 MHz",
        "CLKHigh=133 MHz",  "LowCPUUsage=15",        "HighCPUUsage=60",
        "LowCPUTime=12",    "HighCPUTime=3",         "AutoClockSet=true",
        "CLIconBack=$FF00", "CLIconText=$05",        "Language=Deutsch",
        "LogEnabled=true",  "LogAddHeader=false",    "LogDecSep=,",
        "LogMaxDays=9",     "LogMaxDecs=3",          "AutoFanSpeed=false",
        "AdvFanSpeed=true", "InternetProxy=" + EncryptOptionValue("1\x03proxy.example\x03" "8080\x03" "alice\x03s3cr=t"),
        "MailProfiles=" + EncryptOptionValue(
            "home\x03user\x03pa\xC3\xA9ss\x03smtp.example\x03" "587\x03me@example\x03you@example\x03" "1\x03" "0\x03"
            "popuser\x03\x03pop.example\x03" "110\x03\x04"
            "work\x03user\x03pa\xC3\xA9ss\x03smtp.example\x03" "587\x03me@example\x03you@example\x03" "0\x03" "1\x03"
            "popuser\x03\x03pop.example\x03" "110\x03\x04\x04"),
        "XAPEnabled=true",  "XAPUID=00001234",       "XAPHostName=pc1",
        "XAPHostIP=192.168.1.5", "XAPBroadcastIP=192.168.1.255"};
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(std::filesystem::status(path()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A fresh window reads it back in its two passes.
    const TOptions written = monitor.Options;
    const TScanFlags writtenFlags = monitor.ScanFlags;
    const auto writtenProxy = ProxySettings;
    const auto writtenProfiles = MailProfileList;
    const auto writtenLog = LogOptions;
    ResetGlobals();
    TMonitor fresh;
    coretest::TFakeClock freshClock;
    coretest::TFakeXap freshXap;
    fresh.ClockControls = &freshClock;
    ASSERT_TRUE(fresh.LoadParams(path(), false));
    fresh.Xap = &freshXap;
    ASSERT_TRUE(fresh.LoadParams(path(), true));
    fresh.Options.StoredXap.reset();
    TOptions expectedOptions = written;
    expectedOptions.StoredXap.reset();
    EXPECT_EQ(fresh.Options, expectedOptions);
    EXPECT_EQ(fresh.ScanFlags, writtenFlags);
    EXPECT_EQ(freshClock.Settings, clock.Settings);
    EXPECT_EQ(freshXap.Values, xap.Values);
    EXPECT_EQ(MailProfileList, writtenProfiles);
    EXPECT_EQ(ProxySettings.UseProxy, writtenProxy.UseProxy);
    EXPECT_EQ(ProxySettings.ProxyHost, writtenProxy.ProxyHost);
    EXPECT_EQ(ProxySettings.ProxyPort, writtenProxy.ProxyPort);
    EXPECT_EQ(ProxySettings.ProxyUsername, writtenProxy.ProxyUsername);
    EXPECT_EQ(ProxySettings.ProxyPassword, writtenProxy.ProxyPassword);
    EXPECT_EQ(LogOptions.Enabled, writtenLog.Enabled);
    EXPECT_EQ(LogOptions.DecSep, writtenLog.DecSep);
    EXPECT_EQ(LogOptions.MaxDays, writtenLog.MaxDays);
    EXPECT_EQ(LogOptions.MaxDecs, writtenLog.MaxDecs);
    EXPECT_EQ(LogOptions.AddHeader, writtenLog.AddHeader);
}

TEST_F(OptionsFile, ClockAndXapKeysWaitForTheSecondPassLanguageAndOthersApplyInBoth) {
    write("CLKMBVendor=Vendor A\r\nLowCPUUsage=abc\r\nAutoClockSet=true\r\nXAPEnabled=true\r\nXAPUID=00001234\r\n"
          "Language=Deutsch\r\nFanDelta=5\r\nNoPCIScan=true\r\nDoSummaryLogScan=true\r\n");
    monitor.ClockControls = &clock;
    monitor.Language = &language;
    ASSERT_TRUE(load(false));
    EXPECT_EQ(clock.Calls, 0);
    EXPECT_EQ(language.Set, std::vector<std::string>{"Deutsch"});
    EXPECT_EQ(monitor.Options.Language, "Deutsch");
    EXPECT_EQ(monitor.Options.FanDelta, 5);
    EXPECT_TRUE(monitor.ScanFlags.NoPCIScan);
    EXPECT_TRUE(monitor.ScanFlags.DoSummaryLogScan);

    // The command line runs between the passes; the second pass applies the file again.
    monitor.ParseCommandLine({"/NOSUMMARYLOGSCAN"});
    monitor.Xap = &xap;
    ASSERT_TRUE(load(true));
    EXPECT_EQ(clock.Settings.Vendor, "Vendor A");
    EXPECT_EQ(clock.Settings.LowCPUUsage, 10);  // not a number
    EXPECT_TRUE(clock.Settings.AutoClockSet);
    EXPECT_TRUE(xap.Values.Enabled);
    EXPECT_EQ(xap.Values.UID, 0x1234u);
    EXPECT_EQ(language.Set, (std::vector<std::string>{"Deutsch", "Deutsch"}));
    EXPECT_TRUE(monitor.ScanFlags.DoSummaryLogScan);
}

TEST_F(OptionsFile, UnreadableValuesFallBackKeyByKey) {
    struct TCase {
        const char* Line;
        std::function<bool(const TMonitor&)> Check;
    };
    const TCase cases[] = {
        {"fandelta=abc", [](const TMonitor& m) { return m.Options.FanDelta == 10; }},
        {"FanDelta=$1F", [](const TMonitor& m) { return m.Options.FanDelta == 31; }},
        {"TrayFontSize=big", [](const TMonitor& m) { return m.Options.TrayFontSize == 0; }},
        {"TrayFontSize=99999999999", [](const TMonitor& m) { return m.Options.TrayFontSize == 0; }},
        {"UseCelsius=  TRUE ", [](const TMonitor& m) { return m.Options.UseCelsius; }},
        {"UseISA=yes", [](const TMonitor& m) { return !m.Options.UseISA; }},
        {"CLIconBack=$00FF00", [](const TMonitor& m) { return m.Options.CLIconBack == 0xFF00; }},
        {"CLIconBack=green", [](const TMonitor& m) { return m.Options.CLIconBack == 0xFFFFFF; }},
        {"CLIconText=blue", [](const TMonitor& m) { return m.Options.CLIconText == 0; }},
        {"LogMaxDays=", [](const TMonitor&) { return LogOptions.MaxDays == 5; }},
        {"LogMaxDecs=two", [](const TMonitor&) { return LogOptions.MaxDecs == 2; }},
        {"XAPUID=zz", [](const TMonitor& m) { return m.Options.StoredXap->UID == 0xFF671100u; }},
        {"XAPUID=0000abcd", [](const TMonitor& m) { return m.Options.StoredXap->UID == 0xABCDu; }},
        {"LastDetect= as it stands ", [](const TMonitor& m) { return m.Options.LastDetect == " as it stands "; }},
    };
    for (const auto& c : cases) {
        ResetGlobals();
        TMonitor m;
        m.Options.FanDelta = m.Options.TrayFontSize = 1;
        m.Options.CLIconBack = m.Options.CLIconText = 1;
        LogOptions.MaxDays = LogOptions.MaxDecs = 1;
        write(std::string(c.Line) + "\r\n");
        ASSERT_TRUE(m.LoadParams(path(), false));
        EXPECT_TRUE(c.Check(m)) << c.Line;
    }
}

TEST_F(OptionsFile, HandWrittenFilesAreReadWithoutHarm) {
    write("garbage line\rUseCelsius=false\n\nFanDelta=3\r\nFanDelta=4\nUnknownKey=1\r\n" + std::string(12000, 'x') +
          "\r\nDellFans=true");
    monitor.Language = &language;
    ASSERT_TRUE(load(false));
    EXPECT_FALSE(monitor.Options.UseCelsius);
    EXPECT_EQ(monitor.Options.FanDelta, 4);  // the later line wins
    EXPECT_TRUE(monitor.Options.DellFans);   // last line without a line end

    write("Language=Klingon\r\nFanDelta=6\r\n");
    ASSERT_TRUE(load(false));
    EXPECT_EQ(monitor.Options.Language, "English");
    EXPECT_EQ(monitor.Options.FanDelta, 6);

    EXPECT_FALSE(monitor.Options.AutoFanSpeed);  // the file lacks the key

    TMonitor untouched;
    EXPECT_FALSE(untouched.LoadParams(file("missing.cfg"), false));
    EXPECT_EQ(untouched.Options, TOptions{});
    EXPECT_TRUE(untouched.Options.AutoFanSpeed);
}

TEST_F(OptionsFile, SavingWithoutTheClockKeepsTheFileClockLines) {
    write("TrayFontSize=1\r\nclkmbvendor=Old Vendor\r\nLowCPUUsage=20\r\nAutoClockSet=false\r\nCLIconBack=$00\r\n");
    clock.Settings.Vendor = "New Vendor";
    monitor.ClockControls = &clock;
    ASSERT_TRUE(monitor.SaveParams(false));
    const auto all = lines();
    const auto at = std::find(all.begin(), all.end(), "clkmbvendor=Old Vendor");
    ASSERT_NE(at, all.end());
    EXPECT_EQ(*(at - 1), "LastDetect=");
    EXPECT_EQ(*(at + 1), "LowCPUUsage=20");
    EXPECT_EQ(*(at + 2), "AutoClockSet=false");
    EXPECT_EQ(*(at + 3), "CLIconBack=$1FFFFFFF");

    clock.Usable = false;
    ASSERT_TRUE(monitor.SaveParams(true));
    EXPECT_EQ(valueOf("CLKMBVendor="), "New Vendor");
    EXPECT_EQ(valueOf("CLKMBModel="), "");
    EXPECT_EQ(valueOf("CLKLow="), "<absent>");
    EXPECT_EQ(valueOf("AutoClockSet="), "<absent>");
}

TEST_F(OptionsFile, BeforeTheXapSenderExistsTheReadXapValuesAreKept) {
    ASSERT_TRUE(monitor.SaveParams(false));
    EXPECT_EQ(valueOf("XAPEnabled="), "false");
    EXPECT_EQ(valueOf("XAPUID="), "<absent>");

    write("XAPEnabled=true\r\nXAPUID=00001234\r\nXAPHostName=pc1\r\nXAPHostIP=10.0.0.2\r\nXAPBroadcastIP=10.0.0.255\r\n");
    ASSERT_TRUE(load(false));
    ASSERT_TRUE(monitor.SaveParams(false));
    EXPECT_EQ(valueOf("XAPEnabled="), "true");
    EXPECT_EQ(valueOf("XAPUID="), "00001234");
    EXPECT_EQ(valueOf("XAPHostName="), "pc1");
    EXPECT_EQ(valueOf("XAPHostIP="), "10.0.0.2");
    EXPECT_EQ(valueOf("XAPBroadcastIP="), "10.0.0.255");
}

TEST_F(OptionsFile, ProxyValuesRoundTripAndDamagedOnesChangeNothing) {
    ProxySettings = {"host", "3128", "bob", "", true};
    ASSERT_TRUE(monitor.SaveParams(false));
    ResetGlobals();
    ASSERT_TRUE(load(false));
    EXPECT_TRUE(ProxySettings.UseProxy);
    EXPECT_EQ(ProxySettings.ProxyHost, "host");
    EXPECT_EQ(ProxySettings.ProxyPort, "3128");
    EXPECT_EQ(ProxySettings.ProxyUsername, "bob");
    EXPECT_EQ(ProxySettings.ProxyPassword, "");

    const std::string s(1, Sep);
    const std::string damaged[] = {
        "InternetProxy=" + EncryptOptionValue("0" + s + "h2" + s + "1" + s + "u2"),  // a separator short
        "InternetProxy=" + EncryptOptionValue("0x" + s + "h2" + s + "1" + s + "u2" + s + "p2"),  // no 03h second
        "InternetProxy=" + EncryptOptionValue("0" + s + "h2" + s + "1" + s + "u2" + s + "p2").substr(2) + "ZZ",
    };
    for (const auto& line : damaged) {
        write(line + "\r\n");
        ASSERT_TRUE(load(false));
        EXPECT_EQ(ProxySettings.ProxyHost, "host") << line;
        EXPECT_TRUE(ProxySettings.UseProxy) << line;
    }

    // A password followed by a further separator ends there.
    write("InternetProxy=" + EncryptOptionValue("0" + s + "h2" + s + "1" + s + "u2" + s + "p2" + s + "rest") + "\r\n");
    ASSERT_TRUE(load(false));
    EXPECT_FALSE(ProxySettings.UseProxy);
    EXPECT_EQ(ProxySettings.ProxyHost, "h2");
    EXPECT_EQ(ProxySettings.ProxyPassword, "p2");
}

TEST_F(OptionsFile, AMailProfileListIsReplacedOnlyByAnIntactOne) {
    MailProfileList = {Profile("home", true, true)};
    const auto before = MailProfileList;
    const std::string s(1, Sep);
    const std::string fields7 = "n" + s + "u" + s + "p" + s + "h" + s + "25" + s + "f" + s + "t" + s;
    const std::string tail4 = "pu" + s + "pp" + s + "ph" + s + "110" + s;
    const std::string damaged[] = {
        fields7 + "2" + s + "0" + s + tail4 + End + End,     // a flag that is no 0 or 1
        fields7 + "1" + s + "0" + s + tail4 + End + fields7,  // the second profile cut short
        fields7 + "1" + s + "0" + s + tail4,                  // no record end
    };
    for (const auto& plain : damaged) {
        write("MailProfiles=" + EncryptOptionValue(plain) + "\r\n");
        ASSERT_TRUE(load(false));
        EXPECT_EQ(MailProfileList, before);
    }

    write("MailProfiles=" + EncryptOptionValue(fields7 + "1" + s + "0" + s + tail4 + End + End) + "\r\n");
    ASSERT_TRUE(load(false));
    ASSERT_EQ(MailProfileList.size(), 1u);
    EXPECT_EQ(MailProfileList[0], (TMailProfile{"n", "u", "p", "h", "25", "f", "t", true, false, "pu", "pp", "ph", "110"}));

    write("MailProfiles=" + EncryptOptionValue(std::string(1, End)) + "\r\n");
    ASSERT_TRUE(load(false));
    EXPECT_TRUE(MailProfileList.empty());
}

TEST_F(OptionsFile, AFailedSaveWarnsAndKeepsTheOldFile) {
    monitor.Dialogs = &dialogs;
    write("FanDelta=3\r\n");
    monitor.Options.FanDelta = 8;

    // A full disk: writes past a few bytes fail.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = monitor.SaveParams(false);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(path()), "FanDelta=3\r\n");
    EXPECT_EQ(dialogs.Warnings, std::vector<std::string>{"Unable to save to " + path()});
    for (const auto& entry : std::filesystem::directory_iterator(machine_.programDir()))
        EXPECT_FALSE(entry.path().filename().string().starts_with("caldavorparams.cfg.")) << entry.path();

    // A folder that cannot take the file.
    ProgramDir = file("gone") + "/";
    EXPECT_FALSE(monitor.SaveParams(false));
    EXPECT_EQ(dialogs.Warnings.back(), "Unable to save to " + ProgramDir + "caldavorparams.cfg");
}

}  // namespace
