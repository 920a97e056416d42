// Text translation files: the whole table in and out, merging, and taking
// one language out of a file.

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "i18ntest.h"

namespace {

using i18ntest::L;

// A file's text: CR LF lines.
std::string FileText(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

class TextFiles : public i18ntest::FormTest {
protected:
    TextFiles() {
        for (const char* name : {"Label1", "Label2", "Button1"}) form->Component(name, "TLabel").Str("Caption", name);
        form->Component("LV", "TListView");
        SetLanguages(lang, 3);
        lang.Section(stDlgsCaptions).clear();
    }

    TsiLangRT lang{form.get()};
};

TEST_F(TextFiles, AValueWithoutDelimiterFillsTheFirstTwoColumns) {
    const std::string file = FileText({"[Captions]", "TForm1.Label1=Same"});
    EXPECT_EQ(lang.LoadSectionFromStream(stCaptions, file, true), 1);
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label1", "Same", "Same"})});
    EXPECT_EQ(lang.FindField(stCaptions, "Label1", 3), "");
}

TEST_F(TextFiles, KeysOfOtherFormsAreIgnoredAndOldComponentNameKeysAreReadThenDropped) {
    const std::string file = FileText({"[OPTIONS]", "DELIMITER=|", "[Captions]", "TForm2.Label1=Other|Altro|",
                                       "Form1.Label2=Old|Vecchio|", "TForm1.Label1=One|Uno|", "TForm1.TForm1=Form|Modulo|"});
    EXPECT_EQ(lang.LoadSectionFromStream(stCaptions, file, true), 3);
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{L({"TForm1", "Form", "Modulo"}), L({"Label2", "Old", "Vecchio"}),
                                                     L({"Label1", "One", "Uno"})}));
    std::string saved = file;
    lang.SaveSectionToStream(stCaptions, saved, "|");
    EXPECT_EQ(saved.find("Form1.Label2="), saved.find("TForm1.Label2=") + 1);  // only the class's key remains
    EXPECT_NE(saved.find("TForm2.Label1=Other|Altro|"), std::string::npos);
}

TEST_F(TextFiles, SavingAndLoadingEverySectionKeepsEveryLineAndLineBreak) {
    lang.Section(stCaptions) = {L({"Label2", "B", "b"}), L({"TForm1", "Form", "Modulo"}), L({"Label1", "A", "a"})};
    lang.Section(stHints) = {L({"Button1", "Two\r\nlines", "Due\r\nrighe"})};
    lang.Section(stCollections) = {L({"LV.Columns[0].Caption", "Name", "Nome"})};
    std::string file;
    lang.SaveAllToStream(file, "~!@#");
    EXPECT_NE(file.find("TForm1.Button1=Two\x19\x1alines~!@#Due\x19\x1arighe~!@#"), std::string::npos);
    EXPECT_NE(file.find("TForm1.LV.Columns-0+.Caption="), std::string::npos);

    const auto other = i18ntest::MakeForm();
    for (const char* name : {"Label1", "Label2", "Button1"}) other->Component(name, "TLabel").Str("Caption", name);
    other->Component("LV", "TListView");
    TsiLangRT loaded{other.get()};
    loaded.LoadAllFromStream(file, true, true);
    EXPECT_EQ(loaded.LangNames(), (TStringList{"English", "Italiano", "Spanish"}));
    EXPECT_EQ(loaded.Section(stCaptions), (TStringList{L({"TForm1", "Form", "Modulo"}), L({"Label1", "A", "a"}),
                                                      L({"Label2", "B", "b"})}));
    EXPECT_EQ(loaded.Section(stHints), TStringList{L({"Button1", "Two\r\nlines", "Due\r\nrighe"})});
    EXPECT_EQ(loaded.Section(stCollections), TStringList{L({"LV.Columns[0].Caption", "Name", "Nome"})});
}

TEST_F(TextFiles, AMergeKeepsTheLinesTheFileLacks) {
    lang.Section(stCaptions) = {L({"Label1", "A", "a", ""}), L({"Label2", "B", "b", ""})};
    const std::string file = FileText({"[Captions]", "TForm1.Label2=New~!@#Nuovo~!@#~!@#", "TForm1.Button1=C~!@#c~!@#~!@#"});
    EXPECT_TRUE(lang.MergeSectionFromStream(stCaptions, file));
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{L({"Button1", "C", "c", ""}), L({"Label2", "New", "Nuovo", ""}),
                                                    L({"Label1", "A", "a", ""})}));
}

TEST_F(TextFiles, ComponentsNotToTranslateAreNeverRead) {
    lang.SetDoNotTranslate({"Label1"});
    EXPECT_EQ(lang.LoadSectionFromStream(stCaptions, FileText({"[Captions]", "TForm1.Label1=X~!@#", "TForm1.Label2=Y~!@#"}), true), 1);
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label2", "Y"})});
}

TEST_F(TextFiles, ABrokenFileLeavesTheSectionAsItWas) {
    lang.Section(stHints) = {L({"Label1", "h", "", ""})};
    EXPECT_EQ(lang.LoadSectionFromStream(stListView_TreeView_Items, "", true), -1);
    EXPECT_EQ(lang.LoadSectionFile(stHints, "/nonexistent/file.txt", true), -1);
    EXPECT_EQ(lang.Section(stHints), TStringList{L({"Label1", "h", "", ""})});
}

class Import : public TextFiles {
protected:
    Import() {
        std::ofstream(path, std::ios::binary) << FileText(
            {"[Language names - for internal use only!]", "Language_1=English", "Language_2=Deutsch", "Language_3=italiano",
             "[Captions]", "TForm1.Label1=One~!@#Eins~!@#Uno~!@#", "TForm1.Label2=Two", "TForm2.Label1=x~!@#y~!@#z~!@#",
             "[Collections]", "TForm1.LV.Columns-0+.Caption=Name~!@#Name~!@#Nome~!@#"});
        lang.Section(stCaptions) = {L({"Label1", "One", "", ""}), L({"Button1", "Go", "", ""})};
    }
    ~Import() override { std::filesystem::remove(path); }

    const std::string path = (std::filesystem::temp_directory_path() / ("caldavor-import-" + std::to_string(::getpid()) + ".txt")).string();
};

TEST_F(Import, ANameOfOtherCaseFillsItsColumnAndANewLanguageAddsOne) {
    lang.SetLangNames({"English", "Italiano", "Spanish"});
    lang.ImportLanguage(path, "italiano");
    EXPECT_EQ(lang.NumOfLanguages(), 3);
    EXPECT_EQ(lang.FindField(stCaptions, "Label1", 2), "Uno");
    EXPECT_EQ(lang.FindField(stCaptions, "Label2", 2), "Two");  // fewer fields than its column: what remains

    lang.ImportLanguage(path, "Deutsch");
    EXPECT_EQ(lang.LangNames().back(), "Deutsch");
    EXPECT_EQ(lang.NumOfLanguages(), 4);
    EXPECT_EQ(lang.FindField(stCaptions, "Label1", 4), "Eins");
    EXPECT_EQ(lang.FindField(stCaptions, "Button1", 4), "");
    EXPECT_EQ(lang.FindField(stCaptions, "Label1", 2), "Uno");  // other columns stay
}

TEST_F(Import, ALanguageTheFileLacksChangesNothing) {
    const TStringList before = lang.Section(stCaptions);
    lang.ImportLanguage(path, "Italiano");  // the file's name must match exactly
    lang.ImportLanguage(path, "");
    lang.ImportLanguage(path + ".missing", "Deutsch");
    EXPECT_EQ(lang.Section(stCaptions), before);
    EXPECT_EQ(lang.NumOfLanguages(), 3);
}

}  // namespace
