// Text look-up by identifier, C-style escapes and the resource-string hook.

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {
TsiCustomLang* ResourceComponent = nullptr;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

TsiCustomLang* ResourceStringsComponent() { return ResourceComponent; }

void InstallResourceStringHook(TsiCustomLang& component) {
    if (ResourceComponent) return;
    ResourceComponent = &component;
    component.ResourceStringsTable().Fill(component.Section(stStrings), component.NumOfLanguages(), component.LangDelim(),
                                          component.ResourceLanguageIndex());
    siconsts::SetResStringHook(HookedLoadResString);
}

void ForgetResourceStringComponent(const TsiCustomLang& component) {
    if (ResourceComponent == &component) ResourceComponent = nullptr;
}

std::string HookedLoadResString(const std::string& text) {
    if (!ResourceComponent || ResourceComponent->ResourceLanguageIndex() == ResourceComponent->ActiveLanguage()) return text;
    std::string translated = ResourceComponent->ResourceStringsTable().GetTextBySource(text, ResourceComponent->ActiveLanguage());
    return translated.empty() ? text : translated;
}

std::string DecodeCEscapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
            case '"': case '\'': case '?': case '\\': out += c; break;
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'v': out += '\v'; break;
            case 'x': {
                const int first = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
                if (first < 0) {
                    out += "\\x";
                    break;
                }
                int value = first;
                ++i;
                if (i + 1 < text.size() && HexDigit(text[i + 1]) >= 0) value = value * 16 + HexDigit(text[++i]);
                out += static_cast<char>(value);
                break;
            }
            default:
                if (c >= '0' && c <= '7') {
                    int value = c - '0';
                    for (int k = 0; k < 2 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7'; ++k)
                        value = value * 8 + (text[++i] - '0');
                    out += static_cast<char>(value % 256);
                } else {
                    out += '\\';
                    out += c;
                }
        }
    }
    return out;
}

const TStringList* TsiCustomLang::CommonSection(int section, std::uint8_t option) const {
    if (!(Options & option) || !Dispatcher_) return nullptr;
    for (const TsiCustomLang* other : Dispatcher_->Linked())
        if (const TStringList* lines = other->GetSectionStrings(section); lines && !lines->empty()) return lines;
    return nullptr;
}

std::string TsiCustomLang::GetTextFromList(int section, std::string_view identifier, bool useFirstLanguage) const {
    const TStringList* lines = GetSectionStrings(section);
    bool common = false;
    if (section == stDlgsCaptions || section == stLocales || section == stStrings) {
        const std::uint8_t option = section == stStrings ? loUseExtUDStrings : loUseExtCommonStrings;
        if ((Options & option) && !Dispatcher_) return {};
        if (const TStringList* other = CommonSection(section, option); other) {
            common = other != lines;
            lines = other;
        }
    }
    if (!lines) return {};
    const auto notFound = [&] {
        if (DoRaiseExceptions)
            throw ELanguageError(cvformat::Format(siconsts::LoadMessage(siconsts::TMessage::StringNotFound), {std::string(identifier)}));
    };
    if (!Designing() && section == stStrings && !common) {
        if (DoRaiseExceptions && StringsTable_.IndexOfIdentifier(identifier) < 0) notFound();
        std::string result = StringsTable_.GetTextByIdentifier(identifier, ActiveLanguage_);
        const int index = StringsTable_.IndexOfIdentifier(identifier);
        const std::string first = index >= 0 && !StringsTable_.Items(index).Texts.empty() ? StringsTable_.Items(index).Texts[0] : std::string();
        if (result.empty() && TestModeOn() && ActiveLanguage_ > 1 && !first.empty())
            result = TestModeText(Dispatcher_->TestModeInfo, first, CurrentCharset_);
        if (result.empty() && useFirstLanguage) result = first;
        return result;
    }
    const std::string key = std::string(identifier) + LangDelim_;
    for (const auto& line : *lines) {
        if (!StartsText(key, line)) continue;
        std::string result = ExtractField(line, LangDelim_, static_cast<unsigned>(ActiveLanguage_));
        if (result.empty() && TestModeOn() && ActiveLanguage_ > 1) result = TestModeField(line);
        if (result.empty() && useFirstLanguage) result = ExtractField(line, LangDelim_, 1);
        return result;
    }
    notFound();
    return {};
}

void TsiCustomLang::RebuildStringsTables() {
    if (Designing()) return;
    StringsTable_.Fill(Sections_[stStrings], NumOfLanguages_, LangDelim_, 0);
    if (HandleResourceStrings && Owner_)
        ResourceStringsTable_.Fill(Sections_[stStrings], NumOfLanguages_, LangDelim_, ResourceLanguageIndex_);
}
