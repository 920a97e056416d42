// The table as stored in a form's data: "TranslationData" and "ValuesEx".

#include <algorithm>

#include "core/cvtext.h"
#include "i18n/formstream.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {

// Position among the section headers; unicode set when it carries "_Unicode".
int HeaderIndex(std::string_view line, bool& unicode) {
    for (int i = 0; i < siconsts::SectionCount; ++i)
        if (SameText(line, siconsts::SectionNames[static_cast<std::size_t>(i)])) return i;
    for (int i = 0; i < siconsts::SectionCount; ++i)
        if (SameText(line, std::string(siconsts::SectionNames[static_cast<std::size_t>(i)]) + "_Unicode")) {
            unicode = true;
            return i;
        }
    return -1;
}

std::string SystemAnsi(std::u16string_view w) { return WideToAnsiByCharset(w, DEFAULT_CHARSET); }

char AsChar(const TStreamValue& v) {
    if (v.Type == vaString || v.Type == vaLString) return v.Text.empty() ? '\0' : v.Text[0];
    return static_cast<char>(v.Integer);
}

void ReadExtendedItem(TsiExtendedItem& item, const TStreamProperties& props) {
    for (const auto& [name, value] : props) {
        if (name == "Identifier") item.Identifier = value.Text;
        else if (name == "PropertyType") item.PropertyType = TypeKindByName(value.Text).value_or(TTypeKind::tkUnknown);
        else if (name == "ValuesEx") item.ReadValuesEx(value.Text);
    }
}

}  // namespace

void TsiWideStringsAdapter::SetText(std::u16string_view w) {
    Lines_.clear();
    std::u16string current;
    for (char16_t c : w) {
        if (c == u'\r') {
            Lines_.push_back(current);
            current.clear();
        } else if (c != u'\n') {
            current += c;
        }
    }
}

std::string TsiCustomLang::WriteTranslationData() const {
    std::string out;
    for (int s = 0; s < siconsts::SectionCount; ++s) {
        const TStringList* lines = GetSectionStrings(s);
        if (!lines) continue;
        out += std::string(siconsts::SectionNames[static_cast<std::size_t>(s)]) + "\r\n";
        for (const auto& line : *lines) out += EncodeBreaks(line) + "\r\n";
    }
    return out;
}

bool TsiCustomLang::HasTranslationData(const TsiCustomLang* ancestor) const {
    if (!ancestor) return true;
    for (int s = 0; s < siconsts::SectionCount; ++s) {
        const TStringList* own = GetSectionStrings(s);
        const TStringList* theirs = ancestor->GetSectionStrings(s);
        if (own && theirs && *own != *theirs) return true;
    }
    return false;
}

void TsiCustomLang::AddStoredLine(TStringList& section, std::string line) {
    const bool inherited = IsInheritedOwner && !ScratchCopy;
    if (inherited) {
        const int at = FindLineByIdentifier(section, line, LangDelim_);
        if (at >= 0) {
            section[static_cast<std::size_t>(at)] = MergeLines(section[static_cast<std::size_t>(at)], line, LangDelim_);
            return;
        }
    }
    if (Owner_ && line.starts_with(OwnerClassName() + LangDelim_)) section.insert(section.begin(), std::move(line));
    else section.push_back(std::move(line));
}

void TsiCustomLang::ReadTranslationData(std::string_view raw) {
    const bool wideData = raw.size() >= 2 && raw[1] == '\0';
    const std::u16string wide = wideData ? Utf16LEToWide(raw) : std::u16string();
    const std::string text = wideData ? SystemAnsi(wide) : std::string(raw);
    bool unicodeSeen = false;

    const TStringList lines = SplitTextLines(text);
    TStringList* section = nullptr;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool unicode = false;
        const int header = HeaderIndex(lines[i], unicode);
        unicodeSeen = unicodeSeen || unicode;
        if (header >= 0) {
            inSection = i + 1 < lines.size();
            section = inSection ? GetSectionStrings(header) : nullptr;
            if (section && (Designing() || !IsInheritedOwner || ScratchCopy)) section->clear();
            continue;
        }
        if (section) AddStoredLine(*section, DecodeBreaks(lines[i]));
    }
    UpdateCurrentCharset();

    if (!unicodeSeen) return;
    for (auto& item : Extended_.All()) {
        std::u16string line = u"_";
        line += static_cast<char16_t>(static_cast<unsigned char>(LangDelim_));
        line += item.ValuesWide;
        item.Values = WideLineToAnsi(line).substr(2);
    }
    TsiWideStringsAdapter wideLines;
    wideLines.SetText(wide);
    section = nullptr;
    for (int i = 0; i < wideLines.Count(); ++i) {
        bool unicode = false;
        const int header = HeaderIndex(SystemAnsi(wideLines.Strings(i)), unicode);
        if (header >= 0) {
            const bool kept8Bit = header == stFonts || header == stCharSets;
            section = i + 1 < wideLines.Count() && !kept8Bit ? GetSectionStrings(header) : nullptr;
            if (section && (Designing() || !IsInheritedOwner)) section->clear();
            continue;
        }
        if (section) AddStoredLine(*section, DecodeBreaks(WideLineToAnsi(wideLines.Strings(i))));
    }
}

std::string TsiCustomLang::WideLineToAnsi(std::u16string_view wideLine) {
    if (static_cast<int>(LanguageCharsets_.size()) < NumOfLanguages_) RebuildLanguageCharsets();
    const char16_t delim = static_cast<unsigned char>(LangDelim_);
    const std::size_t end0 = wideLine.find(delim);
    std::string result = SystemAnsi(wideLine.substr(0, end0)) + LangDelim_;
    for (int k = 1; k <= NumOfLanguages_; ++k) {
        const std::u16string field = ExtractFieldW(wideLine, delim, static_cast<unsigned>(k));
        result += (StoreAsUTF8_ ? WideToUtf8(field)
                                : WideToAnsiByCharset(field, LanguageCharsets_[static_cast<std::size_t>(k - 1)])) +
                  LangDelim_;
    }
    return result;
}

void TsiExtendedItem::ReadValuesEx(std::string_view raw) {
    // Stored values are kept whole: only the byte-order mark FF FE marks UTF-16.
    ValuesWide.clear();
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
        ValuesWide = Utf16LEToWide(raw.substr(2));
        Values = SystemAnsi(ValuesWide);
    } else {
        Values = std::string(raw);
    }
}

std::string TsiCustomLang::WriteFormData() const {
    TStreamComponent component{"TsiLangRT", "siLangRT1", {}};
    if (IsExtendedTranslationsStored()) {
        std::vector<TStreamProperties> items;
        for (const TsiExtendedItem& item : Extended_.All()) {
            TStreamProperties& props = items.emplace_back();
            props.emplace_back("Identifier", TStreamValue::String(item.Identifier));
            props.emplace_back("PropertyType", TStreamValue::Ident(std::string(TypeKindName(item.PropertyType))));
            if (item.IsValuesExStored(nullptr)) props.emplace_back("ValuesEx", TStreamValue::Binary(item.WriteValuesEx()));
        }
        component.Properties.emplace_back("ExtendedTranslations", TStreamValue::Items(std::move(items)));
    }
    component.Properties.emplace_back("TranslationData", TStreamValue::Binary(WriteTranslationData()));
    return WriteComponentStream(component);
}

void TsiCustomLang::ReadFormData(std::string_view data, std::size_t offset) {
    for (const auto& [name, value] : ReadComponentStream(data, offset).Properties) {
        if (name == "LangNames.Strings") {
            TStringList names;
            for (const auto& item : value.List) names.push_back(item.Text);
            SetLangNames(names);
        } else if (name == "NumOfLanguages") {
            NumOfLanguages_ = static_cast<int>(value.Integer);
        } else if (name == "LangDelim") {
            LangDelim_ = AsChar(value);
        } else if (name == "StoreAsUTF8") {
            StoreAsUTF8_ = value.Type == vaTrue;
        } else if (name == "ExtendedTranslations") {
            for (const auto& props : value.Collection) ReadExtendedItem(Extended_.Add(), props);
        } else if (name == "TranslationData") {
            ReadTranslationData(value.Text);
        }
    }
}
