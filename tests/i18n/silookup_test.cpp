#include "i18n/memini.h"
#include "i18ntest.h"

namespace {

using i18ntest::L;

class StringTables : public i18ntest::FormTest {
protected:
    void Fill(TStringList lines, int languages = 2) {
        SetLanguages(lang, languages);
        lang.Section(stStrings) = std::move(lines);
        lang.HandleResourceStrings = true;
        lang.RebuildStringsTables();
    }
    TsiLangRT lang{form.get()};
};

TEST_F(StringTables, EmptyTablesAnswerEmptyOrTheSource) {
    Fill({});
    EXPECT_EQ(lang.StringsTable().GetTextByIdentifier("any", 1), "");
    EXPECT_EQ(lang.ResourceStringsTable().GetTextBySource("Source", 2), "Source");
}

TEST_F(StringTables, OneItemIsFoundAndNothingElse) {
    Fill({L({"Mid", "m", "mm"})});
    EXPECT_EQ(lang.StringsTable().GetTextByIdentifier("MID", 2), "mm");
    EXPECT_EQ(lang.StringsTable().GetTextByIdentifier("Aaa", 2), "");
    EXPECT_EQ(lang.StringsTable().GetTextByIdentifier("Zzz", 2), "");
}

TEST_F(StringTables, EveryItemIsFoundAfterTheSortTheLastOneToo) {
    TStringList lines;
    const std::string ids[] = {"kappa", "Alpha", "delta", "Omega", "beta", "Zeta", "gamma", "epsilon"};
    for (const auto& id : ids) lines.push_back(L({id, id + "-en", id + "-it"}));
    Fill(lines);
    for (int i = 1; i < lang.StringsTable().Count(); ++i)
        EXPECT_LT(CompareTextAscii(lang.StringsTable().Items(i - 1).Identifier, lang.StringsTable().Items(i).Identifier), 0);
    for (const auto& id : ids) EXPECT_EQ(lang.StringsTable().GetTextByIdentifier(LowerCase(id), 2), id + "-it");
    EXPECT_EQ(lang.StringsTable().GetTextByIdentifier("zzz", 1), "");
    EXPECT_EQ(lang.StringsTable().IndexOfIdentifier("OMEGA"), 6);
}

TEST_F(StringTables, SourcesMatchCaseSensitively) {
    Fill({L({"a", "Open", "Apri"}), L({"b", "Close", "Chiudi"}), L({"c", "Save", ""})});
    const auto& table = lang.ResourceStringsTable();
    EXPECT_EQ(table.GetTextBySource("Close", 2), "Chiudi");
    EXPECT_EQ(table.GetTextBySource("Save", 2), "");  // found, no text: the caller keeps its string
    EXPECT_EQ(table.GetTextBySource("open", 2), "open");
    EXPECT_EQ(table.GetTextBySource("Open", 2), "Apri");
}

TEST_F(StringTables, TheResourceColumnIsRangeChecked) {
    Fill({L({"a", "Open", "Apri"})});
    try {
        lang.SetResourceLanguageIndex(3);
        FAIL();
    } catch (const ELanguageError& e) {
        EXPECT_STREQ(e.what(), "3 - is not a valid property value!\rValue must be within [1..2]!");
    }
    lang.SetResourceLanguageIndex(2);
    EXPECT_EQ(lang.ResourceStringsTable().GetTextBySource("Apri", 1), "Open");
    lang.BeginLoading();
    lang.SetResourceLanguageIndex(0);  // stored while loading
    EXPECT_EQ(lang.ResourceLanguageIndex(), 0);
}

TEST_F(StringTables, TextsByIdentifierFromTheTableOrTheLines) {
    Fill({L({"Greeting", "Hello", "Ciao"}), "Short\x01" "only\x01"}, 3);
    lang.Section(stDlgsCaptions) = {"Warning\x01W\x01", "Next\x01N1\x01N2\x01N3\x01"};
    lang.SetActiveLanguage(2);
    EXPECT_EQ(lang.GetTextFromList(stStrings, "GREETING", false), "Ciao");
    lang.SetActiveLanguage(3);
    EXPECT_EQ(lang.GetTextFromList(stStrings, "greeting", false), "");
    EXPECT_EQ(lang.GetTextFromList(stStrings, "greeting", true), "Hello");
    EXPECT_EQ(lang.GetTextFromList(stDlgsCaptions, "warning", false), "");  // never the next line's text
    EXPECT_EQ(lang.GetTextFromList(stDlgsCaptions, "Next", false), "N3");
    EXPECT_EQ(lang.GetTextFromList(stStrings, "missing", true), "");
    lang.DoRaiseExceptions = true;
    try {
        lang.GetTextFromList(stStrings, "missing", true);
        FAIL();
    } catch (const ELanguageError& e) {
        EXPECT_STREQ(e.what(), "String identifier \"missing\" not found!");
    }
}

TEST_F(StringTables, TheHookTranslatesTheLibrarysMessages) {
    Fill({L({"m", "Language name shall be included in LangNames property!", "Nome di lingua sconosciuto"})});
    lang.Loaded();
    ASSERT_EQ(ResourceStringsComponent(), &lang);
    EXPECT_EQ(siconsts::LoadMessage(siconsts::TMessage::LanguageNotInNames),
              "Language name shall be included in LangNames property!");  // language 1: nothing looked up
    lang.SetActiveLanguage(2);
    EXPECT_EQ(siconsts::LoadMessage(siconsts::TMessage::LanguageNotInNames), "Nome di lingua sconosciuto");
    EXPECT_EQ(siconsts::LoadMessage(siconsts::TMessage::StringNotFound), "String identifier \"%s\" not found!");
}

TEST_F(StringTables, CommonSectionsComeFromAnotherLinkedForm) {
    TsiLangDispatcher dispatcher;
    dispatcher.SetLangNames({"English", "Italiano"});
    Fill({L({"Greeting", "Hello", "Ciao"})});
    lang.SetLangDispatcher(&dispatcher);
    auto dialog = i18ntest::MakeForm("TDialog");
    TsiLangRT shared{dialog.get()};
    shared.Options = loUseExtUDStrings | loUseExtCommonStrings;
    EXPECT_EQ(shared.GetTextFromList(stStrings, "greeting", false), "");  // no dispatcher yet
    shared.SetLangDispatcher(&dispatcher);
    dispatcher.SetActiveLanguage(2);
    EXPECT_EQ(shared.GetTextFromList(stStrings, "greeting", false), "Ciao");
    EXPECT_EQ(shared.GetTextFromList(stDlgsCaptions, "Warning", false), "");
    EXPECT_EQ(shared.GetTextFromList(stDlgsCaptions, "Warning", true), "Warning");
}

TEST(DecodeCEscapes, EscapesOfEveryKind) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\\tb\\x41\\101", "a\tbAA"},
        {"\\\\", "\\"},
        {"end\\x", "end\\x"},
        {"\\xg", "\\xg"},
        {"\\777", "\xFF"},
        {"\\q\\", "\\q\\"},
        {"\\\"\\'\\?\\a\\b\\f\\n\\r\\v", "\"'?\a\b\f\n\r\v"},
        {"\\x4142", "A42"},  // at most two hex digits
        {"\\0", std::string(1, '\0')},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(DecodeCEscapes(in), out) << in;
}

}  // namespace
