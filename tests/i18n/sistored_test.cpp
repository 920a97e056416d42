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

// The component as a form's data carries it: the extended items (a
// collection of Identifier, PropertyType and ValuesEx), then the table.
TEST_F(Stored, FormDataStreamsTheExtendedItemsAndTheTable) {
    lang.Section(stHints) = {"Edit1\x01tip\x01"};
    auto& header = lang.ExtendedTranslations().Add();
    header.Identifier = "VTFans.Header.Columns[0].Text";
    header.PropertyType = TTypeKind::tkWString;
    header.Values = "Label\x01Etichetta\x01";
    auto& empty = lang.ExtendedTranslations().Add();
    empty.Identifier = "BTNOk.Left";
    empty.PropertyType = TTypeKind::tkInteger;

    const auto shortString = [](const std::string& s) { return static_cast<char>(s.size()) + s; };
    const auto binary = [](const std::string& s) {
        const auto n = static_cast<std::uint32_t>(s.size());
        return std::string{'\x0A', static_cast<char>(n & 0xFF), static_cast<char>(n >> 8 & 0xFF), static_cast<char>(n >> 16 & 0xFF),
                           static_cast<char>(n >> 24)} + s;
    };
    const std::string table = lang.WriteTranslationData();
    const std::string expected =
        "TPF0" + shortString("TsiLangRT") + shortString("siLangRT1") +
        shortString("ExtendedTranslations") + '\x0E' +
        '\x01' + shortString("Identifier") + '\x06' + shortString("VTFans.Header.Columns[0].Text") +
        shortString("PropertyType") + '\x07' + shortString("tkWString") +
        shortString("ValuesEx") + binary("Label\x01Etichetta\x01") + '\0' +
        '\x01' + shortString("Identifier") + '\x06' + shortString("BTNOk.Left") +
        shortString("PropertyType") + '\x07' + shortString("tkInteger") + '\0' +  // no values: no ValuesEx
        '\0' + shortString("TranslationData") + binary(table) + '\0' + '\0';
    const std::string data = lang.WriteFormData();
    EXPECT_EQ(data, expected);

    TsiLangRT copy{nullptr};
    copy.ReadFormData(data);
    EXPECT_EQ(copy.Section(stHints), TStringList{"Edit1\x01tip\x01"});
    ASSERT_EQ(copy.ExtendedTranslations().Count(), 2u);
    EXPECT_EQ(copy.ExtendedTranslations().Items(0).Identifier, "VTFans.Header.Columns[0].Text");
    EXPECT_EQ(copy.ExtendedTranslations().Items(0).PropertyType, TTypeKind::tkWString);
    EXPECT_EQ(copy.ExtendedTranslations().Items(0).Values, "Label\x01Etichetta\x01");
    EXPECT_EQ(copy.ExtendedTranslations().Items(1).PropertyType, TTypeKind::tkInteger);
    EXPECT_TRUE(copy.ExtendedTranslations().Items(1).Values.empty());

    // Cut anywhere, the stream is refused within its bytes.
    for (std::size_t size = 0; size < data.size(); ++size) {
        TsiLangRT cut{nullptr};
        EXPECT_THROW(cut.ReadFormData(std::string_view(data).substr(0, size)), std::runtime_error) << size;
    }
}

TEST(WideStringsAdapter, KeepsPiecesThatACarriageReturnEnds) {
    TsiWideStringsAdapter a;
    a.SetText(u"one\r\ntwo\rthree");
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Strings(0), u"one");
    EXPECT_EQ(a.Strings(1), u"two");
}

}  // namespace
