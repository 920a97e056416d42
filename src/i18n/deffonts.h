#pragma once
// The translation editor's default font and charset per language, kept per
// user in the registry; read at start-up, written back only when changed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

struct TDefFontListItem {
    std::string LanguageName;
    std::string FontName;
    std::uint8_t Charset = 0;
};

class TDefFontsList {
public:
    static constexpr const char* RegistryKey = "\\Software\\Caldavor\\TsiLang\\EditorForm";

    explicit TDefFontsList(platform::Registry& registry);
    ~TDefFontsList();
    TDefFontsList(const TDefFontsList&) = delete;
    TDefFontsList& operator=(const TDefFontsList&) = delete;

    void Clear();
    void AddFont(const std::string& languageName, const std::string& fontName, std::uint8_t charset);
    void LoadFromRegistry();
    void SaveToRegistry();

    const std::vector<TDefFontListItem>& Items() const { return Items_; }
    bool Modified = false;

private:
    platform::Registry& Registry_;
    std::vector<TDefFontListItem> Items_;
};

// Made from the platform's registry at start-up and freed at exit.
extern std::unique_ptr<TDefFontsList> DefaultFontsList;
