#include "i18n/deffonts.h"

#include <algorithm>

std::unique_ptr<TDefFontsList> DefaultFontsList;

namespace {
std::string LangName(std::size_t i) { return "FontInfoLang" + std::to_string(i); }
std::string FontName(std::size_t i) { return "FontInfoFont" + std::to_string(i); }
std::string CharsetName(std::size_t i) { return "FontInfoCharset" + std::to_string(i); }
// A damaged count must not keep start-up reading for hours.
constexpr std::uint32_t MaxFonts = 1024;
}  // namespace

TDefFontsList::TDefFontsList(platform::Registry& registry) : Registry_(registry) {
    LoadFromRegistry();
    Modified = false;
}

TDefFontsList::~TDefFontsList() {
    if (Modified) SaveToRegistry();
}

void TDefFontsList::Clear() {
    Items_.clear();
    Modified = true;
}

void TDefFontsList::AddFont(const std::string& languageName, const std::string& fontName, std::uint8_t charset) {
    Items_.push_back({languageName, fontName, charset});
    Modified = true;
}

void TDefFontsList::LoadFromRegistry() {
    if (!Registry_.keyExists(RegistryKey)) return;
    const auto count = Registry_.readInteger(RegistryKey, "FontInfoCount");
    for (std::size_t i = 0; count && i < std::min(*count, MaxFonts); ++i) {
        const auto lang = Registry_.readString(RegistryKey, LangName(i));
        const auto font = Registry_.readString(RegistryKey, FontName(i));
        const auto charset = Registry_.readInteger(RegistryKey, CharsetName(i));
        if (lang && font && charset) AddFont(*lang, *font, static_cast<std::uint8_t>(*charset));
    }
}

void TDefFontsList::SaveToRegistry() {
    Registry_.writeInteger(RegistryKey, "FontInfoCount", static_cast<std::uint32_t>(Items_.size()));
    for (std::size_t i = 0; i < Items_.size(); ++i) {
        Registry_.writeString(RegistryKey, LangName(i), Items_[i].LanguageName);
        Registry_.writeString(RegistryKey, FontName(i), Items_[i].FontName);
        Registry_.writeInteger(RegistryKey, CharsetName(i), Items_[i].Charset);
    }
    // Triples left over from a longer list.
    for (std::size_t i = Items_.size();; ++i) {
        const bool lang = Registry_.deleteValue(RegistryKey, LangName(i));
        const bool font = Registry_.deleteValue(RegistryKey, FontName(i));
        const bool charset = Registry_.deleteValue(RegistryKey, CharsetName(i));
        if (!lang && !font && !charset) break;
    }
}
