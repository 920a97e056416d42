// Binary translation files: the header, the entries and the streamed
// translation component read into a form's component.

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "i18n/sisibfile.h"
#include "i18ntest.h"

namespace {

using i18ntest::L;

const std::string Header = std::string("SIB file: TsiLang binary translation data") + '\0';

std::string U16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string Short(const std::string& s) { return static_cast<char>(s.size()) + s; }
std::string Str(const std::string& s) { return '\x06' + Short(s); }
std::string Binary(const std::string& s) { return '\x0A' + U32(static_cast<std::uint32_t>(s.size())) + s; }

// A streamed translation component whose tables use "|" between fields and
// store the form's caption line after another line.
std::string Component() {
    const std::string table = "stCaptions\r\nLabel1|Hallo|Hello|\r\nTForm1|Form DE|Form EN|\r\n"
                              "stStrings\r\nS1|eins|one|\r\n";
    return std::string("TPF0") + Short("TsiLangRT") + Short("siLangRT1") +
           Short("NumOfLanguages") + "\x02\x02" +
           Short("LangDelim") + Str("|") +
           Short("LangNames.Strings") + '\x01' + Str("Deutsch") + Str("English") + '\0' +
           Short("ExtendedTranslations") + '\x0E' + '\x01' + Short("Identifier") + Str("Label1.Width") +
           Short("ValuesEx") + Binary("40|50|") + '\0' + '\0' +
           Short("TranslationData") + Binary(table) + '\0' + '\0';
}

// Entries are named by form class; each points at its component.
std::string SibFile(const std::vector<std::string>& entryNames, const std::string& fixed = "Deutsch\r\nEnglish\r\n") {
    std::string index;
    for (const auto& name : entryNames) index += U16(static_cast<unsigned>(name.size())) + name + U32(0);
    std::string file = Header + U16(static_cast<unsigned>(entryNames.size())) +
                       U16(static_cast<unsigned>(fixed.size())) + fixed + index;
    const auto offset = static_cast<std::uint32_t>(file.size());
    for (std::size_t i = 0, at = Header.size() + 4 + fixed.size(); i < entryNames.size(); ++i) {
        at += 2 + entryNames[i].size();
        file.replace(at, 4, U32(offset));
        at += 4;
    }
    return file + Component();
}

class SibFiles : public i18ntest::FormTest {
protected:
    SibFiles() {
        form->Component("Label1", "TLabel").Str("Caption", "Label1").Int("Width", 10);
        SetLanguages(lang, 2);
        lang.Section(stCaptions) = {L({"Label1", "Old", "Old"})};
    }

    TsiLangRT lang{form.get()};
    TSIBFileManager manager;
};

TEST_F(SibFiles, TheOwnersEntryReplacesTheTablesWithTheFormsLineFirst) {
    manager.LoadFromStream(lang, "TForm1", SibFile({"TOther", "TForm1"}));
    EXPECT_EQ(lang.Section(stCaptions), (TStringList{L({"TForm1", "Form DE", "Form EN"}), L({"Label1", "Hallo", "Hello"})}));
    EXPECT_EQ(lang.Section(stStrings), TStringList{L({"S1", "eins", "one"})});
    EXPECT_EQ(lang.LangNames(), (TStringList{"Deutsch", "English"}));
    ASSERT_EQ(lang.ExtendedTranslations().Count(), 1u);
    const TsiExtendedItem& item = lang.ExtendedTranslations().Items(0);
    EXPECT_EQ(item.Identifier, "Label1.Width");
    EXPECT_EQ(item.Values, L({"40", "50"}));
    EXPECT_EQ(item.PropertyType, TTypeKind::tkInteger);
    EXPECT_EQ(manager.FixedLanguages, (TStringList{"Deutsch", "English"}));
    EXPECT_FALSE(lang.ScratchCopy);
}

TEST_F(SibFiles, EntryNamesMatchInTheirCaseOnly) {
    manager.LoadFromStream(lang, "TForm1", SibFile({"TFORM1", "tform1"}, "Zulu\r\nAfrikaans\r\nZulu\r\n"));
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label1", "Old", "Old"})});
    EXPECT_EQ(manager.FixedLanguages, (TStringList{"Afrikaans", "Zulu"}));
}

TEST_F(SibFiles, NoFixedLanguagesEmptiesTheList) {
    manager.FixedLanguages = {"Old"};
    manager.LoadFromStream(lang, "TNone", SibFile({"TForm1"}, ""));
    EXPECT_TRUE(manager.FixedLanguages.empty());
}

TEST_F(SibFiles, ForeignOrShortFilesAreRefusedAndChangeNothing) {
    std::string lowerCase = SibFile({"TForm1"});
    lowerCase[10] = 't';  // "tsiLang"
    std::string noZero = SibFile({"TForm1"});
    noZero[41] = ' ';
    const struct {
        const char* name;
        std::string data;
    } cases[] = {
        {"empty", ""},
        {"one byte", "S"},
        {"two bytes", "SI"},
        {"header cut short", Header.substr(0, 30)},
        {"letter case of the header", lowerCase},
        {"header without its zero", noZero},
        {"a form stream", "TPF0" + Short("TsiLangRT")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        manager.FixedLanguages = {"Kept"};
        try {
            manager.LoadFromStream(lang, "TForm1", c.data);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Unrecognized stream format!");
        }
        EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label1", "Old", "Old"})});
        EXPECT_EQ(manager.FixedLanguages, TStringList{"Kept"});
    }
}

TEST_F(SibFiles, EveryTruncationFailsWithinTheDataAndClearsTheScratchFlag) {
    const std::string file = SibFile({"TForm1"});
    for (std::size_t size = Header.size() + 1; size < file.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_THROW(manager.LoadFromStream(lang, "TForm1", std::string_view(file).substr(0, size)), std::runtime_error);
        EXPECT_FALSE(lang.ScratchCopy);
    }
}

TEST_F(SibFiles, AnOffsetPastTheEndIsAReadError) {
    std::string file = SibFile({"TForm1"});
    file.replace(Header.size() + 4 + 18 + 2 + 6, 4, U32(0xFFFFFFF0u));
    EXPECT_THROW(manager.LoadFromStream(lang, "TForm1", file), std::runtime_error);
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Label1", "Old", "Old"})});
}

// The form's component reads its storage file when it finishes loading.
TEST_F(SibFiles, AStorageFileLoadsWhenTheFormHasLoaded) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("caldavor-sib-" + std::to_string(::getpid()) + ".Sib")).string();
    std::ofstream(path, std::ios::binary) << SibFile({"TForm1"});
    lang.LoadOnCreate = true;
    lang.StorageFile = path;
    lang.BeginLoading();
    lang.Loaded();
    std::filesystem::remove(path);
    EXPECT_EQ(lang.FindField(stCaptions, "Label1", 2), "Hello");
    EXPECT_EQ(lang.Section(stCaptions).front(), L({"TForm1", "Form DE", "Form EN"}));

    TStringList names;
    std::ofstream(path, std::ios::binary) << SibFile({"TForm1"});
    lang.ReadFileLanguageNames(path, names);
    std::filesystem::remove(path);
    EXPECT_EQ(names, (TStringList{"Deutsch", "English"}));
}

}  // namespace
