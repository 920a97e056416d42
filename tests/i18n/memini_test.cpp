#include <gtest/gtest.h>

#include "i18n/memini.h"
#include "support/testmachine.h"

namespace {

TEST(ExtractField, FieldNFollowsTheNthDelimiterOnEveryLine) {
    const std::string line = "id\x01" "a\x01";
    EXPECT_EQ(ExtractField(line, '\x01', 0), "id");
    EXPECT_EQ(ExtractField(line, '\x01', 1), "a");
    EXPECT_EQ(ExtractField(line, '\x01', 2), "");
    EXPECT_EQ(ExtractField(line, '\x01', 3), "");
    EXPECT_EQ(ExtractField("", '\x01', 0), "");
    // A leading delimiter closes an empty field 0.
    const std::string leading = "\x01" "a\x01" "b";
    EXPECT_EQ(ExtractField(leading, '\x01', 0), "");
    EXPECT_EQ(ExtractField(leading, '\x01', 1), "a");
    EXPECT_EQ(ExtractField(leading, '\x01', 2), "b");
    EXPECT_EQ(ExtractField(leading, '\x01', 3), "");
    EXPECT_EQ(ExtractField("\x01", '\x01', 0), "");
    EXPECT_EQ(ExtractField("\x01", '\x01', 1), "");
}

TEST(ExtractField, WideFieldsNeedAClosingDelimiter) {
    EXPECT_EQ(ExtractFieldW(u"a\x01" u"b", u'\x01', 0), u"a");
    EXPECT_EQ(ExtractFieldW(u"a\x01" u"b", u'\x01', 1), u"");
    EXPECT_EQ(ExtractFieldW(u"a\x01" u"b\x01", u'\x01', 1), u"b");
    EXPECT_EQ(ExtractFieldW(u"a\x01" u"b\x01", u'\x01', 5), u"");
}

TEST(FastPos, FindsTheFirstOccurrence) {
    EXPECT_EQ(FastPos("abc", "xxabcxxabc"), 3u);
    EXPECT_EQ(FastPos("", "text"), 1u);
    EXPECT_EQ(FastPos("abd", "abcabcab"), 0u);
    EXPECT_EQ(FastPos("long pattern", "short"), 0u);
    EXPECT_EQ(FastPos("aab", "aaab"), 2u);
    EXPECT_EQ(FastPos("x", "x"), 1u);
}

TEST(MemIni, RepeatedKeysAnswerTheLastAndSaveInReverse) {
    TsiMemIniFile ini("");
    ini.LoadFromText("ignored=1\r\n[S]\r\nx=1\r\n; comment\r\n\r\nX=2\r\nk = v \r\nbare\r\n[s]\r\nlate=3\r\n[T]\r\n");
    EXPECT_EQ(ini.GetValue("s", "x", "d"), "2");
    EXPECT_EQ(ini.ListKeys("S"), (std::vector<std::string>{"bare", "k ", "late", "X", "x"}));
    EXPECT_EQ(ini.GetValue("S", "k ", ""), " v ");
    EXPECT_EQ(ini.GetValue("S", "bare", "d"), "");
    EXPECT_EQ(ini.GetValue("S", "ignored", "d"), "d");
    EXPECT_TRUE(ini.HasSection("S"));
    EXPECT_FALSE(ini.HasSection("T"));  // no keys
    EXPECT_EQ(ini.ListSectionValues("S"), (std::vector<std::string>{"", " v ", "3", "2", "1"}));

    ini.SetValue("S", "x", "9");  // replaces the first equal key only
    EXPECT_EQ(ini.GetValue("S", "x", ""), "9");
    std::vector<std::string> lines{"keep"};
    ini.SaveLines(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"keep", "[S]", "bare=", "k = v ", "late=3", "x=9", "x=1", "", "[T]", ""}));
    ini.RemoveKey("S", "X");
    ini.RemoveSection("T");
    EXPECT_EQ(ini.ListSections(), std::vector<std::string>{"S"});
    EXPECT_EQ(ini.GetValue("S", "x", ""), "1");
}

TEST(MemIni, TypedValues) {
    TsiMemIniFile ini("");
    ini.LoadFromText("[N]\nhex=0x1F\nbare=0x\nbad=12a\ndec=-7\nf=2.5\nb=0\n");
    EXPECT_EQ(ini.GetIntValue("N", "hex", 0), 31);
    EXPECT_EQ(ini.GetIntValue("N", "bare", 5), 5);
    EXPECT_EQ(ini.GetIntValue("N", "bad", 5), 5);
    EXPECT_EQ(ini.GetIntValue("N", "dec", 5), -7);
    EXPECT_FALSE(ini.GetBoolValue("N", "b", true));
    EXPECT_TRUE(ini.GetBoolValue("N", "missing", true));
    EXPECT_DOUBLE_EQ(ini.GetFloatValue("N", "f", 0), 2.5);
    ini.SetBoolValue("N", "b", true);
    ini.SetIntValue("N", "i", 42);
    EXPECT_EQ(ini.GetValue("N", "b", ""), "1");
    EXPECT_EQ(ini.GetValue("N", "i", ""), "42");
}

TEST(MemIni, DatesAndTimesInTheUsersFormat) {
    testsupport::TestMachine machine;
    platform::LocaleInfo locale = machine->locale();
    locale.shortDateFormat = "dd.mm.yyyy";
    locale.dateSeparator = '.';
    locale.longTimeFormat = "hh:nn:ss";
    machine->setLocale(locale);
    TsiMemIniFile ini("");
    ini.LoadFromText("[D]\nd=31.12.2025\nbad=31.02.2025\nt=13:30\npm=1:30:15 PM\ndt=01.01.2026 06:00:00\nx=now\n");
    EXPECT_DOUBLE_EQ(ini.GetDateValue("D", "d", -1), 46022.0);  // days since 1899-12-30
    EXPECT_DOUBLE_EQ(ini.GetDateValue("D", "bad", -1), -1);
    EXPECT_DOUBLE_EQ(ini.GetTimeValue("D", "t", -1), 13.5 / 24);
    EXPECT_DOUBLE_EQ(ini.GetTimeValue("D", "pm", -1), (13 * 3600 + 30 * 60 + 15) / 86400.0);
    EXPECT_DOUBLE_EQ(ini.GetDateTimeValue("D", "dt", -1), 46023.25);
    EXPECT_DOUBLE_EQ(ini.GetDateTimeValue("D", "x", -1), -1);
    ini.SetDateValue("D", "w", 46022.75);
    ini.SetTimeValue("D", "v", 0.75);
    EXPECT_EQ(ini.GetValue("D", "w", ""), "31.12.2025");
    EXPECT_EQ(ini.GetValue("D", "v", ""), "18:00:00");
    ini.SetDateTimeValue("D", "u", 46023.25);
    EXPECT_DOUBLE_EQ(ini.GetDateTimeValue("D", "u", -1), 46023.25);
}

TEST(MemIni, FlushWritesTheFileNamedAtCreation) {
    testsupport::TempDir dir;
    const std::string path = dir.file("t.ini");
    {
        TsiMemIniFile ini(path);
        ini.SetValue("A", "k", "v");
        EXPECT_TRUE(ini.Changed());
        ini.Flush();
        EXPECT_FALSE(ini.Changed());
    }
    TsiMemIniFile again(path);
    EXPECT_EQ(again.GetValue("A", "k", ""), "v");
    EXPECT_EQ(testsupport::readFile(path), "[A]\r\nk=v\r\n\r\n");
}

}  // namespace
