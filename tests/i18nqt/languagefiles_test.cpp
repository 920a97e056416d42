// The reviewed language files: complete, in their own scripts, held by
// their code pages, and the tables built from them read back line for line.

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "i18n/fakehost.h"
#include "i18n/qt/silangrt.h"
#include "i18n/sitablegen.h"
#include "support/testmachine.h"
#include "translatedforms.h"

namespace i18nqttest {
namespace {

constexpr const char* TextDelimiter = "~!@#";
// The file sections of words (the others name fonts, charsets and formats).
const std::string WordSections[] = {"Captions", "Hints", "Multilines", "Dialogs", "Other", "Collections", "Extended"};

std::set<std::string> KeepAsIs() {
    std::set<std::string> keys;
    std::ifstream in(TranslationsFolder() + "/keep-as-is.list");
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') keys.insert(line);
    return keys;
}

std::string Text(const TLanguageFile& file, const std::string& section, const std::string& key) {
    const std::string value = file.Ini->GetValue(section, key, "\xff");
    return value == "\xff" ? value : value.substr(0, value.find(TextDelimiter));
}

bool HasScript(const std::string& text, char16_t from, char16_t to) {
    for (char16_t c : Utf8ToWide(text))
        if (c >= from && c <= to) return true;
    return false;
}

// The components read the user's locale from the machine.
class LanguageFiles : public ::testing::Test {
protected:
    testsupport::TestMachine machine;
};

int Languages(const std::string& className) {
    for (const TFormClass& f : FormClasses())
        if (f.ClassName == className) return f.Languages;
    return 0;
}

TEST_F(LanguageFiles, CoverEveryEnglishKeyInTheirOwnWordsAndScripts) {
    const TLanguageFiles files = ReadLanguageFiles(TranslationsFolder());
    const std::set<std::string> keep = KeepAsIs();
    // The scripts the code pages of these languages stand for.
    using TRange = std::pair<char16_t, char16_t>;
    const TRange cyrillic{0x0400, 0x04FF}, kana{0x3040, 0x30FF}, ideographs{0x4E00, 0x9FFF}, hangul{0xAC00, 0xD7AF};
    const std::map<std::string, std::vector<TRange>> scripts = {
        {"Russian", {cyrillic}}, {"Japanese", {kana, ideographs}}, {"Chinese", {ideographs}}, {"Korean", {hangul}}};
    const TLanguageFile& english = files.front();
    for (std::size_t n = 2; n <= files.size(); ++n) {
        const TLanguageFile& file = files[n - 1];
        for (const std::string& s : WordSections)
            for (const std::string& key : english.Ini->ListKeys(s)) {
                if (key.ends_with("_TypeKind")) continue;
                const std::string className = key.substr(0, key.find('.'));
                const std::string english_text = Text(english, s, key), text = Text(file, s, key);
                if (static_cast<int>(n) > Languages(className)) {
                    EXPECT_EQ(text, "\xff") << file.FileName << ": " << key << " (the form has no such language)";
                    continue;
                }
                ASSERT_NE(text, "\xff") << file.FileName << ": " << key;
                if (english_text.empty()) continue;
                EXPECT_FALSE(text.empty()) << file.FileName << ": " << key;
                const std::string listed = s + "/" + key;
                if (text == english_text) {
                    EXPECT_TRUE(keep.count(listed)) << file.FileName << ": " << listed << " is English";
                }
                const auto script = scripts.find(file.Language);
                if (script != scripts.end() && !keep.count(listed)) {
                    EXPECT_TRUE(std::any_of(script->second.begin(), script->second.end(),
                                            [&](const TRange& r) { return HasScript(text, r.first, r.second); }))
                        << file.FileName << ": " << key;
                }
            }
    }
}

TEST_F(LanguageFiles, EveryTextSurvivesItsCodePageAndTheStoredTablesReadBack) {
    const TLanguageFiles files = ReadLanguageFiles(TranslationsFolder());
    for (const TFormClass& f : FormClasses()) {
        const std::string built = BuildFormData(files, f.ClassName, f.Languages);
        EXPECT_EQ(built, EmbeddedFormData(f.ClassName)) << f.ClassName << ": the embedded data is the build's";
        i18ntest::TFakeObject form(f.ClassName);
        TsiLangRT lang(&form);
        lang.SetNumOfLanguages(f.Languages);
        lang.ReadFormData(built);
        // Each cell, back in Unicode through its language's code page, is the file's text.
        const auto check = [&](const std::string& section, const std::string& id, const std::string& stored, int n,
                               std::uint8_t charset) {
            const std::string file = Text(files[static_cast<std::size_t>(n - 1)], section, f.ClassName + "." + id);
            if (file == "\xff") return;  // locale and dialog lines of other identifiers
            std::string want = file;
            for (char& c : want) {
                if (c == '\x19') c = '\r';
                if (c == '\x1a') c = '\n';
            }
            EXPECT_EQ(AnsiToUtf8ByCharset(stored, charset), want)
                << f.ClassName << "." << id << " in " << files[static_cast<std::size_t>(n - 1)].FileName;
        };
        for (int n = 1; n <= f.Languages; ++n) {
            const auto charset = CharsetByName(lang.FindField(stCharSets, f.ClassName, n), false);
            ASSERT_TRUE(charset) << f.ClassName << " " << n;
            for (int s = 0; s < siconsts::SectionCount; ++s)
                for (const std::string& line : lang.Section(s))
                    check(TranslationFileSection(s), ExtractField(line, lang.LangDelim(), 0),
                          ExtractField(line, lang.LangDelim(), static_cast<unsigned>(n)), n, *charset);
            for (const TsiExtendedItem& item : lang.ExtendedTranslations().All())
                check("Extended", item.Identifier, ExtractValue(item.Values, lang.LangDelim(), n), n, *charset);
        }
        // Every extended item of the English file is stored, with its kind.
        std::size_t items = 0;
        for (const std::string& key : files.front().Ini->ListKeys("Extended")) {
            if (!key.starts_with(f.ClassName + ".") || key.ends_with("_TypeKind")) continue;
            ++items;
            const TsiExtendedItem* item = lang.ExtendedTranslations().ExtendedItemsByIdentifier(key.substr(f.ClassName.size() + 1));
            ASSERT_TRUE(item) << key;
            EXPECT_EQ(TypeKindName(item->PropertyType), files.front().Ini->GetValue("Extended", key + "_TypeKind", "")) << key;
        }
        EXPECT_EQ(lang.ExtendedTranslations().Count(), items) << f.ClassName;
    }
}

// The language files copied, one line of one file changed.
std::string PatchedFolder(const std::string& fileName, const std::string& line, const std::string& replacement) {
    const auto folder = std::filesystem::temp_directory_path() / ("caldavor-languages-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const auto& entry : std::filesystem::directory_iterator(TranslationsFolder()))
        if (entry.path().extension() == ".txt") std::filesystem::copy_file(entry.path(), folder / entry.path().filename());
    std::ifstream in(folder / fileName, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t at = text.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    text.replace(at, line.size(), replacement);
    std::ofstream(folder / fileName, std::ios::binary | std::ios::trunc) << text;
    return folder.string();
}

TEST_F(LanguageFiles, AFaultStopsTheBuildNamingFileAndKey) {
    struct TCase {
        const char* File;
        const char* Line;
        const char* Replacement;
        const char* ClassName;
        int Languages;
        const char* Message;
    };
    const TCase cases[] = {
        // Cyrillic cannot be written in the Italian column's code page.
        {"02-Italiano.txt", "TDlgShowHint.LABInfo=Lo sapevi che...~!@#\r\n", "TDlgShowHint.LABInfo=Подсказка~!@#\r\n",
         "TDlgShowHint", 17, "02-Italiano.txt: [Captions] TDlgShowHint.LABInfo: \"Подсказка\" does not fit code page 1252"},
        {"07-Russian.txt", "TForm1.TSClock=Частота~!@#\r\n", "", "TForm1", 18, "07-Russian.txt: [Captions] TForm1.TSClock: missing"},
        {"08-German.txt", "TDlgConfig.VTFans.Header.Columns[3].Text=Messwert~!@#\r\n", "", "TDlgConfig", 18,
         "08-German.txt: [Extended] TDlgConfig.VTFans.Header.Columns[3].Text: missing"},
        {"16-Chinese.txt", "TDlgConfig.VTPwms.Header.Columns[0].Text=標籤~!@#", "TDlgConfig.VTPwms.Header.Columns[0].Text=標籤한~!@#",
         "TDlgConfig", 18, "16-Chinese.txt: [Extended] TDlgConfig.VTPwms.Header.Columns[0].Text: \"標籤한\" does not fit code page 950"},
        {"01-English.txt", "TDlgConfig.VTVolts.Header.Columns[2].Text_TypeKind=tkWString\r\n", "", "TDlgConfig", 18,
         "01-English.txt: [Extended] TDlgConfig.VTVolts.Header.Columns[2].Text_TypeKind: no type kind"},
        {"03-Spanish.txt", "IsUTF8File=1", "IsUTF8File=0", "TForm1", 18, "03-Spanish.txt: [OPTIONS] IsUTF8File: not set"},
    };
    for (const TCase& c : cases) {
        const std::string folder = PatchedFolder(c.File, c.Line, c.Replacement);
        try {
            BuildFormData(ReadLanguageFiles(folder), c.ClassName, c.Languages);
            ADD_FAILURE() << c.Message << ": built";
        } catch (const ETranslationDataError& e) {
            EXPECT_EQ(e.what(), std::string(c.Message));
        }
        std::filesystem::remove_all(folder);
    }
}

}  // namespace
}  // namespace i18nqttest
