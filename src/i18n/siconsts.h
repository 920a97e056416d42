#pragma once
// The translation library's constant tables and message texts.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace siconsts {

inline constexpr int SectionCount = 12;
// "stCaptions" .. "stListView_TreeView_Items", by section ordinal.
extern const std::array<std::string_view, SectionCount> SectionNames;
// The property a line of a simple section writes (0..3 name real ones).
extern const std::array<std::string_view, SectionCount> SectionProperties;

inline constexpr int LanguageCount = 18;
extern const std::array<std::string_view, LanguageCount> LanguageNames;
// Charset name of each language's column, as the main window stores it.
extern const std::array<std::string_view, LanguageCount> LanguageCharsetNames;

struct TCharsetName {
    std::string_view Name;
    std::uint8_t Value;
};
inline constexpr int CharsetCount = 19;
extern const std::array<TCharsetName, CharsetCount> CharsetNames;

inline constexpr int DialogCaptionCount = 86;
inline constexpr int BasicDialogCaptionCount = 15;
extern const std::array<std::string_view, DialogCaptionCount> DialogCaptionNames;
// The message-dialog captions the first 15 default to.
extern const std::array<std::string_view, BasicDialogCaptionCount> BasicDialogCaptionTexts;

inline constexpr int LocaleLineCount = 15;
extern const std::array<std::string_view, LocaleLineCount> LocaleLineNames;

// The constructor's excluded property names (the forms store the first 20).
extern const std::array<std::string_view, 30> DefaultExcludedProperties;

inline constexpr std::string_view Version = "6.5.4.1";

// Message texts load through the resource-string hook.
enum class TMessage {
    OnlyOneComponent,
    NotValidValueWithOwner,
    NotValidValue,
    NotZeroLanguages,
    LanguageNotInNames,
    StringNotFound,
    NilPropInfoObject,
};
std::string LoadMessage(TMessage id);

// The loader through which every resource string of the library passes: the
// English text in, the text to show out. Null: the text as it is.
using TResStringHook = std::string (*)(const std::string& text);
void SetResStringHook(TResStringHook hook);
TResStringHook ResStringHook();

}  // namespace siconsts
