#include "i18ntest.h"

namespace {

using i18ntest::L;

class Stored : public i18ntest::FormTest {
protected:
    TsiLangRT lang{form.get()};
};

std::string Utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST_F(Stored, TheWriterEncodesLineBreaksAndWritesEverySection) {
    lang.Section(stHints) = {"Edit1\x01Tip\r\ntwo\x01"};
    lang.Section(stDlgsCaptions).clear();
    const std::string expected = "stCaptions\r\nstHints\r\nEdit1\x01Tip\x19\x1Atwo\x01\r\nstDisplayLabels\r\nstFonts\r\n"
                                 "stMultiLines\r\nstDlgsCaptions\r\nstStrings\r\nstOtherStrings\r\nstLocales\r\n"
                                 "stCollections\r\nstCharSets\r\n";
    EXPECT_EQ(lang.WriteTranslationData(), expected);

    TsiLangRT copy{nullptr};
    copy.ReadTranslationData(expected);
    EXPECT_EQ(copy.Section(stHints), TStringList{"Edit1\x01Tip\r\ntwo\x01"});
    EXPECT_TRUE(copy.Section(stDlgsCaptions).empty());
    EXPECT_TRUE(copy.Section(stCaptions).empty());
}

TEST_F(Stored, TheOwnersLineMovesToTheTop) {
    const std::string data = "junk\r\nstCaptions\r\nLabel1\x01" "A\x01\r\nTForm1\x01" "Form\x01\r\nstListView_TreeView_Items\r\nlost\x01\r\n"
                             "stHints\nX\x01h\x01\rstFonts";
    lang.ReadTranslationData(data);
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{"TForm1\x01" "Form\x01", "Label1\x01" "A\x01"}));
    EXPECT_EQ(lang.Section(stHints), TStringList{"X\x01h\x01"});
    EXPECT_EQ(lang.Section(stDlgsCaptions).size(), 15u);  // no block: kept

    lang.ReadTranslationData(Utf16(data));  // UTF-16 without a byte-order mark reads alike
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{"TForm1\x01" "Form\x01", "Label1\x01" "A\x01"}));
    lang.ReadTranslationData("s");  // too short: nothing changes
    EXPECT_EQ(lang.Section(stHints), TStringList{"X\x01h\x01"});
}

TEST_F(Stored, AnInheritedFormMergesItsLinesIntoTheAncestors) {
    lang.IsInheritedOwner = true;
    lang.Section(stCaptions) = {L({"Btn", "a", "b"}), L({"Other", "o", "p"})};
    lang.ReadTranslationData("stCaptions\r\nBTN\x01\x01" "B\x01" "C\x01\r\nNew\x01n\x01\r\n");
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{L({"Btn", "a", "B", "C"}), L({"Other", "o", "p"}), "New\x01n\x01"}));
}

TEST_F(Stored, UnicodeHeadersConvertEachColumnWithItsCharset) {
    SetLanguages(lang, 7);
    lang.Section(stCharSets) = {L({"TForm1", "DEFAULT_CHARSET", "", "", "", "", "", "RUSSIAN_CHARSET"})};
    auto& item = lang.ExtendedTranslations().Add();
    item.Identifier = "VTFans.Header.Columns[0].Text";
    item.ReadValuesEx(std::string("\xFF\xFE", 2) + Utf16("Fan\x01\x01\x01\x01\x01\x01") + std::string("\x12\x04\x01\x00", 4));
    std::u16string wide = u"stCaptions_Unicode\r\nLabel1\x01" u"Fan\x01\x01\x01\x01\x01\x01\x0412\x0435\x043D\x0442\x01\r\n";
    std::string raw;
    for (char16_t c : wide) {
        raw += static_cast<char>(c & 0xFF);
        raw += static_cast<char>(c >> 8);
    }
    lang.ReadTranslationData(raw);
    // "Вент" in code page 1251.
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label1", "Fan", "", "", "", "", "", "\xC2\xE5\xED\xF2"})});
    EXPECT_EQ(item.Values, L({"Fan", "", "", "", "", "", "\xC2"}));
}

TEST_F(Stored, ValuesExKeepsItsBytes) {
    TsiExtendedItem item;
    item.ReadValuesEx("NO28\x01");
    EXPECT_EQ(item.Values, "NO28\x01");  // leading letters are data
    EXPECT_TRUE(item.ValuesWide.empty());
    item.ReadValuesEx(std::string("\xFF\xFE" "2\0" "8\0" "\x01\0", 8));
    EXPECT_EQ(item.Values, "28\x01");
    EXPECT_EQ(item.ValuesWide, u"28\x01");
    item.ReadValuesEx("");
    EXPECT_EQ(item.Values, "");
    EXPECT_EQ(item.WriteValuesEx(), "");
}

TEST_F(Stored, WhatTheFormDataStores) {
    auto ancestorForm = i18ntest::MakeForm("TBaseForm");
    TsiLangRT ancestor{ancestorForm.get()};
    EXPECT_TRUE(lang.HasTranslationData(nullptr));
    EXPECT_FALSE(lang.HasTranslationData(&ancestor));
    lang.Section(stHints) = {"Edit1\x01tip\x01"};
    EXPECT_TRUE(lang.HasTranslationData(&ancestor));

    EXPECT_FALSE(lang.IsDoNotTranslateStored());
    EXPECT_TRUE(lang.IsExcludedPropertiesStored());
    EXPECT_FALSE(lang.IsSmartExcludePropsStored());
    EXPECT_FALSE(lang.IsExtendedTranslationsStored());
    TsiExtendedItem item, base;
    EXPECT_FALSE(item.IsValuesExStored(nullptr));
    item.Values = base.Values = "1\x01";
    EXPECT_TRUE(item.IsValuesExStored(nullptr));
    EXPECT_FALSE(item.IsValuesExStored(&base));
}

TEST(WideStringsAdapter, KeepsPiecesThatACarriageReturnEnds) {
    TsiWideStringsAdapter a;
    a.SetText(u"one\r\ntwo\rthree");
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Strings(0), u"one");
    EXPECT_EQ(a.Strings(1), u"two");
}

}  // namespace
