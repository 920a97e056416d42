#include "i18n/sitablegen.h"

#include <algorithm>
#include <filesystem>

#include "core/cvtext.h"

namespace {

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

bool HasKey(const TLanguageFile& file, const std::string& section, const std::string& key) {
    return file.Ini->GetValue(section, key, "\xff") != "\xff";
}

std::string Where(const TLanguageFile& file, const std::string& section, const std::string& key) {
    return file.FileName + ": [" + section + "] " + key;
}

unsigned CodePage(std::uint8_t charset) {
    const unsigned page = CharsetCodePage(charset);
    return page ? page : 1252;  // the system code page here
}

constexpr const char* ExtendedSection = "Extended";
constexpr const char* TypeKindSuffix = "_TypeKind";

// Field `field` of a delimited text, replaced by its code-page form, which
// must hold every character.
void ConvertField(std::string& text, char delim, unsigned field, std::uint8_t charset, const std::string& where) {
    std::vector<std::string> fields;
    const std::size_t count = static_cast<std::size_t>(std::count(text.begin(), text.end(), delim));
    for (unsigned f = 0; f < count; ++f) fields.push_back(ExtractField(text, delim, f));
    if (fields.size() <= field) fields.resize(field + 1);
    std::string& value = fields.at(field);
    const std::string converted = Utf8ToAnsiByCharset(value, charset);
    if (AnsiToUtf8ByCharset(converted, charset) != value)
        throw ETranslationDataError(where + ": \"" + value + "\" does not fit code page " + std::to_string(CodePage(charset)));
    value = converted;
    text.clear();
    for (const std::string& f : fields) text += f + delim;
}

// Each language's texts into its code page.
void ConvertColumns(TsiCustomLang& lang, const TLanguageFiles& files, const std::string& className) {
    const char delim = lang.LangDelim();
    for (int n = 1; n <= lang.NumOfLanguages(); ++n) {
        const TLanguageFile& file = files[static_cast<std::size_t>(n - 1)];
        const auto charset = CharsetByName(lang.FindField(stCharSets, className, n), false);
        if (!charset) throw ETranslationDataError(Where(file, TranslationFileSection(stCharSets), className + "." + className) + ": no charset");
        for (int s = 0; s < siconsts::SectionCount; ++s)
            for (std::string& line : lang.Section(s))
                ConvertField(line, delim, static_cast<unsigned>(n), *charset,
                             Where(file, TranslationFileSection(s), className + "." + ExtractField(line, delim, 0)));
        for (TsiExtendedItem& item : lang.ExtendedTranslations().All())
            ConvertField(item.Values, delim, static_cast<unsigned>(n - 1), *charset,
                         Where(file, ExtendedSection, className + "." + item.Identifier));
    }
}

// The extended items of the class in every language; their property kinds
// are the English file's, since the form is not at hand here.
void ImportExtended(TsiCustomLang& lang, const TLanguageFiles& files, const std::string& className) {
    const TLanguageFile& english = files.front();
    const std::string prefix = className + ".";
    for (int n = 1; n <= lang.NumOfLanguages(); ++n) {
        const TLanguageFile& file = files[static_cast<std::size_t>(n - 1)];
        for (const std::string& key : english.Ini->ListKeys(ExtendedSection))
            if (key.starts_with(prefix) && !key.ends_with(TypeKindSuffix) && !HasKey(file, ExtendedSection, key))
                throw ETranslationDataError(Where(file, ExtendedSection, key) + ": missing");
        lang.ImportLanguageExtended(file.Path, file.Language);
    }
    for (TsiExtendedItem& item : lang.ExtendedTranslations().All()) {
        const std::string key = prefix + item.Identifier + TypeKindSuffix;
        const auto kind = TypeKindByName(english.Ini->GetValue(ExtendedSection, key, ""));
        if (!kind) throw ETranslationDataError(Where(english, ExtendedSection, key) + ": no type kind");
        item.PropertyType = *kind;
    }
}

}  // namespace

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
        const std::string text = ReadWholeFile(file.Path);
        if (!ValidUtf8(text)) throw ETranslationDataError(file.FileName + ": not a UTF-8 text");
        file.Ini = std::make_shared<TsiMemIniFile>("");
        file.Ini->LoadFromText(text);
        if (!file.Ini->GetBoolValue("OPTIONS", "IsUTF8File", false))
            throw ETranslationDataError(file.FileName + ": [OPTIONS] IsUTF8File: not set");
        if (file.Ini->GetValue(LanguageNamesSection, "Language_1", "") != language)
            throw ETranslationDataError(file.FileName + ": [" + LanguageNamesSection + "] Language_1: not " + language);
        files.push_back(std::move(file));
    }
    return files;
}

std::string BuildFormData(const TLanguageFiles& files, const std::string& className, int languages) {
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
                if (!HasKey(file, TranslationFileSection(s), key)) throw ETranslationDataError(Where(file, TranslationFileSection(s), key) + ": missing");
            }
        for (int s = 0; s < siconsts::SectionCount; ++s) lang.ImportLanguageSection(s, file.Path, file.Language);
    }
    if (!any) throw ETranslationDataError(english.FileName + ": no keys of " + className);
    ImportExtended(lang, files, className);
    ConvertColumns(lang, files, className);
    return lang.WriteFormData();
}
