#include "i18n/sitablegen.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/cvtext.h"

namespace {

constexpr const char* NamesSection = "Language names - for internal use only!";

// The form as the import sees it: every component it names exists.
class TFormStandIn : public TPlainObjectHost {
public:
    explicit TFormStandIn(std::string className) : Class_(std::move(className)) {}
    std::string ClassName() const override { return Class_; }
    std::string Name() const override { return Class_.substr(1); }
    bool Is(THostClass c) const override { return c == THostClass::Form; }
    TPropertyHost* FindComponent(std::string_view) const override { return const_cast<TFormStandIn*>(this); }

private:
    std::string Class_;
};

bool ValidUtf8(const std::string& text) {
    return WideToUtf8(Utf8ToWide(text)) == text;
}

std::string Where(const TLanguageFile& file, int section, const std::string& key) {
    return file.FileName + ": [" + TranslationFileSection(section) + "] " + key;
}

unsigned CodePage(std::uint8_t charset) {
    const unsigned page = CharsetCodePage(charset);
    return page ? page : 1252;  // the system code page here
}

// Each language's texts into its code page, which must hold every character.
void ConvertColumns(TsiCustomLang& lang, const TLanguageFiles& files, const std::string& className) {
    const char delim = lang.LangDelim();
    for (int n = 1; n <= lang.NumOfLanguages(); ++n) {
        const TLanguageFile& file = files[static_cast<std::size_t>(n - 1)];
        const auto charset = CharsetByName(lang.FindField(stCharSets, className, n), false);
        if (!charset) throw ETranslationDataError(Where(file, stCharSets, className + "." + className) + ": no charset");
        for (int s = 0; s < siconsts::SectionCount; ++s)
            for (std::string& line : lang.Section(s)) {
                std::vector<std::string> fields;
                for (unsigned f = 0; f <= static_cast<unsigned>(lang.NumOfLanguages()); ++f)
                    fields.push_back(ExtractField(line, delim, f));
                std::string& text = fields[static_cast<std::size_t>(n)];
                const std::string converted = Utf8ToAnsiByCharset(text, *charset);
                if (AnsiToUtf8ByCharset(converted, *charset) != text)
                    throw ETranslationDataError(Where(file, s, className + "." + fields[0]) + ": \"" + text +
                                                "\" does not fit code page " + std::to_string(CodePage(*charset)));
                text = converted;
                line.clear();
                for (const std::string& field : fields) line += field + delim;
            }
    }
}

}  // namespace

const std::string& TranslationFileSection(int section) {
    static const std::string names[siconsts::SectionCount] = {
        "Captions", "Hints", "DisplayLabels", "Fonts", "Multilines", "Dialogs", "Strings", "Other", "Locales", "Collections",
        "CharSets", "ListView_TreeView_Items"};
    return names[section];
}

TLanguageFiles ReadLanguageFiles(const std::string& folder) {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".txt") paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    if (paths.size() != siconsts::LanguageNames.size())
        throw ETranslationDataError(folder + ": " + std::to_string(paths.size()) + " language files, 18 expected");
    TLanguageFiles files;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string language(siconsts::LanguageNames[i]);
        TLanguageFile file{paths[i].string(), paths[i].filename().string(), language, nullptr};
        std::ifstream in(paths[i], std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in || !ValidUtf8(text.str())) throw ETranslationDataError(file.FileName + ": not a UTF-8 text");
        file.Ini = std::make_shared<TsiMemIniFile>("");
        file.Ini->LoadFromText(text.str());
        if (!file.Ini->GetBoolValue("OPTIONS", "IsUTF8File", false))
            throw ETranslationDataError(file.FileName + ": [OPTIONS] IsUTF8File: not set");
        if (file.Ini->GetValue(NamesSection, "Language_1", "") != language)
            throw ETranslationDataError(file.FileName + ": [" + NamesSection + "] Language_1: not " + language);
        files.push_back(std::move(file));
    }
    return files;
}

std::string BuildFormTable(const TLanguageFiles& files, const std::string& className, int languages) {
    TFormStandIn form(className);
    TsiLangRT lang(&form);
    lang.ScratchCopy = true;
    lang.SetNumOfLanguages(languages);
    lang.SetLangNames(TStringList(siconsts::LanguageNames.begin(), siconsts::LanguageNames.begin() + languages));
    const std::string prefix = className + ".";
    const TLanguageFile& english = files.front();
    bool any = false;
    lang.FileLoadInProgress = true;
    for (int n = 1; n <= languages; ++n) {
        const TLanguageFile& file = files[static_cast<std::size_t>(n - 1)];
        for (int s = 0; s < siconsts::SectionCount; ++s)
            for (const std::string& key : english.Ini->ListKeys(TranslationFileSection(s))) {
                if (!key.starts_with(prefix)) continue;
                any = true;
                const std::string value = file.Ini->GetValue(TranslationFileSection(s), key, "\xff");
                if (value == "\xff") throw ETranslationDataError(Where(file, s, key) + ": missing");
            }
        for (int s = 0; s < siconsts::SectionCount; ++s) lang.ImportLanguageSection(s, file.Path, file.Language);
    }
    if (!any) throw ETranslationDataError(english.FileName + ": no keys of " + className);
    ConvertColumns(lang, files, className);
    return lang.WriteTranslationData();
}
