// A charset per language and the conversions between 8-bit table text,
// wide strings and UTF-8, through glibc's iconv.

#include <iconv.h>

#include <array>
#include <cerrno>
#include <string>

#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {

struct TCodePageRow {
    std::uint8_t Charset;
    unsigned CodePage;
};
// The system's charset table; DEFAULT, MAC and OEM have no row.
constexpr std::array<TCodePageRow, 16> CodePages = {{
    {0, 1252}, {238, 1250}, {204, 1251}, {161, 1253}, {162, 1254}, {177, 1255}, {178, 1256}, {186, 1257},
    {163, 1258}, {222, 874}, {128, 932}, {134, 936}, {129, 949}, {136, 950}, {130, 1361}, {2, 42},
}};
constexpr unsigned SystemAnsiCodePage = 1252;
constexpr unsigned SymbolCodePage = 42;

unsigned EffectiveCodePage(std::uint8_t charset) {
    const unsigned cp = CharsetCodePage(charset);
    return cp == 0 ? SystemAnsiCodePage : cp;
}

class TIconv {
public:
    TIconv(const std::string& to, const std::string& from) : Cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~TIconv() {
        if (Cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(Cd_);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Ok() const { return Cd_ != reinterpret_cast<iconv_t>(-1); }
    // Converts one unit of input at a time where it fails, so every
    // character the target cannot hold becomes one replacement.
    std::string Run(std::string_view in, std::size_t unit, const std::string& replacement) {
        std::string out;
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        std::array<char, 256> buffer;
        while (left > 0) {
            char* dst = buffer.data();
            std::size_t room = buffer.size();
            const std::size_t r = iconv(Cd_, &src, &left, &dst, &room);
            out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
            if (r != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: skip the unit (a whole surrogate pair when it is one).
            std::size_t skip = std::min(unit, left);
            if (unit == 2 && left >= 4) {
                const unsigned hi = static_cast<unsigned char>(src[0]) | static_cast<unsigned char>(src[1]) << 8;
                if (hi >= 0xD800 && hi < 0xDC00) skip = 4;
            }
            src += skip;
            left -= skip;
            out += replacement;
            iconv(Cd_, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer.data();
        std::size_t room = buffer.size();
        iconv(Cd_, nullptr, nullptr, &dst, &room);
        out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
        return out;
    }

private:
    iconv_t Cd_;
};

std::string IconvName(unsigned codePage) { return "CP" + std::to_string(codePage); }

std::string ToUtf16Bytes(std::u16string_view w) {
    std::string bytes;
    bytes.reserve(w.size() * 2);
    for (char16_t c : w) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

const std::string Utf16 = "UTF-16LE";

}  // namespace

std::u16string Utf16LEToWide(std::string_view bytes) {
    std::u16string w(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) | static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return w;
}

unsigned CharsetCodePage(std::uint8_t charset) {
    for (const auto& row : CodePages)
        if (row.Charset == charset) return row.CodePage;
    return 0;
}

std::optional<std::uint8_t> CharsetByName(std::string_view name, bool ignoreCase) {
    for (const auto& [n, value] : siconsts::CharsetNames)
        if (ignoreCase ? CompareTextAscii(n, name) == 0 : n == name) return value;
    return std::nullopt;
}

std::string CharsetName(std::uint8_t charset) {
    for (const auto& [name, value] : siconsts::CharsetNames)
        if (value == charset) return std::string(name);
    return "DEFAULT_CHARSET";
}

std::u16string AnsiToWideByCharset(std::string_view s, std::uint8_t charset) {
    if (s.empty()) return {};
    const unsigned cp = EffectiveCodePage(charset);
    if (cp == SymbolCodePage) {
        std::u16string w;
        for (char c : s) {
            const auto b = static_cast<unsigned char>(c);
            w += static_cast<char16_t>(b >= 0x20 ? 0xF000 + b : b);
        }
        return w;
    }
    TIconv conv(Utf16, IconvName(cp));
    if (!conv.Ok()) return {};
    // A byte the code page leaves undefined becomes "?" too.
    return Utf16LEToWide(conv.Run(s, 1, std::string("?\0", 2)));
}

std::string WideToAnsiByCharset(std::u16string_view w, std::uint8_t charset) {
    if (w.empty()) return {};
    const unsigned cp = EffectiveCodePage(charset);
    if (cp == SymbolCodePage) {
        std::string s;
        for (char16_t c : w) {
            if (c < 0x20) s += static_cast<char>(c);
            else if (c >= 0xF020 && c <= 0xF0FF) s += static_cast<char>(c - 0xF000);
            else s += '?';
        }
        return s;
    }
    TIconv conv(IconvName(cp), Utf16);
    if (!conv.Ok()) return {};
    return conv.Run(ToUtf16Bytes(w), 2, "?");
}

std::u16string Utf8ToWide(std::string_view s) {
    if (s.empty()) return {};
    TIconv conv(Utf16, "UTF-8");
    return Utf16LEToWide(conv.Run(s, 1, ToUtf16Bytes(u"\uFFFD")));
}

std::string WideToUtf8(std::u16string_view w) {
    if (w.empty()) return {};
    TIconv conv("UTF-8", Utf16);
    return conv.Run(ToUtf16Bytes(w), 2, "\xEF\xBF\xBD");
}

std::string AnsiToUtf8ByCharset(std::string_view s, std::uint8_t charset) {
    return WideToUtf8(AnsiToWideByCharset(s, charset));
}

std::string Utf8ToAnsiByCharset(std::string_view s, std::uint8_t charset) {
    return WideToAnsiByCharset(Utf8ToWide(s), charset);
}

// ---- per component --------------------------------------------------------------

std::uint8_t TsiCustomLang::GetLanguageCharset(int language) {
    std::string name;
    if (!Owner_ || ScratchCopy) {
        if (!Sections_[stCharSets].empty()) name = ExtractField(Sections_[stCharSets].front(), LangDelim_, static_cast<unsigned>(std::max(language, 0)));
    } else {
        for (const auto& line : Sections_[stCharSets])
            if (CompareTextAscii(ExtractField(line, LangDelim_, 0), OwnerClassName()) == 0) {
                name = ExtractField(line, LangDelim_, static_cast<unsigned>(std::max(language, 0)));
                break;
            }
    }
    if (name.empty()) {
        if (!CharsetSource_ && Dispatcher_)
            for (TsiCustomLang* other : Dispatcher_->Linked())
                if (other != this && other->Owner_ && other->Owner_->Is(THostClass::Form)) CharsetSource_ = other;
        if (CharsetSource_) name = CharsetSource_->FindField(stCharSets, CharsetSource_->OwnerClassName(), language);
    }
    return CharsetByName(name, false).value_or(DEFAULT_CHARSET);
}

void TsiCustomLang::RebuildLanguageCharsets() {
    LanguageCharsets_.resize(static_cast<std::size_t>(NumOfLanguages_));
    for (int n = 1; n <= NumOfLanguages_; ++n) LanguageCharsets_[static_cast<std::size_t>(n - 1)] = GetLanguageCharset(n);
}

void TsiCustomLang::UpdateCurrentCharset() {
    RebuildLanguageCharsets();
    if (ActiveLanguage_ >= 1 && ActiveLanguage_ <= NumOfLanguages_)
        CurrentCharset_ = LanguageCharsets_[static_cast<std::size_t>(ActiveLanguage_ - 1)];
}

std::string TsiCustomLang::GetStringPropText(const TPropertyHost* instance, std::string_view property) const {
    if (!instance) return {};
    const auto prop = instance->FindProperty(property);
    if (!prop) return {};
    if (prop->Kind == TTypeKind::tkWString) {
        const std::u16string value = instance->GetWide(property);
        return StoreAsUTF8_ ? WideToUtf8(value) : WideToAnsiByCharset(value, CurrentCharset_);
    }
    return instance->GetStr(property);
}

void TsiCustomLang::SetStoreAsUTF8(bool value) {
    if (Loading_) {
        StoreAsUTF8_ = value;
        return;
    }
    if (value == StoreAsUTF8_) return;
    ConvertTablesEncoding(value);
    StoreAsUTF8_ = value;
}

void TsiCustomLang::ConvertTablesEncoding(bool toUtf8) {
    RebuildLanguageCharsets();
    const auto convert = [&](const std::string& field, int n) {
        const std::uint8_t charset = LanguageCharsets_[static_cast<std::size_t>(n - 1)];
        return toUtf8 ? AnsiToUtf8ByCharset(field, charset) : Utf8ToAnsiByCharset(field, charset);
    };
    for (int s = 0; s < siconsts::SectionCount; ++s) {
        TStringList* lines = s == stFonts || s == stCharSets ? nullptr : GetSectionStrings(s);
        if (!lines) continue;
        for (auto& line : *lines) {
            std::string rebuilt = ExtractField(line, LangDelim_, 0) + LangDelim_;
            for (int n = 1; n <= NumOfLanguages_; ++n)
                rebuilt += convert(ExtractField(line, LangDelim_, static_cast<unsigned>(n)), n) + LangDelim_;
            line = rebuilt;
        }
    }
    if (!Designing()) {
        StringsTable_.Fill(Sections_[stStrings], NumOfLanguages_, LangDelim_, 0);
        if (HandleResourceStrings && ResourceStringsComponent() == this)
            ResourceStringsTable_.Fill(Sections_[stStrings], NumOfLanguages_, LangDelim_, ResourceLanguageIndex_);
    }
    for (auto& item : Extended_.All()) {
        std::string rebuilt;
        for (int n = 1; n <= NumOfLanguages_; ++n) rebuilt += convert(ExtractValue(item.Values, LangDelim_, n), n) + LangDelim_;
        item.Values = rebuilt;
    }
}
