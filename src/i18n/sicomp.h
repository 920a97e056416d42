#pragma once
// The translation components: a table of texts per form, one column per
// language, applied to the form's properties; the dispatcher that keeps
// every form on one language; string tables, charsets and test mode.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cvservices.h"
#include "i18n/siconsts.h"
#include "i18n/sipropertyhost.h"

using TStringList = std::vector<std::string>;

enum TStringsType : int {
    stCaptions, stHints, stDisplayLabels, stFonts, stMultiLines, stDlgsCaptions, stStrings,
    stOtherStrings, stLocales, stCollections, stCharSets, stListView_TreeView_Items
};
enum class TTranslateType : std::uint8_t { ttNoChange, ttGetDefault };
enum TLangOption : std::uint8_t { loUseExtUDStrings = 1, loUseExtCommonStrings = 2 };
enum class TTestModeKind : std::uint8_t { tmkExpandWidth, tmkFlipCase, tmkExpandChars };

inline constexpr char TabDelimiter = '\t';
inline constexpr std::uint8_t DEFAULT_CHARSET = 1;

// ---- token helpers ------------------------------------------------------------

std::size_t TokenStart(unsigned n, std::string_view line, std::string_view delimiters);
std::string GetToken(unsigned n, std::string_view line, std::string_view delimiters);
std::size_t CountDelimiters(std::string_view line, std::string_view delimiters);
std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement, bool all);
std::string TrimDelimiters(std::string_view text, std::string_view delimiters);
TStringList SplitText(std::string_view text, std::string_view separator);
std::string JoinTexts(const TStringList& list, std::string_view separator, bool skipEmpty);
std::string MergeLines(std::string_view oldLine, std::string_view newLine, char delimiter);
int IndexOfText(const TStringList& list, std::string_view text);  // ASCII case fold
// Sorted in ASCII case fold, each text once (the first of its spellings).
TStringList SortedUniqueText(TStringList list);
// The number between "[" and "]" ("Columns[2]"); none when malformed.
std::optional<int> BracketIndex(std::string_view path);
// Each character of `from` in text becomes the one at its place in `to`.
std::string TranslateChars(std::string text, std::string_view from, std::string_view to);
// Line breaks inside stored and file texts travel as characters 25 and 26.
inline std::string EncodeBreaks(std::string text) { return TranslateChars(std::move(text), "\r\n", "\x19\x1A"); }
inline std::string DecodeBreaks(std::string text) { return TranslateChars(std::move(text), "\x19\x1A", "\r\n"); }
std::string DialogCaptionIdentifier(int k);                         // k 1-based, "&" removed
std::string DialogCaptionDefault(int k);

// ---- charsets (code pages from glibc's iconv) ---------------------------------

// 0 for DEFAULT, MAC and OEM (the system ANSI code page, here 1252).
unsigned CharsetCodePage(std::uint8_t charset);
std::optional<std::uint8_t> CharsetByName(std::string_view name, bool ignoreCase);
std::string CharsetName(std::uint8_t charset);  // "DEFAULT_CHARSET" for an unknown one
std::u16string AnsiToWideByCharset(std::string_view s, std::uint8_t charset);
// Characters the code page cannot hold become "?".
std::string WideToAnsiByCharset(std::u16string_view w, std::uint8_t charset);
std::u16string Utf8ToWide(std::string_view s);
// Little-endian UTF-16 bytes, an odd last byte dropped.
std::u16string Utf16LEToWide(std::string_view bytes);
std::string WideToUtf8(std::u16string_view w);
std::string AnsiToUtf8ByCharset(std::string_view s, std::uint8_t charset);
std::string Utf8ToAnsiByCharset(std::string_view s, std::uint8_t charset);

// ---- files ----

// Throws "Cannot open file" when it cannot be read.
std::string ReadWholeFile(const std::string& fileName);
void WriteWholeFile(const std::string& fileName, const std::string& text);
bool FileExists(const std::string& fileName);
// A ".SIB" translation file, by its extension in any case.
bool IsSIBFile(std::string_view fileName);
// The text translation file's section of a table section, by ordinal.
const std::string& TranslationFileSection(int section);
// The text translation file's section of the language names, "Language_N" keys.
inline constexpr const char* LanguageNamesSection = "Language names - for internal use only!";

// ---- extended translations ----------------------------------------------------

class TsiCustomLang;

// The value of a language (1-based) in a values text, which has no identifier.
std::string ExtractValue(std::string_view values, char delimiter, int language);

struct TsiExtendedItem {
    std::string Identifier;  // the property path
    std::string Values;      // one field per language, each closed by the delimiter
    TTypeKind PropertyType = TTypeKind::tkUnknown;
    std::u16string ValuesWide;  // only when stored as UTF-16

    bool IsRoot(const TPropertyHost* owner) const;
    // The stored "ValuesEx" bytes, and reading them back.
    std::string WriteValuesEx() const { return Values; }
    bool IsValuesExStored(const TsiExtendedItem* ancestor) const {
        return !Values.empty() && (!ancestor || Values != ancestor->Values);
    }
    void ReadValuesEx(std::string_view raw);
};

class TsiExtendedItems {
public:
    TsiExtendedItem& Add();
    std::size_t Count() const { return Items_.size(); }
    TsiExtendedItem& Items(std::size_t i) { return Items_[i]; }
    const TsiExtendedItem& Items(std::size_t i) const { return Items_[i]; }
    TsiExtendedItem* ExtendedItemsByIdentifier(std::string_view identifier);
    void Delete(std::size_t i) { Items_.erase(Items_.begin() + static_cast<std::ptrdiff_t>(i)); }
    std::vector<TsiExtendedItem>& All() { return Items_; }
    const std::vector<TsiExtendedItem>& All() const { return Items_; }

private:
    std::vector<TsiExtendedItem> Items_;
};

// A list of wide lines: each piece that a CR ends; LF dropped.
class TsiWideStringsAdapter {
public:
    void SetText(std::u16string_view w);
    int Count() const { return static_cast<int>(Lines_.size()); }
    const std::u16string& Strings(int i) const { return Lines_[static_cast<std::size_t>(i)]; }

private:
    std::vector<std::u16string> Lines_;
};

// ---- sorted string tables -----------------------------------------------------

struct TsiStringsCollectionItem {
    std::string Identifier;
    TStringList Texts;  // entry n-1: language n
};

class TsiSortCollection {
public:
    using TCompare = std::function<int(const TsiStringsCollectionItem&, const TsiStringsCollectionItem&)>;
    virtual ~TsiSortCollection() = default;
    virtual void QuickSort(int l, int r, const TCompare& compare);
    void Sort(const TCompare& compare);
    int Count() const { return static_cast<int>(Items_.size()); }
    TsiStringsCollectionItem& Add() { return *Items_.emplace_back(std::make_unique<TsiStringsCollectionItem>()); }
    TsiStringsCollectionItem& Items(int i) const { return *Items_[static_cast<std::size_t>(i)]; }
    void Clear() { Items_.clear(); }

private:
    void Move(int from, int to);
    std::vector<std::unique_ptr<TsiStringsCollectionItem>> Items_;
};

class TsiStringsCollection : public TsiSortCollection {
public:
    explicit TsiStringsCollection(const TsiCustomLang& owner) : Owner_(owner) {}
    const TsiCustomLang& GetOwner() const { return Owner_; }
    int SortColumn = 0;
    bool IsSorted = false;

    int IndexOfIdentifier(std::string_view identifier) const;
    std::string GetTextByIdentifier(std::string_view identifier, int language) const;
    std::string GetTextBySource(std::string_view source, int language) const;
    void SortTable(bool force);
    int CompareIdentifiers(const TsiStringsCollectionItem& a, const TsiStringsCollectionItem& b) const;
    int CompareSourceTexts(const TsiStringsCollectionItem& a, const TsiStringsCollectionItem& b) const;
    // Refills from the Strings section.
    void Fill(const TStringList& lines, int numOfLanguages, char delimiter, int sortColumn);

private:
    std::string SourceKey(const TsiStringsCollectionItem& item) const;
    const TsiCustomLang& Owner_;
};

// 8-bit text with C escapes decoded.
std::string DecodeCEscapes(std::string_view text);

// ---- test mode ----------------------------------------------------------------

// Width of a text in the measuring font ("Tahoma" 8): the UI installs a Qt
// measure, tests fixed widths.
using TTextWidth = std::function<int(const std::u16string& text)>;

struct TTestModeInfo {
    bool Active = false;
    TTestModeKind Kind = TTestModeKind::tmkExpandWidth;
    int ExpandWidthPercent = 100;
    int ExpandCharsPercent = 100;
    char PaddingChar = '*';
    TTextWidth Width;
};

std::u16string FlipCase(std::u16string_view text);
std::u16string ExpandChars(std::u16string_view text, char16_t paddingChar, int percent);
// The distorted form of 8-bit table text of the given charset.
std::string TestModeText(const TTestModeInfo& info, std::string_view text, std::uint8_t charset);

// ---- locale -------------------------------------------------------------------

// The fifteen format settings of the locale lines, in their order.
using TCapturedLocale = std::array<std::string, siconsts::LocaleLineCount>;
TCapturedLocale CaptureLocale();
// Sets one locale line's value on the user's format settings.
void ApplyLocaleLine(int index, const std::string& text);

// ---- the component ------------------------------------------------------------

class TsiLangDispatcher;

class TsiCustomLang {
public:
    using TLanguageChanging = std::function<void(TsiCustomLang& sender, int newLanguage, bool& allowChange)>;

    // Throws when the owner already has a translation component.
    explicit TsiCustomLang(TPropertyHost* owner);
    virtual ~TsiCustomLang();
    TsiCustomLang(const TsiCustomLang&) = delete;
    TsiCustomLang& operator=(const TsiCustomLang&) = delete;

    TPropertyHost* Owner() const { return Owner_; }
    std::string OwnerClassName() const { return Owner_ ? Owner_->ClassName() : std::string(); }
    bool Designing() const { return Owner_ && Owner_->Designing(); }
    bool Loading() const { return Loading_; }
    // The form reader puts the component into its loading state; Loaded ends it.
    void BeginLoading() { Loading_ = true; }
    virtual void Loaded();

    // ---- sections ----
    virtual bool HasSection(int ordinal) const { return ordinal >= 0 && ordinal < stListView_TreeView_Items; }
    TStringList* GetSectionStrings(int ordinal);
    const TStringList* GetSectionStrings(int ordinal) const;
    TStringList& Section(int ordinal) { return Sections_[static_cast<std::size_t>(ordinal)]; }
    void SetSection(int ordinal, const TStringList& lines);  // the write accessors
    TStringList& RemovedLines() { return RemovedLines_; }

    // ---- table operations ----
    std::string FindField(int section, std::string_view identifier, int language) const;
    static int FindLineByIdentifier(const TStringList& section, std::string_view line, char delimiter);
    std::string BuildSingleLanguageLine(std::string_view text, int language) const;
    virtual void SetTranslation(int section, const std::string& text, int language, std::string_view identifier);
    void SetSectionText(int section, const std::string& text, int language, std::string_view identifier) {
        SetTranslation(section, text, language, identifier);
    }
    static void DeleteColumn(TStringList& section, unsigned n, char delimiter);
    static void MoveColumn(TStringList& section, unsigned from, unsigned to, char delimiter);
    void ReplaceDelimiter(char oldDelimiter, char newDelimiter);
    void CompactSection(int ordinal);
    void PurgeExcludedLines();
    bool IsPropertyExcluded(std::string_view componentName, std::string_view path) const;
    void DeleteEntry(int section, std::string_view componentName, int ordinal, std::string_view propertyName);
    virtual void RemoveComponentLines(int section, const TPropertyHost* component, bool removed);
    virtual void RenameComponent(const std::string& oldName, const std::string& newName);
    void FillDefaultDialogCaptions();
    void UpdateDialogCaptions();
    bool HasTabDelimitedLines() const;

    // ---- stored table ----
    std::string WriteTranslationData() const;
    void ReadTranslationData(std::string_view raw);
    // The component as form data stores it: its extended items and its table.
    std::string WriteFormData() const;
    // Reads the stored properties of the component streamed at `offset`;
    // throws on a malformed stream.
    void ReadFormData(std::string_view data, std::size_t offset = 0);
    std::string WideLineToAnsi(std::u16string_view wideLine);
    // Whether the form data stores the table: always without an ancestor,
    // else when any section differs from the ancestor's.
    bool HasTranslationData(const TsiCustomLang* ancestor) const;
    bool IsDoNotTranslateStored() const { return !DoNotTranslate_.empty(); }
    bool IsExcludedPropertiesStored() const { return !ExcludedProperties_.empty(); }
    bool IsSmartExcludePropsStored() const { return !SmartExcludeProps.empty(); }
    bool IsExtendedTranslationsStored() const { return Extended_.Count() > 0; }

    // ---- collecting the design texts ----
    virtual void CollectTranslatableProperties();
    bool IsSameAsActionText(const TPropertyHost& component, int which) const;
    std::function<void(TsiCustomLang&)> OnTableChanged;

    // ---- apply pass ----
    virtual void ApplyLanguage();
    void ApplySection(int ordinal);
    std::string GetLineTranslation(int section, int lineIndex, bool useFirstLanguage) const;
    bool IsOwnerTranslated() const;
    std::string GetStringPropText(const TPropertyHost* instance, std::string_view property) const;
    void AssignPropertyText(TPropertyHost* instance, const TsiPropInfo& prop, const std::string& text) const;

    // ---- extended translations ----
    TsiExtendedItems& ExtendedTranslations() { return Extended_; }
    TPropertyHost* ResolvePathObject(std::string_view path) const;
    void SetPathPropertyText(std::string_view path, const std::string& text) const;
    std::string GetPathPropertyText(std::string_view path) const;
    TTypeKind GetPathPropertyKind(std::string_view path) const;
    void ApplyExtendedTranslations();
    void CaptureExtendedValues();

    // ---- text look-up ----
    std::string GetTextFromList(int section, std::string_view identifier, bool useFirstLanguage) const;
    void RebuildStringsTables();
    TsiStringsCollection& StringsTable() { return StringsTable_; }
    TsiStringsCollection& ResourceStringsTable() { return ResourceStringsTable_; }
    const TsiStringsCollection& ResourceStringsTable() const { return ResourceStringsTable_; }

    // ---- charsets ----
    std::uint8_t GetLanguageCharset(int language);
    void RebuildLanguageCharsets();
    void UpdateCurrentCharset();
    std::uint8_t CurrentCharset() const { return CurrentCharset_; }
    const std::vector<std::uint8_t>& LanguageCharsets() const { return LanguageCharsets_; }
    bool StoreAsUTF8() const { return StoreAsUTF8_; }
    void SetStoreAsUTF8(bool value);
    void ConvertTablesEncoding(bool toUtf8);
    TsiCustomLang* CharsetSource() const { return CharsetSource_; }

    // ---- settings ----
    std::string GetFieldWithDefault(std::string_view line, int language) const;
    std::string TestModeField(std::string_view line) const;
    bool TestModeOn() const;
    void PadLanguageColumns(TStringList& section) const;
    void PadStringSections();
    const TCapturedLocale& CapturedLocale() const { return CapturedLocale_; }

    // ---- text translation files (a stream is the file's whole text) ----
    virtual int LoadSectionFromStream(int section, const std::string& stream, bool clearFirst);
    virtual int SaveSectionToStream(int section, std::string& stream, const std::string& fileDelimiter);
    virtual void LoadAllFromStream(const std::string& stream, bool clearFirst, bool noApply);
    virtual void SaveAllToStream(std::string& stream, const std::string& fileDelimiter);
    virtual bool MergeSectionFromStream(int section, const std::string& stream);
    virtual bool MergeAllFromStreamAndApply(const std::string& stream);
    virtual bool MergeAllFromStream(const std::string& stream);
    void LoadExtendedFromStream(const std::string& stream, bool clearFirst);
    void SaveExtendedToStream(std::string& stream, const std::string& fileDelimiter);
    virtual int LoadSectionFile(int section, const std::string& fileName, bool clearFirst);
    virtual int SaveSectionFile(int section, const std::string& fileName, const std::string& fileDelimiter);
    virtual void LoadAllFile(const std::string& fileName, bool clearFirst);
    virtual void SaveAllSectionFiles(const std::string& fileName, const std::string& fileDelimiter);
    virtual int LoadStringsFile(const std::string& fileName, bool clearFirst) { return LoadSectionFile(stStrings, fileName, clearFirst); }
    virtual int SaveStringsFile(const std::string& fileName, const std::string& fileDelimiter) {
        return SaveSectionFile(stStrings, fileName, fileDelimiter);
    }
    virtual bool MergeSectionFile(int section, const std::string& fileName);
    virtual bool MergeAllAndApply(const std::string& fileName);
    virtual void LoadAllSectionFiles(const std::string& fileName, bool clearFirst);
    virtual bool MergeAllSectionFiles(const std::string& fileName);
    void LoadExtendedFromFile(const std::string& fileName, bool clearFirst);
    void SaveExtendedToFile(const std::string& fileName, const std::string& fileDelimiter);
    TStringList FixedLanguages;

    // ---- SIB translation files (read only) ----
    void LoadSIBFile(const std::string& fileName);
    void LoadSectionFromSIB(int section, const std::string& fileName);
    void ReadFileLanguageNames(const std::string& fileName, TStringList& list);

    // ---- one language from a text translation file ----
    virtual void ImportLanguageSection(int section, const std::string& fileName, const std::string& languageName);
    virtual void ImportLanguageExtended(const std::string& fileName, const std::string& languageName);
    virtual void ImportLanguage(const std::string& fileName, const std::string& languageName);

    // ---- properties ----
    int NumOfLanguages() const { return NumOfLanguages_; }
    void SetNumOfLanguages(int value);
    char LangDelim() const { return LangDelim_; }
    void SetLangDelim(char value);
    const TStringList& LangNames() const { return LangNames_; }
    void SetLangNames(const TStringList& names);
    const std::string& Language() const { return Language_; }
    void SetLanguage(const std::string& value);
    int ActiveLanguage() const { return ActiveLanguage_; }
    void SetActiveLanguage(int value);
    TsiLangDispatcher* LangDispatcher() const { return Dispatcher_; }
    void SetLangDispatcher(TsiLangDispatcher* dispatcher);
    int DefaultLanguage() const { return DefaultLanguage_; }
    void SetDefaultLanguage(int value);
    bool UseDefaultLanguage() const { return UseDefaultLanguage_; }
    void SetUseDefaultLanguage(bool value) { UseDefaultLanguage_ = value; }
    bool AutoSkipEmpties = true;
    bool ChangeLocales() const { return ChangeLocales_; }
    void SetChangeLocales(bool value);
    bool NeedAllDlgs() const { return NeedAllDlgs_; }
    void SetNeedAllDlgs(bool value);
    std::uint16_t ResourceLanguageIndex() const { return ResourceLanguageIndex_; }
    void SetResourceLanguageIndex(std::uint16_t value);
    bool HandleResourceStrings = false;
    void SetExcludedProperties(const TStringList& lines);
    const TStringList& ExcludedProperties() const { return ExcludedProperties_; }
    void SetDoNotTranslate(const TStringList& lines);
    const TStringList& DoNotTranslate() const { return DoNotTranslate_; }
    TStringList SmartExcludeProps;
    TStringList StringsTypes{"TIB_STRINGLIST", "TSTRINGLIST"};
    bool IsStringsType(std::string_view className) const { return IndexOfText(StringsTypes, className) >= 0; }
    bool IsInheritedOwner = false;
    bool TranslateExtendedFirst = false;
    TTranslateType TranslateType = TTranslateType::ttNoChange;
    std::uint8_t Options = 0;
    bool DoRaiseExceptions = false;
    bool EscapedSourceTexts = false;
    bool ScratchCopy = false;
    bool DispatcherPropagating = false;
    bool FileLoadInProgress = false;
    int SectionInUpdate = -1;
    TLanguageChanging OnLanguageChanging;
    std::function<void(TsiCustomLang&)> OnChangeLanguage;

    // A component of the owner was removed.
    void Notification(const TPropertyHost& component);
    // The dispatcher or the charset source is going away.
    virtual void NotificationOfLang(const TsiCustomLang& component);
    // Component hears of this one's end (FreeNotification).
    void FreeNotification(TsiCustomLang& component) { FreeNotified_.push_back(&component); }
    void RemoveFreeNotification(const TsiCustomLang& component) { std::erase(FreeNotified_, &component); }

protected:
    TPropertyHost* Owner_;

private:
    friend class TsiLangDispatcher;
    friend class TSIBFileManager;
    int CheckedStart(int ordinal);
    void AddStoredLine(TStringList& section, std::string line);
    bool CaptionIsActions(const TPropertyHost& component, std::string_view property) const;
    void ApplyOwnerText(int section, std::string_view property, bool testMode);
    void ApplyOwnerFont();
    bool OwnerLacksFont() const;
    void ApplyCollections();
    void CollectValue(int section, const std::string& identifier, const std::string& value, bool excluded);
    void CollectComponent(const TPropertyHost& component);
    // The column a language imports into, added when the table lacks it.
    int ImportColumn(const std::string& languageName);
    // A section's lines changed outside a whole-file load: tidy and show them.
    void SectionLoaded(int section);
    void ApplyLine(int ordinal, std::size_t index, bool testMode);
    std::string LineText(int section, std::size_t index, bool testMode) const;
    const TStringList* CommonSection(int section, std::uint8_t option) const;

    std::array<TStringList, siconsts::SectionCount> Sections_;
    std::vector<TsiCustomLang*> FreeNotified_;
    TStringList RemovedLines_;
    TStringList LangNames_{"Language N1"};
    TStringList DoNotTranslate_;
    TStringList ExcludedProperties_;
    std::string Language_ = "Language N1";
    int NumOfLanguages_ = 1;
    int ActiveLanguage_ = 1;
    char LangDelim_ = '\x01';
    bool Loading_ = false;
    bool StoreAsUTF8_ = false;
    bool ChangeLocales_ = false;
    bool NeedAllDlgs_ = false;
    bool UseDefaultLanguage_ = false;
    int DefaultLanguage_ = 1;
    std::uint16_t ResourceLanguageIndex_ = 1;
    std::uint8_t CurrentCharset_ = DEFAULT_CHARSET;
    std::vector<std::uint8_t> LanguageCharsets_;
    TsiCustomLang* CharsetSource_ = nullptr;
    TsiLangDispatcher* Dispatcher_ = nullptr;
    TsiStringsCollection StringsTable_{*this};
    TsiStringsCollection ResourceStringsTable_{*this};
    TsiExtendedItems Extended_;
    TCapturedLocale CapturedLocale_;
};

// The table's published class on forms made at design time.
class TsiLang : public TsiCustomLang {
public:
    using TsiCustomLang::TsiCustomLang;
};

// The component on every form of the program.
class TsiLangRT : public TsiCustomLang {
public:
    explicit TsiLangRT(TPropertyHost* owner) : TsiCustomLang(owner) {}
    bool LoadOnCreate = false;
    std::string StorageFile;
    std::string StorageDelimiter = "~!@#";
    void Loaded() override;
};

// ---- the resource-string hook -------------------------------------------------

// The component whose resource-string table translates the library's
// messages; set by the first component that installs the hook.
TsiCustomLang* ResourceStringsComponent();
void InstallResourceStringHook(TsiCustomLang& component);
void ForgetResourceStringComponent(const TsiCustomLang& component);
std::string HookedLoadResString(const std::string& text);

// ---- the dispatcher -----------------------------------------------------------

class TsiLangDispatcher : public TLanguageDispatcher {
public:
    using TLanguageChanging = std::function<void(TsiLangDispatcher& sender, int newLanguage, bool& allowChange)>;

    TsiLangDispatcher();
    ~TsiLangDispatcher() override;
    TsiLangDispatcher(const TsiLangDispatcher&) = delete;
    TsiLangDispatcher& operator=(const TsiLangDispatcher&) = delete;

    // The system's dispatcher: 18 languages, English active.
    static std::unique_ptr<TsiLangDispatcher> CreateSystem();

    void LinkComponent(TsiCustomLang& c);
    void UnlinkComponent(TsiCustomLang& c);
    const std::vector<TsiCustomLang*>& Linked() const { return Linked_; }

    int ActiveLanguage() const { return ActiveLanguage_; }
    void SetActiveLanguage(int value);
    const std::string& Language() const { return Language_; }
    void SetLanguageName(const std::string& value);
    int NumOfLanguages() const { return NumOfLanguages_; }
    void SetNumOfLanguages(int value);
    const TStringList& LangNames() const { return LangNames_; }
    void SetLangNames(const TStringList& names);
    int DefaultLanguage() const { return DefaultLanguage_; }
    void SetDefaultLanguage(int value);
    bool UseDefaultLanguage() const { return UseDefaultLanguage_; }
    void SetUseDefaultLanguage(bool value);
    void BeginLoading() { Loading_ = true; }
    void Loaded() { Loading_ = false; }
    bool Loading() const { return Loading_; }

    std::string FileName;
    TTestModeInfo TestModeInfo;
    TLanguageChanging OnLanguageChanging;
    std::function<void(TsiLangDispatcher&)> OnLanguageChanged;
    std::function<void(TsiLangDispatcher&, TsiCustomLang&)> OnLinkToDispatcher;

    // TLanguageDispatcher
    void SetLanguage(const std::string& name) override { SetLanguageName(name); }
    std::vector<std::string> LanguageNames() const override { return LangNames_; }
    int ActiveLanguageNumber() const override { return ActiveLanguage_; }
    void SetActiveLanguageNumber(int number) override { SetActiveLanguage(number); }

private:
    std::vector<TsiCustomLang*> Linked_;
    TStringList LangNames_{"Language N1"};
    std::string Language_;
    int ActiveLanguage_ = 1;
    int NumOfLanguages_ = 1;
    int DefaultLanguage_ = 1;
    bool UseDefaultLanguage_ = false;
    bool Loading_ = false;
};
