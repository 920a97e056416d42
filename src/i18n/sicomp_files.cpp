// Text translation files: the whole table, all languages at once, as an INI
// text; and taking one language out of such a file.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {

constexpr const char* DefaultFileDelimiter = "~!@#";
constexpr const char* MisspeltNamesSection = "Language names - for intenal use only!";

// The one INI file every section of a whole-file load reads.
TsiMemIniFile*& SharedTranslationIni() {
    static TsiMemIniFile* ini = nullptr;
    return ini;
}

bool BracketedSection(int section) { return section == stCollections || section == stListView_TreeView_Items; }

std::unique_ptr<TsiMemIniFile> IniFromText(const std::string& text) {
    auto ini = std::make_unique<TsiMemIniFile>("");
    ini->LoadFromText(text);
    return ini;
}

// The shared INI file of a whole-file load, else the stream's own, kept in own.
const TsiMemIniFile& StreamIni(const std::string& stream, std::unique_ptr<TsiMemIniFile>& own) {
    if (const TsiMemIniFile* shared = SharedTranslationIni()) return *shared;
    own = IniFromText(stream);
    return *own;
}

// A saved file starts with an empty line.
std::vector<std::string> IniLines(const TsiMemIniFile& ini) {
    std::vector<std::string> lines;
    ini.SaveLines(lines);
    if (lines.empty() || !lines.front().empty()) lines.insert(lines.begin(), "");
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::string IniText(const TsiMemIniFile& ini) { return JoinLines(IniLines(ini)); }

// Collection keys write their brackets as "-" and "+"; every one comes back.
std::string RestoreBrackets(std::string key) { return TranslateChars(std::move(key), "-+", "[]"); }
std::string HideBrackets(std::string key) { return TranslateChars(std::move(key), "[]", "-+"); }

// The text of a file value's column n (1-based).
std::string ColumnText(std::string value, const std::string& delimiter, int n) {
    for (int i = 1; i < n; ++i)
        if (const std::size_t p = value.find(delimiter); p != std::string::npos) value.erase(0, p + delimiter.size());
    if (const std::size_t p = value.find(delimiter); p != std::string::npos) value.resize(p);
    return value;
}

// The file's language names, "Language_1" on up to the first missing one.
TStringList FileLanguageNames(const TsiMemIniFile& ini) {
    TStringList names;
    for (int n = 1;; ++n) {
        std::string name = ini.GetValue(LanguageNamesSection, "Language_" + std::to_string(n), "");
        if (name.empty()) return names;
        names.push_back(std::move(name));
    }
}

void WriteLanguageNames(TsiMemIniFile& ini, const TStringList& names, int count) {
    ini.RemoveSection(LanguageNamesSection);
    for (int n = 1; n <= count; ++n) {
        const std::string name = n <= static_cast<int>(names.size()) ? names[static_cast<std::size_t>(n - 1)] : std::string();
        ini.SetValue(LanguageNamesSection, "Language_" + std::to_string(n), name.empty() ? "Language N" + std::to_string(n) : name);
    }
}

// Restores a flag on every way out.
class TFlagScope {
public:
    TFlagScope(bool& flag, bool value) : Flag_(flag), Former_(flag) { flag = value; }
    ~TFlagScope() { Flag_ = Former_; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& Flag_;
    bool Former_;
};

}  // namespace

const std::string& TranslationFileSection(int section) {
    static const std::array<std::string, siconsts::SectionCount> names = {
        "Captions", "Hints", "DisplayLabels", "Fonts", "Multilines", "Dialogs", "Strings", "Other", "Locales", "Collections",
        "CharSets", "ListView_TreeView_Items"};
    return names.at(static_cast<std::size_t>(section));
}

std::string ReadWholeFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot open file \"" + fileName + "\"");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string& fileName, const std::string& text) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out || !(out << text)) throw std::runtime_error("Cannot create file \"" + fileName + "\"");
}

bool FileExists(const std::string& fileName) {
    std::error_code ec;
    return !fileName.empty() && std::filesystem::is_regular_file(fileName, ec);
}

int TsiCustomLang::LoadSectionFromStream(int section, const std::string& stream, bool clearFirst) {
    TStringList* list = GetSectionStrings(section);
    if (!list) return -1;
    if (clearFirst) list->clear();
    try {
        std::unique_ptr<TsiMemIniFile> own;
        const TsiMemIniFile& ini = StreamIni(stream, own);
        const std::string fileDelimiter = ini.GetValue("OPTIONS", "DELIMITER", DefaultFileDelimiter);
        if (ini.HasSection(LanguageNamesSection)) {
            LangNames_ = FileLanguageNames(ini);
            NumOfLanguages_ = static_cast<int>(LangNames_.size());
        }
        StoreAsUTF8_ = ini.GetBoolValue("OPTIONS", "IsUTF8File", false);
        FixedLanguages.clear();
        for (int n = 1; n <= NumOfLanguages_ && n <= static_cast<int>(LangNames_.size()); ++n)
            if (ini.GetBoolValue("OPTIONS", "Language_Fixed" + std::to_string(n), false))
                FixedLanguages.push_back(LangNames_[static_cast<std::size_t>(n - 1)]);

        const TStringList keys = SortedUniqueText(ini.ListKeys(TranslationFileSection(section)));
        const std::string componentName = Owner_ ? Owner_->Name() : std::string();
        const std::string className = OwnerClassName();
        int taken = 0;
        for (const std::string& key : keys) {
            std::string line = BracketedSection(section) ? RestoreBrackets(key) : key;
            line += LangDelim_;
            std::string prefix;
            if (!componentName.empty() && line.starts_with(componentName + ".")) prefix = componentName;
            else if (StartsText(className + ".", line)) prefix = className;
            else if (!componentName.empty() && StartsText(componentName + ".", line)) prefix = className;
            else continue;
            line.erase(0, prefix.size() + 1);
            const std::string id = line.substr(0, line.find(LangDelim_));
            if (IndexOfText(DoNotTranslate_, id.substr(0, id.find('.'))) >= 0) continue;
            const std::string value = ini.GetValue(TranslationFileSection(section), key, "\xff");
            if (value == "\xff") continue;
            if (value.find(fileDelimiter) == std::string::npos) line += value + LangDelim_;
            line += ReplaceText(value, fileDelimiter, std::string(1, LangDelim_), true);
            line = DecodeBreaks(line);
            if (!line.empty() && line.back() != LangDelim_) line += LangDelim_;
            if (CompareTextAscii(id, prefix) == 0) list->insert(list->begin(), line);
            else list->push_back(line);
            ++taken;
        }
        SectionLoaded(section);
        return taken;
    } catch (const std::exception&) {
        return -1;
    }
}

int TsiCustomLang::SaveSectionToStream(int section, std::string& stream, const std::string& fileDelimiter) {
    const TStringList* list = GetSectionStrings(section);
    if (!list) return -1;
    const std::unique_ptr<TsiMemIniFile> ini = IniFromText(stream);
    ini->SetValue("OPTIONS", "DELIMITER", fileDelimiter);
    ini->SetBoolValue("OPTIONS", "IsUTF8File", StoreAsUTF8_);
    WriteLanguageNames(*ini, LangNames_, NumOfLanguages_);
    ini->RemoveSection(MisspeltNamesSection);
    const std::string fileSection = TranslationFileSection(section);
    for (const std::string& line : *list) {
        const std::size_t cut = line.find(LangDelim_);
        std::string id = line.substr(0, cut);
        if (BracketedSection(section)) id = HideBrackets(id);
        const std::string value = cut == std::string::npos ? std::string() : line.substr(cut + 1);
        ini->SetValue(fileSection, OwnerClassName() + "." + id,
                      EncodeBreaks(ReplaceText(value, std::string(1, LangDelim_), fileDelimiter, true)));
    }
    std::vector<std::string> lines = IniLines(*ini);
    // Keys under the form's component name are older spellings of the class's.
    const std::string oldPrefix = Owner_ ? Owner_->Name() + "." : std::string();
    const auto header = std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return CompareTextAscii(l, "[" + fileSection + "]") == 0; });
    if (header != lines.end() && oldPrefix.size() > 1) {
        std::size_t i = static_cast<std::size_t>(header - lines.begin()) + 1;
        while (i + 1 < lines.size() && !lines[i].starts_with("[")) {
            if (lines[i].starts_with(oldPrefix)) lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            else ++i;
        }
    }
    stream = JoinLines(lines);
    return static_cast<int>(list->size());
}

void TsiCustomLang::LoadAllFromStream(const std::string& stream, bool clearFirst, bool noApply) {
    FileLoadInProgress = true;
    std::unique_ptr<TsiMemIniFile> own;
    if (!SharedTranslationIni()) {
        own = IniFromText(stream);
        SharedTranslationIni() = own.get();
    }
    try {
        for (int i = 0; i < siconsts::SectionCount; ++i)
            if (LoadSectionFromStream(i, stream, clearFirst) > 0) CompactSection(i);
        LoadExtendedFromStream(stream, clearFirst);
    } catch (...) {
        if (own) SharedTranslationIni() = nullptr;
        FileLoadInProgress = false;
        throw;
    }
    if (own) SharedTranslationIni() = nullptr;
    RebuildStringsTables();
    if (!noApply) ApplyLanguage();
    FileLoadInProgress = false;
}

void TsiCustomLang::LoadExtendedFromStream(const std::string& stream, bool clearFirst) {
    if (clearFirst) Extended_.All().clear();
    std::unique_ptr<TsiMemIniFile> own;
    const TsiMemIniFile& ini = StreamIni(stream, own);
    const std::string fileDelimiter = ini.GetValue("Options", "Delimiter", DefaultFileDelimiter);
    const std::string prefix = OwnerClassName() + ".";
    for (const std::string& key : ini.ListKeys("Extended")) {
        if (!key.starts_with(prefix) || key.ends_with("_TypeKind")) continue;
        const std::string id = key.substr(prefix.size());
        TsiExtendedItem* item = Extended_.ExtendedItemsByIdentifier(id);
        const bool added = !item;
        if (added) {
            item = &Extended_.Add();
            item->Identifier = id;
        }
        item->Values = ReplaceText(ini.GetValue("Extended", key, ""), fileDelimiter, std::string(1, LangDelim_), true);
        if (added) item->PropertyType = GetPathPropertyKind(id);
    }
}

void TsiCustomLang::SaveAllToStream(std::string& stream, const std::string& fileDelimiter) {
    std::string memory;
    for (int i = 0; i < siconsts::SectionCount; ++i) SaveSectionToStream(i, memory, fileDelimiter);
    SaveExtendedToStream(memory, fileDelimiter);
    stream += memory;
}

void TsiCustomLang::SaveExtendedToStream(std::string& stream, const std::string& fileDelimiter) {
    const std::unique_ptr<TsiMemIniFile> ini = IniFromText(stream);
    ini->SetValue("Options", "Delimiter", fileDelimiter);
    WriteLanguageNames(*ini, LangNames_, NumOfLanguages_);
    for (const TsiExtendedItem& item : Extended_.All()) {
        const std::string key = OwnerClassName() + "." + item.Identifier;
        ini->SetValue("Extended", key, ReplaceText(item.Values, std::string(1, LangDelim_), fileDelimiter, true));
        ini->SetValue("Extended", key + "_TypeKind", std::string(TypeKindName(item.PropertyType)));
    }
    stream = IniText(*ini);
}

bool TsiCustomLang::MergeSectionFromStream(int section, const std::string& stream) {
    TStringList* list = GetSectionStrings(section);
    if (!list) return true;
    const TStringList kept = *list;
    try {
        {
            const TFlagScope loading(FileLoadInProgress, true);
            LoadSectionFromStream(section, stream, true);
        }
        for (const std::string& line : kept)
            if (FindLineByIdentifier(*list, line, LangDelim_) < 0) list->push_back(line);
    } catch (const std::exception&) {
        *list = kept;
        return false;
    }
    SectionLoaded(section);
    return true;
}

void TsiCustomLang::SectionLoaded(int section) {
    if (FileLoadInProgress) return;
    CompactSection(section);
    if (section == stStrings) RebuildStringsTables();
    ApplyLanguage();
}

bool TsiCustomLang::MergeAllFromStream(const std::string& stream) {
    const TFlagScope loading(FileLoadInProgress, true);
    for (int i = 0; i < siconsts::SectionCount; ++i) {
        if (!MergeSectionFromStream(i, stream)) return false;
        CompactSection(i);
    }
    RebuildStringsTables();
    return true;
}

bool TsiCustomLang::MergeAllFromStreamAndApply(const std::string& stream) {
    MergeAllFromStream(stream);
    ApplyLanguage();
    return true;
}

// ---- the file-name forms ----------------------------------------------------

int TsiCustomLang::LoadSectionFile(int section, const std::string& fileName, bool clearFirst) {
    if (!FileExists(fileName)) return -1;
    return LoadSectionFromStream(section, ReadWholeFile(fileName), clearFirst);
}

int TsiCustomLang::SaveSectionFile(int section, const std::string& fileName, const std::string& fileDelimiter) {
    std::string text = FileExists(fileName) ? ReadWholeFile(fileName) : std::string();
    const int result = SaveSectionToStream(section, text, fileDelimiter);
    WriteWholeFile(fileName, text);
    return result;
}

void TsiCustomLang::LoadAllFile(const std::string& fileName, bool clearFirst) {
    if (FileExists(fileName)) LoadAllFromStream(ReadWholeFile(fileName), clearFirst, false);
}

void TsiCustomLang::SaveAllSectionFiles(const std::string& fileName, const std::string& fileDelimiter) {
    for (int i = 0; i < siconsts::SectionCount; ++i) SaveSectionFile(i, fileName, fileDelimiter);
    SaveExtendedToFile(fileName, fileDelimiter);
}

void TsiCustomLang::LoadExtendedFromFile(const std::string& fileName, bool clearFirst) {
    if (FileExists(fileName)) LoadExtendedFromStream(ReadWholeFile(fileName), clearFirst);
}

void TsiCustomLang::SaveExtendedToFile(const std::string& fileName, const std::string& fileDelimiter) {
    std::string text = FileExists(fileName) ? ReadWholeFile(fileName) : std::string();
    SaveExtendedToStream(text, fileDelimiter);
    WriteWholeFile(fileName, text);
}

void TsiCustomLang::LoadAllSectionFiles(const std::string& fileName, bool clearFirst) {
    const TFlagScope loading(FileLoadInProgress, true);
    for (int i = 0; i < siconsts::SectionCount; ++i) {
        LoadSectionFile(i, fileName, clearFirst);
        if (GetSectionStrings(i)) CompactSection(i);
    }
    LoadExtendedFromFile(fileName, clearFirst);
    RebuildStringsTables();
}

bool TsiCustomLang::MergeSectionFile(int section, const std::string& fileName) {
    if (!FileExists(fileName)) return false;
    return MergeSectionFromStream(section, ReadWholeFile(fileName));
}

bool TsiCustomLang::MergeAllSectionFiles(const std::string& fileName) {
    if (!FileExists(fileName)) return false;
    return MergeAllFromStream(ReadWholeFile(fileName));
}

bool TsiCustomLang::MergeAllAndApply(const std::string& fileName) {
    const bool merged = MergeAllSectionFiles(fileName);
    ApplyLanguage();
    return merged;
}

void TsiLangRT::Loaded() {
    TsiCustomLang::Loaded();
    if (ScratchCopy || !Owner_ || !LoadOnCreate || Designing()) return;
    if (IsSIBFile(StorageFile)) LoadSIBFile(StorageFile);
    else LoadAllFile(StorageFile, true);
}

// ---- importing one language -------------------------------------------------

namespace {

// One language's texts in a file section, keyed as in the file.
struct TFileColumn {
    TStringList Keys;
    TStringList Texts;
};

// None when the file lacks the language (exact name); throws on a broken file.
std::optional<TFileColumn> ReadFileColumn(const std::string& fileName, const std::string& languageName,
                                          const std::string& fileSection) {
    const TsiMemIniFile ini(fileName);
    const TStringList names = FileLanguageNames(ini);
    const auto found = std::find(names.begin(), names.end(), languageName);
    if (found == names.end()) return std::nullopt;
    const int n = static_cast<int>(found - names.begin()) + 1;
    const std::string fileDelimiter = ini.GetValue("OPTIONS", "DELIMITER", DefaultFileDelimiter);
    TFileColumn column{ini.ListKeys(fileSection), ini.ListSectionValues(fileSection)};
    column.Keys.resize(std::min(column.Keys.size(), column.Texts.size()));
    for (std::string& text : column.Texts) text = ColumnText(std::move(text), fileDelimiter, n);
    return column;
}

}  // namespace

int TsiCustomLang::ImportColumn(const std::string& languageName) {
    const int c = IndexOfText(LangNames_, languageName) + 1;
    if (c > 0) return c;
    LangNames_.push_back(languageName);
    return ++NumOfLanguages_;
}

void TsiCustomLang::ImportLanguageSection(int section, const std::string& fileName, const std::string& languageName) {
    if (!FileExists(fileName) || languageName.empty() || !GetSectionStrings(section)) return;
    try {
        const auto column = ReadFileColumn(fileName, languageName, TranslationFileSection(section));
        if (!column) return;
        const int c = ImportColumn(languageName);
        const std::string prefix = OwnerClassName() + ".";
        for (std::size_t k = 0; k < column->Keys.size(); ++k) {
            if (!column->Keys[k].starts_with(prefix)) continue;
            const std::string key = BracketedSection(section) ? RestoreBrackets(column->Keys[k]) : column->Keys[k];
            const std::string text = DecodeBreaks(column->Texts[k]);
            const std::string id = key.substr(prefix.size());
            TStringList& list = *GetSectionStrings(section);
            const bool has = std::any_of(list.begin(), list.end(), [&](const std::string& l) { return l.starts_with(id + LangDelim_); });
            if (has) SetTranslation(section, text, c, id);
            else list.push_back(id + LangDelim_ + BuildSingleLanguageLine(text, c));
        }
        SectionLoaded(section);
    } catch (const std::exception&) {
        // a broken file ends the import quietly; what was taken stays
    }
}

void TsiCustomLang::ImportLanguageExtended(const std::string& fileName, const std::string& languageName) {
    if (!FileExists(fileName) || languageName.empty()) return;
    try {
        const auto column = ReadFileColumn(fileName, languageName, "Extended");
        if (!column) return;
        const int c = ImportColumn(languageName);
        const std::string prefix = OwnerClassName() + ".";
        const std::string_view delim(&LangDelim_, 1);
        for (std::size_t k = 0; k < column->Keys.size(); ++k) {
            const std::string& key = column->Keys[k];
            if (!key.starts_with(prefix) || key.ends_with("_TypeKind")) continue;
            const std::string& text = column->Texts[k];
            const std::string id = key.substr(prefix.size());
            if (TsiExtendedItem* item = Extended_.ExtendedItemsByIdentifier(id)) {
                std::string rebuilt;
                for (int i = 1; i <= NumOfLanguages_; ++i)
                    rebuilt += (i == c ? text : GetToken(static_cast<unsigned>(i), item->Values, delim)) + LangDelim_;
                item->Values = rebuilt;
            } else {
                TsiExtendedItem& added = Extended_.Add();
                added.Identifier = id;
                added.Values = BuildSingleLanguageLine(text, c);
                added.PropertyType = GetPathPropertyKind(id);
            }
        }
        if (!FileLoadInProgress) ApplyLanguage();
    } catch (const std::exception&) {
        // as for a section
    }
}

void TsiCustomLang::ImportLanguage(const std::string& fileName, const std::string& languageName) {
    FileLoadInProgress = true;
    for (int i = 0; i < siconsts::SectionCount; ++i) {
        ImportLanguageSection(i, fileName, languageName);
        if (GetSectionStrings(i)) CompactSection(i);
    }
    ImportLanguageExtended(fileName, languageName);
    RebuildStringsTables();
    ApplyLanguage();
    FileLoadInProgress = false;
}
