#include "i18n/siconsts.h"

namespace siconsts {

const std::array<std::string_view, SectionCount> SectionNames = {
    "stCaptions",     "stHints",   "stDisplayLabels", "stFonts",       "stMultiLines", "stDlgsCaptions",
    "stStrings",      "stOtherStrings", "stLocales",  "stCollections", "stCharSets",   "stListView_TreeView_Items"};

const std::array<std::string_view, SectionCount> SectionProperties = {
    "Caption", "Hint",    "DisplayLabel", "Font",        "TStrings", "Dialog",
    "Strings", "Other",   "Locales",      "Collections", "CharSet",  "ListView_TreeView_Items"};

const std::array<std::string_view, LanguageCount> LanguageNames = {
    "English",  "Italiano", "Spanish",    "Galician", "Polish",   "Czech",
    "Russian",  "German",   "French",     "Brazilian", "Slovak",  "Indonesian",
    "Romanian", "Hungarian", "Japanese",  "Chinese",  "Danish",   "Korean"};

const std::array<std::string_view, LanguageCount> LanguageCharsetNames = {
    "DEFAULT_CHARSET",    "DEFAULT_CHARSET",    "DEFAULT_CHARSET",    "DEFAULT_CHARSET",  "EASTEUROPE_CHARSET",
    "EASTEUROPE_CHARSET", "RUSSIAN_CHARSET",    "DEFAULT_CHARSET",    "DEFAULT_CHARSET",  "DEFAULT_CHARSET",
    "EASTEUROPE_CHARSET", "DEFAULT_CHARSET",    "EASTEUROPE_CHARSET", "EASTEUROPE_CHARSET", "SHIFTJIS_CHARSET",
    "CHINESEBIG5_CHARSET", "ANSI_CHARSET",      "HANGEUL_CHARSET"};

const std::array<TCharsetName, CharsetCount> CharsetNames = {{
    {"ANSI_CHARSET", 0},          {"DEFAULT_CHARSET", 1},   {"SYMBOL_CHARSET", 2},    {"MAC_CHARSET", 77},
    {"SHIFTJIS_CHARSET", 128},    {"HANGEUL_CHARSET", 129}, {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"GREEK_CHARSET", 161},   {"TURKISH_CHARSET", 162}, {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},      {"ARABIC_CHARSET", 178},  {"BALTIC_CHARSET", 186},  {"RUSSIAN_CHARSET", 204},
    {"THAI_CHARSET", 222},        {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255},
}};

const std::array<std::string_view, DialogCaptionCount> DialogCaptionNames = {
    "Warning", "Error", "Information", "Confirm", "&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore",
    "&All", "N&o To All", "Y&es To All", "&Help", "&Open", "Look &in:", "File &name:", "Files of &type:",
    "&Read-only", "&Save", "&Drives:", "Save &in:", "Save as &type:", "&Basic colors:", "&Custom colors:",
    "&Define Custom Colors >>", "Color", "|S&olid", "Hu&e:", "&Sat:", "&Lum:", "&Red:", "&Green:", "Bl&ue:",
    "&Add to Custom Colors", "&Font:", "Font st&yle:", "Si&ze:", "&Color:", "&Apply", "Effects", "Stri&keout",
    "&Underline", "Sample", "Sc&ript:", "Printer", "&Name:", "&Properties", "Status:", "Type:", "Where:",
    "Comment:", "Paper", "&Source:", "Orientation", "P&ortrait", "L&andscape", "Print to f&ile", "Print",
    "Pa&ges", "&Selection", "&from:", "&to:", "Copies", "Number of &copies:", "C&ollate", "Fi&nd what:",
    "Match &whole words only", "Match &case", "Direction", "&Up", "&Down", "&Find Next", "&Replace",
    "Replace &All", "Re&place with:", "Picture:", "Preview", "New Folder", "Folder:", "(None)", "Close",
    "Network", "Print Setup", "Find"};

const std::array<std::string_view, BasicDialogCaptionCount> BasicDialogCaptionTexts = {
    "Warning", "Error", "Information", "Confirm", "&Yes", "&No", "OK", "Cancel",
    "&Abort",  "&Retry", "&Ignore", "&All", "N&o to All", "Yes to &All", "&Help"};

const std::array<std::string_view, LocaleLineCount> LocaleLineNames = {
    "Currency String",   "Thousand Separator", "Decimal Separator", "Date Separator",    "Short Date Format",
    "Long Date Format",  "Time Separator",     "Time AM String",    "Time PM String",    "Short Time Format",
    "Long Time Format",  "Short Month Names",  "Long Month Names",  "Short Day Names",   "Long Day Names"};

const std::array<std::string_view, 30> DefaultExcludedProperties = {
    "Category",   "SecondaryShortCuts", "HelpKeyword", "InitialDir",  "HelpKeyword", "ActivePage",
    "ImeName",    "DefaultExt",         "FileName",    "FieldName",   "PickList",    "DisplayFormat",
    "EditMask",   "KeyList",            "LookupDisplayFields", "DropDownSpecRow", "TableName", "DatabaseName",
    "IndexName",  "MasterFields",       "SQL",         "DeleteSQL",   "UpdateSQL",   "ModifySQL",
    "KeyFields",  "LookupKeyFields",    "LookupResultField", "DataField", "KeyField", "ListField"};

namespace {
TResStringHook Hook = nullptr;

std::string_view MessageText(TMessage id) {
    switch (id) {
        case TMessage::OnlyOneComponent: return "Only one TsiCustomLang component per Form/DataModule allowed!";
        case TMessage::NotValidValueWithOwner: return "%s: %d - is not a valid property value!\rValue must be within [1..%d]!";
        case TMessage::NotValidValue: return "%d - is not a valid property value!\rValue must be within [1..%d]!";
        case TMessage::NotZeroLanguages: return " - is not a valid property value !\rValue must be more than ZERO !";
        case TMessage::LanguageNotInNames: return "Language name shall be included in LangNames property!";
        case TMessage::StringNotFound: return "String identifier \"%s\" not found!";
        case TMessage::NilPropInfoObject: return "NIL passed as AObject in TsiPropInfoList.Create!";
    }
    return {};
}
}  // namespace

std::string LoadMessage(TMessage id) {
    const std::string text(MessageText(id));
    return Hook ? Hook(text) : text;
}

void SetResStringHook(TResStringHook hook) { Hook = hook; }
TResStringHook ResStringHook() { return Hook; }

}  // namespace siconsts
