// Default-language fallback, column padding, locale lines and test mode.

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"
#include "platform/platform.h"

namespace {

// Unicode case mapping, the same on every machine.
locale_t UnicodeCType() {
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return loc;
}

char16_t Upper(char16_t c) {
    if (c >= 0xD800 && c < 0xE000) return c;
    const wint_t u = towupper_l(static_cast<wint_t>(c), UnicodeCType());
    return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

char16_t Lower(char16_t c) {
    if (c >= 0xD800 && c < 0xE000) return c;
    const wint_t l = towlower_l(static_cast<wint_t>(c), UnicodeCType());
    return l <= 0xFFFF ? static_cast<char16_t>(l) : c;
}

bool IsUpper(char16_t c) {
    return !(c >= 0xD800 && c < 0xE000) && iswupper_l(static_cast<wint_t>(c), UnicodeCType());
}

std::u16string UpperText(std::u16string_view text) {
    std::u16string result(text);
    for (auto& c : result) c = Upper(c);
    return result;
}

// Enough to widen any text the forms hold; a measure that never grows stops here.
constexpr int MaxPaddingSteps = 4096;

std::u16string ExpandWidth(const TTestModeInfo& info, std::u16string_view text) {
    const auto width = [&](const std::u16string& t) { return info.Width ? info.Width(t) : static_cast<int>(t.size()); };
    std::u16string result = UpperText(text);
    const int w = width(std::u16string(text));
    const int target = w + w * info.ExpandWidthPercent / 100;
    const char16_t pad = static_cast<unsigned char>(info.PaddingChar);
    std::ptrdiff_t pos = static_cast<std::ptrdiff_t>(result.size());
    for (int step = 0; step < MaxPaddingSteps && width(result) < target; ++step) {
        const std::size_t at = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(pos - 1, 0, static_cast<std::ptrdiff_t>(result.size())));
        result.insert(result.begin() + static_cast<std::ptrdiff_t>(at), pad);
        pos -= 2;
        if (pos <= 1) pos = static_cast<std::ptrdiff_t>(result.size()) - 1;
    }
    return result;
}

std::string JoinNames(const auto& names) {
    std::string joined;
    for (const auto& name : names) joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

template <std::size_t N>
void SetNames(std::array<std::string, N>& names, const std::string& text) {
    const auto items = ParseCommaText(text);
    for (std::size_t i = 0; i < items.size() && i < N; ++i) names[i] = items[i];
}

}  // namespace

std::u16string FlipCase(std::u16string_view text) {
    std::u16string result(text);
    for (auto& c : result) c = IsUpper(c) ? Lower(c) : Upper(c);
    return result;
}

std::u16string ExpandChars(std::u16string_view text, char16_t paddingChar, int percent) {
    if (text.find(u'%') != std::u16string_view::npos) return std::u16string(text);
    const std::size_t length = text.size();
    long total = static_cast<long>(length) * percent / 100;
    std::u16string result;
    for (std::size_t p = 1; p <= length; ++p) {
        const long k = total / static_cast<long>(length - p + 1);
        result += text[p - 1];
        result.append(static_cast<std::size_t>(std::max(k, 0L)), paddingChar);
        total -= k;
    }
    return result;
}

std::string TestModeText(const TTestModeInfo& info, std::string_view text, std::uint8_t charset) {
    const std::u16string wide = AnsiToWideByCharset(text, charset);
    std::u16string result;
    switch (info.Kind) {
        case TTestModeKind::tmkExpandWidth: result = ExpandWidth(info, wide); break;
        case TTestModeKind::tmkFlipCase: result = FlipCase(wide); break;
        case TTestModeKind::tmkExpandChars:
            result = ExpandChars(wide, static_cast<unsigned char>(info.PaddingChar), info.ExpandCharsPercent);
            break;
    }
    return WideToAnsiByCharset(result, charset);
}

TCapturedLocale CaptureLocale() {
    const platform::LocaleInfo l = platform::current().locale();
    return {l.currencyString,
            std::string(1, l.thousandSeparator),
            std::string(1, l.decimalSeparator),
            std::string(1, l.dateSeparator),
            l.shortDateFormat,
            l.longDateFormat,
            std::string(1, l.timeSeparator),
            l.timeAMString,
            l.timePMString,
            l.shortTimeFormat,
            l.longTimeFormat,
            JoinNames(l.shortMonthNames),
            JoinNames(l.longMonthNames),
            JoinNames(l.shortDayNames),
            JoinNames(l.longDayNames)};
}

void ApplyLocaleLine(int index, const std::string& text) {
    if (text.empty()) return;
    platform::LocaleInfo l = platform::current().locale();
    switch (index) {
        case 0: l.currencyString = text; break;
        case 1: l.thousandSeparator = text[0]; break;
        case 2: l.decimalSeparator = text[0]; break;
        case 3: l.dateSeparator = text[0]; break;
        case 4: l.shortDateFormat = text; break;
        case 5: l.longDateFormat = text; break;
        case 6: l.timeSeparator = text[0]; break;
        case 7: l.timeAMString = text; break;
        case 8: l.timePMString = text; break;
        case 9: l.shortTimeFormat = text; break;
        case 10: l.longTimeFormat = text; break;
        case 11: SetNames(l.shortMonthNames, text); break;
        case 12: SetNames(l.longMonthNames, text); break;
        case 13: SetNames(l.shortDayNames, text); break;
        case 14: SetNames(l.longDayNames, text); break;
        default: return;
    }
    platform::current().setLocale(l);
}

std::string TsiCustomLang::GetFieldWithDefault(std::string_view line, int language) const {
    std::string result = ExtractField(line, LangDelim_, static_cast<unsigned>(std::max(language, 0)));
    if (UseDefaultLanguage_ && result.empty() && language != DefaultLanguage_)
        result = ExtractField(line, LangDelim_, static_cast<unsigned>(DefaultLanguage_));
    return result;
}

bool TsiCustomLang::TestModeOn() const { return Dispatcher_ && Dispatcher_->TestModeInfo.Active; }

std::string TsiCustomLang::TestModeField(std::string_view line) const {
    const std::string first = ExtractField(line, LangDelim_, 1);
    if (first.empty() || !Dispatcher_) return first;
    return TestModeText(Dispatcher_->TestModeInfo, first, StoreAsUTF8_ ? DEFAULT_CHARSET : CurrentCharset_);
}

void TsiCustomLang::PadLanguageColumns(TStringList& section) const {
    for (auto& line : section) {
        const auto d = static_cast<int>(CountDelimiters(line, std::string_view(&LangDelim_, 1)));
        if (NumOfLanguages_ >= d) line.append(static_cast<std::size_t>(NumOfLanguages_ - d + 1), LangDelim_);
    }
}

void TsiCustomLang::PadStringSections() {
    for (int s : {int(stStrings), int(stDlgsCaptions), int(stLocales)})
        if (TStringList* lines = GetSectionStrings(s)) PadLanguageColumns(*lines);
}

void TsiCustomLang::SetDefaultLanguage(int value) {
    if (value >= 1 && value <= NumOfLanguages_) DefaultLanguage_ = value;
}

void TsiCustomLang::SetChangeLocales(bool value) {
    if (value == ChangeLocales_) return;
    ChangeLocales_ = value;
    TStringList* locales = GetSectionStrings(stLocales);
    if (!value || !locales || !locales->empty()) return;
    for (int i = 0; i < siconsts::LocaleLineCount; ++i)
        locales->push_back(std::string(siconsts::LocaleLineNames[static_cast<std::size_t>(i)]) + LangDelim_ +
                           CapturedLocale_[static_cast<std::size_t>(i)] + LangDelim_);
}
