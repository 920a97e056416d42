#include "i18ntest.h"

namespace {

using i18ntest::L;

struct TRoundTrip {
    std::uint8_t Charset;
    unsigned CodePage;
    std::u16string Text;
    std::string Bytes;
};

TEST(Charsets, CodePagesRoundTripRealText) {
    const TRoundTrip cases[] = {
        {204, 1251, u"Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {161, 1253, u"Καλημέρα", "\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1"},
        {238, 1250, u"Zażółć", "Za\xBF\xF3\xB3\xE6"},
        {128, 932, u"日本", "\x93\xFA\x96\x7B"},
        {136, 950, u"中文", "\xA4\xA4\xA4\xE5"},
        {129, 949, u"한국", "\xC7\xD1\xB1\xB9"},
        {0, 1252, u"Größe", "Gr\xF6\xDF" "e"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CharsetCodePage(c.Charset), c.CodePage);
        EXPECT_EQ(WideToAnsiByCharset(c.Text, c.Charset), c.Bytes) << c.CodePage;
        EXPECT_EQ(AnsiToWideByCharset(c.Bytes, c.Charset), c.Text) << c.CodePage;
        EXPECT_EQ(Utf8ToAnsiByCharset(AnsiToUtf8ByCharset(c.Bytes, c.Charset), c.Charset), c.Bytes) << c.CodePage;
    }
}

TEST(Charsets, TheTableOfCodePages) {
    const std::pair<std::uint8_t, unsigned> rows[] = {{0, 1252},   {238, 1250}, {204, 1251}, {161, 1253}, {162, 1254},
                                                      {177, 1255}, {178, 1256}, {186, 1257}, {163, 1258}, {222, 874},
                                                      {128, 932},  {134, 936},  {129, 949},  {136, 950},  {130, 1361},
                                                      {2, 42},     {1, 0},      {77, 0},     {255, 0}};
    for (const auto& [charset, cp] : rows) EXPECT_EQ(CharsetCodePage(charset), cp) << int(charset);
}

TEST(Charsets, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(WideToAnsiByCharset(u"aПb日", DEFAULT_CHARSET), "a?b?");  // DEFAULT is 1252 here
    EXPECT_EQ(WideToAnsiByCharset(u"x\U0001F600y", 204), "x?y");       // one mark for a surrogate pair
    EXPECT_EQ(WideToAnsiByCharset(u"", 204), "");
    // Symbol: bytes from 20h map to the private area, lower ones stay.
    EXPECT_EQ(AnsiToWideByCharset("\x10" "A\xFF", 2), u"\x10\xF041\xF0FF");
    EXPECT_EQ(WideToAnsiByCharset(u"\xF041z", 2), "A?");
}

TEST(Charsets, NamesCompareExactly) {
    EXPECT_EQ(CharsetByName("RUSSIAN_CHARSET", false), 204);
    EXPECT_EQ(CharsetByName("russian_charset", false), std::nullopt);
    EXPECT_EQ(CharsetByName("russian_charset", true), 204);
    EXPECT_EQ(CharsetByName("RUSIAN_CHARSET", true), std::nullopt);
}

class LanguageCharsets : public i18ntest::FormTest {};

TEST_F(LanguageCharsets, EachLanguageTakesItsColumnsCharset) {
    TsiLangRT lang{form.get()};
    SetLanguages(lang, 18);
    TStringList fields{"TForm1"};
    for (auto name : siconsts::LanguageCharsetNames) fields.emplace_back(name);
    fields[8] = "german_charset";  // misspelt: DEFAULT
    lang.Section(stCharSets) = {JoinTexts(fields, "\x01", false) + '\x01'};
    lang.RebuildLanguageCharsets();
    const std::vector<std::uint8_t> expected{1, 1, 1, 1, 238, 238, 204, 1, 1, 1, 238, 1, 238, 238, 128, 136, 0, 129};
    EXPECT_EQ(lang.LanguageCharsets(), expected);
    lang.SetActiveLanguage(7);
    EXPECT_EQ(lang.CurrentCharset(), 204);
    EXPECT_EQ(CharsetCodePage(lang.CurrentCharset()), 1251u);
}

TEST_F(LanguageCharsets, AFormWithoutCharsetsBorrowsFromTheLastLinkedForm) {
    TsiLangDispatcher dispatcher;
    dispatcher.SetLangNames(TStringList(siconsts::LanguageNames.begin(), siconsts::LanguageNames.end()));
    TsiLangRT mainLang{form.get()};
    mainLang.Section(stCharSets) = {L({"TForm1", "", "", "", "", "", "", "RUSSIAN_CHARSET"})};
    mainLang.SetLangDispatcher(&dispatcher);
    auto dialog = i18ntest::MakeForm("TCVConfigForm");
    TsiLangRT dialogLang{dialog.get()};
    dialogLang.SetLangDispatcher(&dispatcher);
    EXPECT_EQ(dialogLang.GetLanguageCharset(7), 204);
    EXPECT_EQ(dialogLang.CharsetSource(), &mainLang);
}

TEST_F(LanguageCharsets, StoreAsUtf8OnAndOffRestoresTheAnsiTexts) {
    TsiLangRT lang{form.get()};
    SetLanguages(lang, 7);
    const std::string charsets = L({"TForm1", "", "", "", "", "", "", "RUSSIAN_CHARSET"});
    const std::string fonts = L({"TForm1", "Tahoma", "", "", "", "", "", "Arial\xC0"});
    lang.Section(stCharSets) = {charsets};
    lang.Section(stFonts) = {fonts};
    lang.Section(stCaptions) = {L({"Label1", "Fan", "", "", "", "", "", "\xC2\xE5\xED\xF2"})};
    auto& item = lang.ExtendedTranslations().Add();
    item.Values = L({"1", "", "", "", "", "", "\xC2"});

    lang.SetStoreAsUTF8(true);
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label1", "Fan", "", "", "", "", "", "Вент"})});
    EXPECT_EQ(item.Values, L({"1", "", "", "", "", "", "В"}));
    EXPECT_EQ(lang.FindField(stCaptions, "label1", 7), "\xC2\xE5\xED\xF2");  // read back in the code page
    EXPECT_EQ(lang.Section(stFonts), TStringList{fonts});
    lang.SetStoreAsUTF8(false);
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label1", "Fan", "", "", "", "", "", "\xC2\xE5\xED\xF2"})});
    EXPECT_EQ(lang.Section(stCharSets), TStringList{charsets});
    EXPECT_EQ(item.Values, L({"1", "", "", "", "", "", "\xC2"}));
}

TEST_F(LanguageCharsets, WideStringPropertiesReadThroughTheCurrentCharset) {
    TsiLangRT lang{form.get()};
    form->Add("Title", TTypeKind::tkWString).Wide = u"Ж日";
    EXPECT_EQ(lang.GetStringPropText(form.get(), "Title"), "??");
    lang.SetStoreAsUTF8(true);
    EXPECT_EQ(lang.GetStringPropText(form.get(), "Title"), "Ж日");
    EXPECT_EQ(lang.GetStringPropText(nullptr, "Title"), "");
}

}  // namespace
