#include "i18ntest.h"

namespace {

using i18ntest::L;

class Table : public i18ntest::FormTest {
protected:
    TsiLangRT lang{form.get()};
};

TEST_F(Table, LoweringTheLanguageCountCutsLongerLinesOnly) {
    lang.SetNumOfLanguages(3);
    lang.Section(stCaptions) = {L({"id", "a", "b", "c"}), L({"id2", "a"}), "id3\x01" "a\x01" "b\x01" "c"};
    lang.SetNumOfLanguages(2);
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{L({"id", "a", "b"}), L({"id2", "a"}), L({"id3", "a", "b"})}));
    EXPECT_EQ(lang.LangNames(), (TStringList{"Language N1", "Language N2"}));
    try {
        lang.SetNumOfLanguages(0);
        FAIL();
    } catch (const ELanguageError& e) {
        EXPECT_STREQ(e.what(), "0 - is not a valid property value !\rValue must be more than ZERO !");
    }
    EXPECT_EQ(lang.NumOfLanguages(), 2);
}

TEST_F(Table, RaisingTheLanguageCountPadsTheStringSections) {
    lang.SetNumOfLanguages(17);
    const std::string full17 = "Msg" + std::string(18, '\x01');
    lang.Section(stStrings) = {full17, "Short\x01" "a\x01"};
    lang.Section(stCaptions) = {full17};
    lang.SetNumOfLanguages(18);
    EXPECT_EQ(lang.Section(stStrings), (TStringList{"Msg" + std::string(19, '\x01'), "Short\x01" "a" + std::string(18, '\x01')}));
    EXPECT_EQ(lang.Section(stCaptions), TStringList{full17});  // only Strings, DlgsCaptions and Locales
    EXPECT_EQ(lang.Section(stDlgsCaptions)[0], "Warning\x01Warning" + std::string(18, '\x01'));
}

TEST_F(Table, MergeLinesTakesNewTextsAndKeepsOldOnes) {
    EXPECT_EQ(MergeLines(L({"id", "a", "b"}), "id\x01\x01" "B\x01" "C\x01", '\x01'), L({"id", "a", "B", "C"}));
    EXPECT_EQ(MergeLines(L({"id", "a"}), L({"ID"}), '\x01'), L({"id", "a"}));
}

TEST_F(Table, SetTranslationRewritesOneFieldOfTheFirstMatchingLine) {
    lang.SetNumOfLanguages(3);
    lang.Section(stHints) = {L({"Edit1", "a", "b", "c"}), L({"edit1", "x", "y", "z"}), "Short\x01" "a"};
    lang.SetTranslation(stHints, "NEW", 2, "EDIT1");
    lang.SetTranslation(stHints, "T", 3, "Short");  // fewer delimiters than the language: unchanged
    lang.SetTranslation(stHints, "T", 1, "Short");  // ends inside field 1
    EXPECT_EQ(lang.Section(stHints), (TStringList{L({"Edit1", "a", "NEW", "c"}), L({"edit1", "x", "y", "z"}), "Short\x01T"}));
}

TEST_F(Table, AutoSkipEmptiesDropsLinesWithoutAnyText) {
    SetLanguages(lang, 18);
    form->Component("X", "TLabel").Str("Caption", "x");
    form->Component("Y", "TLabel").Str("Caption", "y");
    lang.Section(stCaptions) = {"X" + std::string(19, '\x01'), "Y" + std::string(17, '\x01')};
    lang.CompactSection(stCaptions);
    EXPECT_EQ(lang.Section(stCaptions), TStringList{"Y" + std::string(17, '\x01')});
    EXPECT_TRUE(lang.RemovedLines().empty());
}

TEST_F(Table, CompactingDropsLinesOfMissingComponentsAndCollectionItems) {
    SetLanguages(lang, 2);
    auto& view = form->Component("LVSmartAttrs", "TListView");
    auto& columns = view.Object("Columns", "TListColumns", {THostClass::Collection});
    for (int i = 0; i < 3; ++i) columns.NewItem("TListColumn").Str("Caption", "c");
    lang.Section(stCollections) = {L({"LVSmartAttrs.Columns[5].Caption", "x", "y"}), L({"LVSmartAttrs.Columns[2].Caption", "x", "y"}),
                                   L({"Gone.Columns[0].Caption", "x", "y"})};
    lang.Section(stCaptions) = {L({"TForm1", "Form", "Formo"}), L({"Gone", "g", "h"}), L({"LVSmartAttrs", "v", "w"})};
    lang.CompactSection(stCollections);
    lang.CompactSection(stCaptions);
    EXPECT_EQ(lang.Section(stCollections), TStringList{L({"LVSmartAttrs.Columns[2].Caption", "x", "y"})});
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{L({"TForm1", "Form", "Formo"}), L({"LVSmartAttrs", "v", "w"})}));
    EXPECT_EQ(lang.RemovedLines(), (TStringList{L({"LVSmartAttrs.Columns[5].Caption", "x", "y"}),
                                                L({"Gone.Columns[0].Caption", "x", "y"}), L({"Gone", "g", "h"})}));
}

TEST_F(Table, CaptionsTakenFromTheirActionAreDropped) {
    SetLanguages(lang, 2);
    auto& action = form->Component("ACExit", "TAction", {THostClass::Action});
    action.Str("Caption", "Exit");
    auto& item = form->Component("MIExit", "TMenuItem");
    item.Str("Caption", "Exit");
    item.Add("Action", TTypeKind::tkClass, "TBasicAction").Obj = &action;
    lang.Section(stCaptions) = {L({"ACExit", "Exit", "Esci"}), L({"MIExit", "Exit", "Esci"})};
    lang.CompactSection(stCaptions);
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"ACExit", "Exit", "Esci"})});
}

TEST_F(Table, ExclusionsOfTheMainWindow) {
    lang.SmartExcludeProps = {"EDChipSet.Text", "LABWebsiteURL.Caption", "TForm1.Caption"};
    form->Component("LABWebsiteURL", "TLabel");
    form->Component("Edit1", "TEdit");
    EXPECT_TRUE(lang.IsPropertyExcluded("LABWebsiteURL", "Caption"));
    EXPECT_TRUE(lang.IsPropertyExcluded("Edit1", "Name"));
    EXPECT_FALSE(lang.IsPropertyExcluded("Edit1", "Font.Name"));
    EXPECT_TRUE(lang.IsPropertyExcluded("Edit1", "HelpKeyword"));
    lang.SetExcludedProperties({"Font"});
    EXPECT_TRUE(lang.IsPropertyExcluded("Edit1", "Font.Name"));
    lang.SmartExcludeProps.push_back("!TEdit.Hint");
    EXPECT_TRUE(lang.IsPropertyExcluded("edit1", "Hint"));
}

TEST_F(Table, PurgingExcludedLines) {
    SetLanguages(lang, 2);
    lang.SmartExcludeProps = {"Edit1.Hint", "Memo1.Lines"};
    lang.Section(stHints) = {L({"Edit1", "h", "i"}), L({"Edit2", "h", "i"})};
    lang.Section(stMultiLines) = {L({"Memo1.Lines", "a", "b"}), L({"Memo2.Lines", "a", "b"})};
    lang.Section(stCollections) = {L({"LV.Columns[0].HelpKeyword", "a", "b"}), L({"LV.Columns[0].Caption", "a", "b"})};
    lang.Section(stFonts) = {L({"Edit1", "Arial", "Arial"})};
    lang.SetExcludedProperties({"Font", "HelpKeyword"});
    EXPECT_EQ(lang.Section(stHints), TStringList{L({"Edit2", "h", "i"})});
    EXPECT_EQ(lang.Section(stMultiLines), TStringList{L({"Memo2.Lines", "a", "b"})});
    EXPECT_EQ(lang.Section(stCollections), TStringList{L({"LV.Columns[0].Caption", "a", "b"})});
    EXPECT_TRUE(lang.Section(stFonts).empty());
}

TEST_F(Table, RenamesFollowComponentAndForm) {
    SetLanguages(lang, 2);
    lang.Section(stCaptions) = {L({"TForm1", "F", "G"}), L({"Btn", "a", "b"}), L({"Btn2", "c", "d"})};
    lang.Section(stMultiLines) = {L({"Btn.Items", "x", "y"})};
    lang.SmartExcludeProps = {"Btn.Hint"};
    lang.ExtendedTranslations().Add().Identifier = "Btn.Left";
    lang.RenameComponent("Btn", "OK");
    lang.RenameComponent("Form1", "Main");
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{L({"TMain", "F", "G"}), L({"OK", "a", "b"}), L({"Btn2", "c", "d"})}));
    EXPECT_EQ(lang.Section(stMultiLines), TStringList{L({"OK.Items", "x", "y"})});
    EXPECT_EQ(lang.SmartExcludeProps, TStringList{"OK.Hint"});
    EXPECT_EQ(lang.ExtendedTranslations().Items(0).Identifier, "OK.Left");
}

TEST_F(Table, DialogCaptionsAt15And86) {
    ASSERT_EQ(lang.Section(stDlgsCaptions).size(), 15u);
    EXPECT_EQ(lang.Section(stDlgsCaptions)[12], "No To All\x01N&o to All\x01");
    EXPECT_EQ(lang.Section(stDlgsCaptions)[13], "Yes To All\x01Yes to &All\x01");
    lang.SetNeedAllDlgs(true);
    ASSERT_EQ(lang.Section(stDlgsCaptions).size(), 86u);
    EXPECT_EQ(lang.Section(stDlgsCaptions)[15], "Open\x01&Open\x01");
    EXPECT_EQ(lang.Section(stDlgsCaptions)[85], "Find\x01" "Find\x01");
    lang.SetNeedAllDlgs(false);
    EXPECT_EQ(lang.Section(stDlgsCaptions).size(), 15u);
}

TEST_F(Table, ColumnsAreDeletedAndMoved) {
    TStringList lines{L({"id", "a", "b", "c"})};
    TsiCustomLang::MoveColumn(lines, 1, 3, '\x01');
    EXPECT_EQ(lines, TStringList{L({"id", "b", "c", "a"})});
    TsiCustomLang::DeleteColumn(lines, 2, '\x01');
    EXPECT_EQ(lines, TStringList{L({"id", "b", "a", ""})});
}

TEST_F(Table, TokenHelpers) {
    const std::string line = "LV.Columns[2].Caption\x01" "x\x01";
    EXPECT_EQ(GetToken(1, line, ".[\x01"), "LV");
    EXPECT_EQ(GetToken(2, line, ".[\x01"), "Columns");
    EXPECT_EQ(GetToken(4, line, ".[\x01"), "Caption");
    EXPECT_EQ(GetToken(9, line, ".[\x01"), "");
    EXPECT_EQ(TokenStart(4, "id\x01" "a\x01" "b\x01" "c\x01", "\x01"), 8u);
    EXPECT_EQ(CountDelimiters("a.b\x01", ".\x01"), 2u);
    EXPECT_EQ(TrimDelimiters("\x01\x01" "a\x01", "\x01"), "a");
    EXPECT_EQ(SplitText("a::b::", "::"), (TStringList{"a", "b"}));
    EXPECT_EQ(JoinTexts({"a", "", "b"}, "-", true), "a-b");
    EXPECT_EQ(ReplaceText("aXaX", "X", "Y", false), "aYaX");
}

TEST_F(Table, TabDelimitedLinesBecomeTheDelimiterAtTheEndOfLoading) {
    lang.BeginLoading();
    lang.SetNumOfLanguages(2);
    lang.Section(stCaptions) = {"TForm1\tF\tG\t"};
    lang.Section(stHints) = {"TForm1\x01h\tmixed\x01"};
    lang.Loaded();
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"TForm1", "F", "G"})});
    EXPECT_EQ(lang.Section(stHints), TStringList{L({"TForm1", "h", "mixed"})});
}

}  // namespace
