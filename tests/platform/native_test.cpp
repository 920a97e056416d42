#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include "platform/linux/fileregistry.h"
#include "platform/linux/nativeclock.h"
#include "platform/linux/lockfilemutex.h"
#include "platform/linux/nativeplatform.h"
#include "platform/linux/systemlocale.h"
#include "support/testmachine.h"

using namespace platform::native;
using testsupport::TempDir;

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

unsigned modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

struct LocaleCase {
    const char* dateFormat;
    const char* timeFormat;
    const char* decimal;
    const char* thousands;
    const char* shortDate;
    const char* longTime;
    char dateSeparator, timeSeparator, decimalSeparator, thousandSeparator;
};

const LocaleCase localeCases[] = {
    {"%m/%d/%y", "%H:%M:%S", ".", "", "mm/dd/yy", "hh:nn:ss", '/', ':', '.', ','},
    {"%d.%m.%Y", "%T", ",", ".", "dd/mm/yyyy", "hh:nn:ss", '.', ':', ',', '.'},
    {"%m/%d/%Y", "%r", ".", ",", "mm/dd/yyyy", "hh:nn:ss AM/PM", '/', ':', '.', ','},
    {"%d/%m/%Y", "%T", ",", "\u202F", "dd/mm/yyyy", "hh:nn:ss", '/', ':', ',', ' '},
    {"%F", "%-H.%M", ",", "", "yyyy/mm/dd", "h:nn", '-', '.', ',', '.'},
    {"%-d-%b-%Y", "%Hh%M", ".", "'", "d/mmm/yyyy", "hh\"h\"nn", '-', ':', '.', '\''},
    {"%Y\u5E74%m\u6708%d\u65E5", "%H:%M:%S", ".", ",", "yyyy\u5E74mm\u6708dd\u65E5", "hh:nn:ss", '/', ':', '.', ','},
};

}  // namespace

TEST(SystemLocale, StrftimeFormatsBecomePicturesWithSeparators) {
    for (const auto& c : localeCases) {
        SCOPED_TRACE(std::string(c.dateFormat) + " " + c.timeFormat);
        const auto locale = localeFromPosix(c.dateFormat, c.timeFormat, c.decimal, c.thousands);
        EXPECT_EQ(locale.shortDateFormat, c.shortDate);
        EXPECT_EQ(locale.longTimeFormat, c.longTime);
        EXPECT_EQ(locale.dateSeparator, c.dateSeparator);
        EXPECT_EQ(locale.timeSeparator, c.timeSeparator);
        EXPECT_EQ(locale.decimalSeparator, c.decimalSeparator);
        EXPECT_EQ(locale.thousandSeparator, c.thousandSeparator);
    }
}

TEST(SystemLocale, TheCLocaleReadsAsItsDefaults) {
    ScopedEnv all("LC_ALL", "C");
    const auto locale = systemLocale();
    EXPECT_EQ(locale.shortDateFormat, "mm/dd/yy");
    EXPECT_EQ(locale.longTimeFormat, "hh:nn:ss");
    EXPECT_EQ(locale.decimalSeparator, '.');
}

TEST(FileRegistry, ValuesSurviveARoundTripThroughTheFile) {
    TempDir dir;
    const std::string path = dir.file("caldavor/registry.txt");
    {
        FileRegistry reg(path);
        EXPECT_FALSE(reg.keyExists("\\Software\\Caldavor"));
        EXPECT_TRUE(reg.writeString("\\Software\\Caldavor", "Lang", "NL"));
        EXPECT_TRUE(reg.writeString("\\Software\\Caldavor\\Odd]Key", "a=b%c", "line 1\nline 2 100%"));
        EXPECT_TRUE(reg.writeString("\\Software\\Caldavor", "", "default value"));
        EXPECT_TRUE(reg.writeInteger("\\Software\\Caldavor", "Count", 0xFFFFFFFF));
    }
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(dir.file("caldavor")), 0700u);

    FileRegistry again(path);
    EXPECT_EQ(again.readString("\\software\\caldavor", "LANG"), "NL");
    EXPECT_EQ(again.readString("\\Software\\Caldavor\\Odd]Key", "a=b%c"), "line 1\nline 2 100%");
    EXPECT_EQ(again.readString("\\Software\\Caldavor", ""), "default value");
    EXPECT_EQ(again.readInteger("\\Software\\Caldavor", "Count"), 0xFFFFFFFFu);
    EXPECT_FALSE(again.readString("\\Software\\Caldavor", "Count"));  // an integer is not a string
}

TEST(FileRegistry, ADeletedValueIsGoneFromTheFileAndItsKeyStays) {
    TempDir dir;
    const std::string path = dir.file("registry.txt");
    {
        FileRegistry reg(path);
        reg.writeString("\\Software\\X", "Lang", "EN");
        reg.writeInteger("\\Software\\X", "Count", 2);
        EXPECT_TRUE(reg.deleteValue("\\software\\x", "LANG"));
        EXPECT_FALSE(reg.deleteValue("\\Software\\X", "Lang"));
        EXPECT_FALSE(reg.deleteValue("\\Software\\Missing", "Lang"));
    }
    FileRegistry again(path);
    EXPECT_FALSE(again.readString("\\Software\\X", "Lang"));
    EXPECT_EQ(again.readInteger("\\Software\\X", "Count"), 2u);
    EXPECT_TRUE(again.keyExists("\\Software\\X"));
}

TEST(FileRegistry, ReadsWhatItCanOfAHandWrittenFile) {
    TempDir dir;
    const std::string path = dir.file("registry.txt");
    testsupport::writeFile(path,
                           "[\\Software\\X]\n"
                           "s Lang=EN\n"
                           "i Count=7\n"
                           "garbage\n"
                           "i Big=4294967296\n"
                           "i Bad=12a\n"
                           "s Broken=%G1\n"
                           "[\\Software\\Empty]\n");
    FileRegistry reg(path);
    EXPECT_EQ(reg.readString("\\Software\\X", "Lang"), "EN");
    EXPECT_EQ(reg.readInteger("\\Software\\X", "Count"), 7u);
    EXPECT_FALSE(reg.readInteger("\\Software\\X", "Big"));
    EXPECT_FALSE(reg.readInteger("\\Software\\X", "Bad"));
    EXPECT_FALSE(reg.readString("\\Software\\X", "Broken"));
    EXPECT_TRUE(reg.keyExists("\\Software\\Empty"));
}

TEST(FileRegistry, AWriteThatCannotReachTheDiskReportsFailure) {
    TempDir dir;
    testsupport::writeFile(dir.file("blocker"), "");
    FileRegistry reg(dir.file("blocker/registry.txt"));  // its folder is a file
    EXPECT_FALSE(reg.writeInteger("\\Software\\X", "N", 1));
    EXPECT_EQ(reg.readInteger("\\Software\\X", "N"), 1u);
}

TEST(NativePlatform, KeepsItsRegistryInTheUsersConfigFolder) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
    EXPECT_EQ(userConfigDir(), dir.path().string());
    {
        NativePlatform native;
        EXPECT_TRUE(native.registry().writeString("\\Software\\Caldavor", "Lang", "DE"));
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file("caldavor/registry.txt")));
    NativePlatform again;
    EXPECT_EQ(again.registry().readString("\\Software\\Caldavor", "Lang"), "DE");

    ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(userConfigDir(), "/home/someone/.config");
}

TEST(NativePlatform, IdentifiesAsCurrentNtNamingTheRealSystem) {
    NativePlatform native;
    const auto os = native.osVersion();
    EXPECT_EQ(os.major, 10u);
    EXPECT_EQ(os.minor, 0u);
    EXPECT_EQ(os.platformId, 2u);
    EXPECT_EQ(os.productType, 1);
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_EQ(os.csdVersion, std::string(names.sysname) + " " + names.release);

    const std::string dir = native.programDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "test_platform"));
    EXPECT_EQ(native.windowsDir(), "/");
}

TEST(NativeClock, MonotonicTimeNeverGoesBack) {
    NativeClock clock;
    const auto first = clock.monotonicMs();
    EXPECT_GE(clock.monotonicMs(), first);
    const auto now = clock.localNow();
    EXPECT_GE(now.year, 2024);
    EXPECT_LT(now.millisecond, 1000);
}

// The zone's rules decide the offset of each moment, daylight time included.
TEST(NativeClock, LocalTimeCarriesTheZonesOffsetFromUtc) {
    struct Case {
        const char* zone;
        std::time_t moment;
        int offset;
    };
    constexpr std::time_t July2026 = 1784548800;     // 2026-07-20 12:00 UTC
    constexpr std::time_t December2026 = 1796558400;  // 2026-12-06 12:00 UTC
    const Case cases[] = {{"CET-1CEST,M3.5.0,M10.5.0/3", July2026, 120},
                          {"CET-1CEST,M3.5.0,M10.5.0/3", December2026, 60},
                          {"IST-5:30", July2026, 330},
                          {"EST5", December2026, -300}};
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    for (const auto& c : cases) {
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        EXPECT_EQ(localTimeAt(c.moment).utcOffsetMinutes, c.offset) << c.zone;
    }
    EXPECT_EQ(localTimeAt(July2026).hour, 7);  // EST: 12:00 UTC is 07:00
    if (saved)
        ::setenv("TZ", previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(NativePlatform, TheMachinesIpv4AddressIsDottedText) {
    const std::string address = NativePlatform().ipv4Address();
    in_addr parsed{};
    EXPECT_EQ(::inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
}

TEST(LockFileMutex, NamesAreEncodedIntoOneFileName) {
    EXPECT_EQ(lockFileName("Global\\Caldavor"), "Global%5CCaldavor.lock");
    EXPECT_EQ(lockFileName("../etc/x"), "..%2Fetc%2Fx.lock");
    EXPECT_EQ(lockFileName("Access_SMBUS.HTP.Method"), "Access_SMBUS.HTP.Method.lock");
}

TEST(LockFileMutex, AFolderThatCannotHoldTheFileGivesNoMutex) {
    TempDir dir;
    EXPECT_FALSE(LockFileMutex::open(dir.file("missing"), "x"));
}
