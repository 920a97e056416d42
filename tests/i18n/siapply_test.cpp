#include "base/cvformat.h"
#include "i18ntest.h"

namespace {

using i18ntest::L;
using i18ntest::TFakeObject;

// Fields of languages 1..18 with the given ones set.
std::string Line18(const std::string& id, std::initializer_list<std::pair<int, std::string>> texts) {
    std::vector<std::string> fields(18);
    for (const auto& [n, text] : texts) fields[static_cast<std::size_t>(n - 1)] = text;
    std::string line = id + '\x01';
    for (const auto& f : fields) line += f + '\x01';
    return line;
}

class Apply : public i18ntest::FormTest {
protected:
    Apply() { SetLanguages(lang, 18); }
    TsiLangRT lang{form.get()};
};

TEST_F(Apply, CaptionsOfTheActiveLanguageAndEmptyFields) {
    auto& exit = form->Component("ACExit", "TAction", {THostClass::Action});
    exit.Str("Caption", "Exit");
    auto& about = form->Component("ACAbout", "TAction", {THostClass::Action});
    about.Str("Caption", "About");
    lang.Section(stCaptions) = {Line18("ACExit", {{1, "Exit"}, {2, "Esci"}, {8, "Beenden"}}), Line18("ACAbout", {{1, "About"}, {2, "Info"}})};
    lang.SetActiveLanguage(2);
    EXPECT_EQ(exit.GetStr("Caption"), "Esci");
    EXPECT_EQ(about.GetStr("Caption"), "Info");
    lang.SetActiveLanguage(8);  // no German "About": keeps the Italian text
    EXPECT_EQ(exit.GetStr("Caption"), "Beenden");
    EXPECT_EQ(about.GetStr("Caption"), "Info");
    lang.TranslateType = TTranslateType::ttGetDefault;
    lang.SetActiveLanguage(2);
    lang.SetActiveLanguage(8);
    EXPECT_EQ(about.GetStr("Caption"), "About");
    EXPECT_EQ(lang.Language(), "German");
}

TEST_F(Apply, TheOwnersCaptionHintAndFont) {
    lang.Section(stCaptions) = {Line18("TForm1", {{1, "Caldavor"}, {2, "Caldavor IT"}})};
    lang.Section(stHints) = {Line18("TForm1", {{2, "Suggerimento"}})};
    lang.Section(stFonts) = {Line18("TForm1", {{1, "DejaVu Sans"}, {2, "DejaVu Sans"}, {15, "WenQuanYi Micro Hei"}})};
    lang.Section(stCharSets) = {Line18("TForm1", {{7, "RUSSIAN_CHARSET"}, {15, "SHIFTJIS_CHARSET"}})};
    lang.SmartExcludeProps = {"TForm1.Caption"};
    lang.SetActiveLanguage(2);
    EXPECT_EQ(form->GetStr("Caption"), "Caldavor");  // excluded on the main window
    EXPECT_EQ(form->GetStr("Hint"), "Suggerimento");
    EXPECT_EQ(form->Prop("Font").Obj->Face, "DejaVu Sans");
    lang.SetActiveLanguage(15);
    EXPECT_EQ(form->Prop("Font").Obj->Face, "WenQuanYi Micro Hei");
    EXPECT_EQ(form->Prop("Font").Obj->Cs, 128);
    lang.SmartExcludeProps.clear();
    lang.SetActiveLanguage(2);
    EXPECT_EQ(form->GetStr("Caption"), "Caldavor IT");
}

TEST_F(Apply, ParentFontKeepsTheParentsFont) {
    auto& own = form->Component("LABTitle", "TLabel");
    own.Int("ParentFont", 0);
    TFakeObject& ownFont = own.Font();
    auto& inherited = form->Component("LABInfo", "TLabel");
    inherited.Int("ParentFont", 1);
    TFakeObject& inheritedFont = inherited.Font();
    lang.Section(stFonts) = {Line18("LABTitle", {{7, "DejaVu Sans"}}), Line18("LABInfo", {{7, "DejaVu Sans"}})};
    lang.Section(stCharSets) = {Line18("LABTitle", {{7, "russian_charset"}}), Line18("LABInfo", {{7, "RUSSIAN_CHARSET"}})};
    lang.SetActiveLanguage(7);
    EXPECT_EQ(ownFont.Face, "DejaVu Sans");
    EXPECT_EQ(ownFont.Cs, 204);
    EXPECT_EQ(own.Prop("Font").Ord, 1);  // the font was written back
    EXPECT_EQ(inheritedFont.Face, "Tahoma");
    EXPECT_EQ(inheritedFont.Cs, 1);
}

TEST_F(Apply, MultiLineListsAreReplacedInPlace) {
    auto& combo = form->Component("CBChartElements", "TComboBox", {THostClass::Control, THostClass::ListControl});
    combo.Int("ItemIndex", 1);
    TFakeObject& items = combo.Object("Items", "TStrings", {THostClass::Strings});
    items.Lines = {"a", "b", "c", "d"};
    items.IsSorted = true;
    lang.Section(stMultiLines) = {Line18("CBChartElements.Items", {{1, "a,b,c,d"}, {2, "temperatures,\"fan speeds\",voltages"}})};
    lang.SetActiveLanguage(2);
    EXPECT_EQ(items.Lines, (std::vector<std::string>{"temperatures", "fan speeds", "voltages"}));
    EXPECT_EQ(combo.GetOrd("ItemIndex"), 1);
    EXPECT_TRUE(items.IsSorted);
    items.Puts = 0;
    lang.SetActiveLanguage(3);  // empty Spanish field
    lang.SetActiveLanguage(2);  // same three items: untouched
    EXPECT_EQ(items.Puts, 0);
}

TEST_F(Apply, CollectionItemsByPath) {
    auto& view = form->Component("LVSmartAttrs", "TListView");
    TFakeObject& columns = view.Object("Columns", "TListColumns", {THostClass::Collection});
    for (int i = 0; i < 3; ++i) columns.NewItem("TListColumn").Str("Caption", "Col" + std::to_string(i));
    lang.Section(stCollections) = {Line18("LVSmartAttrs.Columns[2].Caption", {{2, "Valore"}}),
                                   Line18("LVSmartAttrs.Columns[1].NoSuchProperty", {{2, "x"}}),
                                   Line18("LVSmartAttrs.Columns[0].Caption", {{2, "Attributo"}})};
    lang.SetActiveLanguage(2);
    EXPECT_EQ(columns.Items[2]->GetStr("Caption"), "Valore");
    EXPECT_EQ(columns.Items[0]->GetStr("Caption"), "Attributo");
    EXPECT_EQ(columns.Items[1]->GetStr("Caption"), "Col1");
    EXPECT_EQ(lang.Section(stCollections).size(), 2u);  // the unknown item property is gone
}

TEST_F(Apply, ExtendedItemsInLanguagesOneTwoAndEighteen) {
    auto& button = form->Component("BTNSendDebug", "TButton");
    button.Int("Left", 276);
    auto& item = lang.ExtendedTranslations().Add();
    item.Identifier = "BTNSendDebug.Left";
    item.PropertyType = TTypeKind::tkInteger;
    item.Values = "276\x01" "288\x01" "276\x01";
    for (int i = 0; i < 14; ++i) item.Values += "276\x01";  // 17 values
    lang.SetActiveLanguage(2);
    EXPECT_EQ(button.GetOrd("Left"), 288);
    lang.SetActiveLanguage(3);
    EXPECT_EQ(button.GetOrd("Left"), 276);
    lang.SetActiveLanguage(2);
    lang.SetActiveLanguage(18);  // no Korean value: unchanged
    EXPECT_EQ(button.GetOrd("Left"), 288);
    lang.TranslateType = TTranslateType::ttGetDefault;
    lang.SetActiveLanguage(1);
    lang.SetActiveLanguage(2);
    lang.SetActiveLanguage(18);
    EXPECT_EQ(button.GetOrd("Left"), 276);
}

TEST_F(Apply, ARussianHeaderArrivesAsWideText) {
    auto& tree = form->Component("VTFans", "TVirtualStringTree");
    TFakeObject& header = tree.Object("Header", "TVTHeader");
    TFakeObject& columns = header.Object("Columns", "TVirtualTreeColumns", {THostClass::Collection});
    columns.NewItem("TVirtualTreeColumn").Add("Text", TTypeKind::tkWString).Wide = u"Fan";
    lang.Section(stCharSets) = {Line18("TForm1", {{7, "RUSSIAN_CHARSET"}})};
    auto& item = lang.ExtendedTranslations().Add();
    item.Identifier = "VTFans.Header.Columns[0].Text";
    item.Values = "Fan\x01\x01\x01\x01\x01\x01\xC2\xE5\xED\xF2\x01";
    lang.SetActiveLanguage(7);
    EXPECT_EQ(columns.Items[0]->GetWide("Text"), u"Вент");
    EXPECT_EQ(lang.GetPathPropertyText("VTFans.Header.Columns[0].Text"), "\xC2\xE5\xED\xF2");
    EXPECT_EQ(lang.GetPathPropertyKind("VTFans.Header.Columns[0].Text"), TTypeKind::tkWString);
    EXPECT_EQ(lang.GetPathPropertyKind("VTFans.Nothing.Columns[0].Text"), TTypeKind::tkUnknown);
    lang.SetPathPropertyText("Missing.Header.Text", "x");  // skipped
}

TEST_F(Apply, TypedPathValues) {
    auto& panel = form->Component("Panel1", "TPanel");
    auto& align = panel.Add("Align", TTypeKind::tkEnumeration);
    align.Names = {"alNone", "alTop", "alBottom"};
    auto& anchors = panel.Add("Anchors", TTypeKind::tkSet);
    anchors.Names = {"akLeft", "akTop", "akRight", "akBottom"};
    panel.Add("Ratio", TTypeKind::tkFloat).Float = 1;
    lang.SetPathPropertyText("Panel1.Align", "alBottom");
    lang.SetPathPropertyText("Panel1.Align", "alNowhere");  // unknown: kept
    lang.SetPathPropertyText("Panel1.Anchors", "akLeft,akRight");
    lang.SetPathPropertyText("Panel1.Ratio", "2.5");
    lang.SetPathPropertyText("TForm1.Caption", "Root");
    EXPECT_EQ(lang.GetPathPropertyText("Panel1.Align"), "alBottom");
    EXPECT_EQ(lang.GetPathPropertyText("Panel1.Anchors"), "akLeft,akRight");
    EXPECT_DOUBLE_EQ(panel.GetFloat("Ratio"), 2.5);
    EXPECT_EQ(form->GetStr("Caption"), "Root");
}

TEST_F(Apply, CapturingExtendedValuesAtDesignTime) {
    auto& button = form->Component("Btn", "TButton");
    button.Int("Width", 75);
    lang.ExtendedTranslations().Add() = {"Btn.Width", "75\x01" "80\x01", TTypeKind::tkInteger, {}};
    lang.ExtendedTranslations().Add() = {"Gone.Width", "1\x01", TTypeKind::tkInteger, {}};
    lang.SetNumOfLanguages(3);
    lang.SetActiveLanguage(2);
    button.SetOrd("Width", 90);
    lang.CaptureExtendedValues();
    ASSERT_EQ(lang.ExtendedTranslations().Count(), 1u);
    EXPECT_EQ(lang.ExtendedTranslations().Items(0).Values, "75\x01" "90\x01\x01");
}

TEST_F(Apply, DesignTimeRemovalOfAComponentsLines) {
    form->IsDesigning = true;
    auto& label = form->Component("Label1", "TLabel");
    lang.Section(stCaptions) = {Line18("Label1", {{1, "a"}}), Line18("Label10", {{1, "b"}})};
    lang.Section(stMultiLines) = {Line18("Label1.Items", {{1, "a"}})};
    lang.SetDoNotTranslate({"Label1"});
    EXPECT_EQ(lang.Section(stCaptions), TStringList{Line18("Label10", {{1, "b"}})});
    EXPECT_TRUE(lang.Section(stMultiLines).empty());
    lang.DeleteEntry(stCaptions, "Label10", stCaptions, "");
    EXPECT_TRUE(lang.Section(stCaptions).empty());
    (void)label;
}

TEST_F(Apply, DefaultLanguageFillsEmptyTexts) {
    auto& label = form->Component("Label1", "TLabel");
    label.Str("Caption", "Hello");
    lang.Section(stCaptions) = {Line18("Label1", {{1, "Hello"}, {2, "Ciao"}})};
    lang.SetUseDefaultLanguage(true);
    lang.SetDefaultLanguage(2);
    lang.SetActiveLanguage(5);
    EXPECT_EQ(label.GetStr("Caption"), "Ciao");
}

TEST_F(Apply, TestModeDistortsTheFirstLanguagesTextOnly) {
    TsiLangDispatcher dispatcher;
    dispatcher.SetLangNames(lang.LangNames());
    lang.SetLangDispatcher(&dispatcher);
    auto& label = form->Component("Label1", "TLabel");
    label.Str("Caption", "Fan Speed");
    auto& other = form->Component("Label2", "TLabel");
    other.Str("Caption", "x");
    other.Int("ParentFont", 0);
    TFakeObject& font = other.Font();
    lang.Section(stCaptions) = {Line18("Label1", {{1, "Fan Speed"}}), Line18("Label2", {{1, "Ab"}, {3, "Cd"}})};
    lang.Section(stFonts) = {Line18("Label2", {{1, "Arial"}})};
    dispatcher.TestModeInfo.Active = true;
    dispatcher.TestModeInfo.Kind = TTestModeKind::tmkFlipCase;
    dispatcher.SetActiveLanguage(3);
    EXPECT_EQ(label.GetStr("Caption"), "fAN sPEED");
    EXPECT_EQ(other.GetStr("Caption"), "Cd");
    EXPECT_EQ(font.Face, "Tahoma");  // fonts are never distorted
    dispatcher.TestModeInfo.Kind = TTestModeKind::tmkExpandChars;
    dispatcher.TestModeInfo.ExpandCharsPercent = 50;
    dispatcher.SetActiveLanguage(4);
    EXPECT_EQ(label.GetStr("Caption"), "Fan Sp*e*e*d*");
}

TEST(TestMode, Distortions) {
    EXPECT_EQ(ExpandChars(u"abcd", u'*', 50), u"abc*d*");
    EXPECT_EQ(ExpandChars(u"abcd", u'*', 100), u"a*b*c*d*");
    EXPECT_EQ(ExpandChars(u"%d items", u'*', 100), u"%d items");
    EXPECT_EQ(FlipCase(u"Größe Ж"), u"gRÖßE ж");
    TTestModeInfo info;
    info.Width = [](const std::u16string& t) { return static_cast<int>(t.size()) * 5; };
    info.ExpandWidthPercent = 0;
    EXPECT_EQ(TestModeText(info, "abc", 1), "ABC");
    info.ExpandWidthPercent = 100;
    EXPECT_EQ(TestModeText(info, "abc", 1), "AB***C");
    info.Width = [](const std::u16string&) { return 1; };  // a measure that never grows
    EXPECT_LT(TestModeText(info, "abc", 1).size(), 5000u);
}

TEST_F(Apply, LocaleLinesOverrideTheUserFormatOnly) {
    lang.Section(stLocales) = {Line18("Decimal Separator", {{1, "."}, {2, ","}}), Line18("Short Month Names", {{2, "gen,feb"}})};
    lang.SetActiveLanguage(2);
    EXPECT_EQ(machine->locale().decimalSeparator, '.');  // ChangeLocales off
    lang.SetChangeLocales(true);
    lang.SetActiveLanguage(1);
    lang.SetActiveLanguage(2);
    EXPECT_EQ(machine->locale().decimalSeparator, ',');
    EXPECT_EQ(machine->locale().shortMonthNames[0], "gen");
    EXPECT_EQ(machine->locale().shortMonthNames[2], "Mar");
    EXPECT_EQ(cvformat::Format("%.1f", {1.5}, cvformat::Invariant()), "1.5");
}

TEST_F(Apply, ChangeLocalesFillsAnEmptySectionFromTheCapturedLocale) {
    lang.Section(stLocales).clear();
    lang.SetChangeLocales(true);
    ASSERT_EQ(lang.Section(stLocales).size(), 15u);
    EXPECT_EQ(lang.Section(stLocales)[0], "Currency String\x01$\x01");
    EXPECT_EQ(lang.Section(stLocales)[14], "Long Day Names\x01Sunday,Monday,Tuesday,Wednesday,Thursday,Friday,Saturday\x01");
}

}  // namespace
