#include "i18n/memini.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "core/cvtext.h"

int CompareTextAscii(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerChar(a[i]));
        const auto cb = static_cast<unsigned char>(LowerChar(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::size_t FastPos(std::string_view pattern, std::string_view text) {
    const std::size_t m = pattern.size();
    if (m == 0) return 1;
    if (m > text.size()) return 0;
    std::array<std::size_t, 256> shift;
    shift.fill(m);
    for (std::size_t p = 1; p < m; ++p) shift[static_cast<unsigned char>(pattern[p - 1])] = m - p;
    std::size_t end = m;  // 1-based end of the window
    while (end <= text.size()) {
        std::size_t k = 0;
        while (k < m && text[end - 1 - k] == pattern[m - 1 - k]) ++k;
        if (k == m) return end - m + 1;
        end += shift[static_cast<unsigned char>(text[end - 1])];
    }
    return 0;
}

std::string ExtractField(std::string_view text, char delimiter, unsigned n) {
    std::size_t start = 0;
    for (unsigned i = 0; i < n; ++i) {
        const std::size_t d = text.find(delimiter, start);
        if (d == std::string_view::npos) return {};
        start = d + 1;
    }
    const std::size_t end = text.find(delimiter, start);
    return std::string(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

std::u16string ExtractFieldW(std::u16string_view text, char16_t delimiter, unsigned n) {
    std::size_t start = 0;
    for (unsigned i = 0; i < n; ++i) {
        const std::size_t d = text.find(delimiter, start);
        if (d == std::u16string_view::npos) return {};
        start = d + 1;
    }
    const std::size_t end = text.find(delimiter, start);
    if (end == std::u16string_view::npos) return {};
    return std::u16string(text.substr(start, end - start));
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

// ---- TsiCustomIniFile ---------------------------------------------------------

int TsiCustomIniFile::GetIntValue(const std::string& section, const std::string& key, int def) const {
    const std::string text = GetValue(section, key, "");
    int base = 10;
    std::string_view digits = text;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) return def;
    return value;
}

void TsiCustomIniFile::SetIntValue(const std::string& section, const std::string& key, int value) {
    SetValue(section, key, std::to_string(value));
}

bool TsiCustomIniFile::GetBoolValue(const std::string& section, const std::string& key, bool def) const {
    return GetIntValue(section, key, def ? 1 : 0) != 0;
}

void TsiCustomIniFile::SetBoolValue(const std::string& section, const std::string& key, bool value) {
    SetValue(section, key, value ? "1" : "0");
}

double TsiCustomIniFile::GetFloatValue(const std::string& section, const std::string& key, double def) const {
    std::string text = GetValue(section, key, "");
    const char decimal = cvformat::UserFormat().decimalSeparator;
    if (text.empty() || (text.find('.') != std::string::npos && decimal != '.')) return def;
    std::replace(text.begin(), text.end(), decimal, '.');
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : def;
}

void TsiCustomIniFile::SetFloatValue(const std::string& section, const std::string& key, double value) {
    SetValue(section, key, cvformat::Format("%g", {value}));
}

namespace {

// Numbers of a text split at any of the separators; none when anything else occurs.
std::optional<std::vector<int>> Numbers(std::string_view text, std::string_view separators) {
    std::vector<int> numbers;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        int value = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + start, text.data() + end, value);
        if (ec != std::errc() || ptr != text.data() + end || end == start) return std::nullopt;
        numbers.push_back(value);
        start = end + 1;
    }
    return numbers;
}

// The user's short date: day, month and year in the picture's order.
std::optional<platform::LocalTime> ParseDate(std::string_view text, const platform::LocaleInfo& locale) {
    const auto numbers = Numbers(text, std::string(1, locale.dateSeparator));
    if (!numbers || numbers->size() != 3) return std::nullopt;
    std::string order;
    for (char c : locale.shortDateFormat) {
        const char l = LowerChar(c);
        if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos) order += l;
    }
    if (order.size() != 3) order = "dmy";
    platform::LocalTime t;
    for (std::size_t i = 0; i < 3; ++i) {
        const int v = (*numbers)[i];
        if (order[i] == 'd') t.day = v;
        else if (order[i] == 'm') t.month = v;
        else t.year = v < 100 ? 2000 + v : v;
    }
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > (t.month == 2 && !leap ? 28 : days[t.month - 1]))
        return std::nullopt;
    return t;
}

// Hours, minutes and optional seconds, with an optional AM or PM after a blank.
std::optional<double> ParseTime(std::string_view text, const platform::LocaleInfo& locale) {
    int shift = 0;
    if (const std::size_t blank = text.rfind(' '); blank != std::string_view::npos) {
        const std::string_view suffix = text.substr(blank + 1);
        if (SameText(suffix, locale.timeAMString) || SameText(suffix, "AM")) shift = -1;
        else if (SameText(suffix, locale.timePMString) || SameText(suffix, "PM")) shift = 12;
        else return std::nullopt;
        text = text.substr(0, blank);
    }
    const auto numbers = Numbers(text, std::string(1, locale.timeSeparator));
    if (!numbers || numbers->size() < 2 || numbers->size() > 3) return std::nullopt;
    int hour = (*numbers)[0];
    const int minute = (*numbers)[1], second = numbers->size() == 3 ? (*numbers)[2] : 0;
    if (shift != 0 && (hour < 1 || hour > 12)) return std::nullopt;
    if (shift != 0) hour = hour % 12 + (shift > 0 ? 12 : 0);
    if (hour > 23 || minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0) return std::nullopt;
    return (hour * 3600 + minute * 60 + second) / 86400.0;
}

}  // namespace

double TsiCustomIniFile::GetDateValue(const std::string& section, const std::string& key, double def) const {
    const auto date = ParseDate(GetValue(section, key, ""), platform::current().locale());
    return date ? EncodeDateTime(*date) : def;
}

double TsiCustomIniFile::GetTimeValue(const std::string& section, const std::string& key, double def) const {
    const auto time = ParseTime(GetValue(section, key, ""), platform::current().locale());
    return time ? *time : def;
}

double TsiCustomIniFile::GetDateTimeValue(const std::string& section, const std::string& key, double def) const {
    const platform::LocaleInfo locale = platform::current().locale();
    const std::string text = GetValue(section, key, "");
    const std::size_t blank = text.find(' ');
    const auto date = ParseDate(text.substr(0, blank), locale);
    if (!date) return def;
    if (blank == std::string::npos) return EncodeDateTime(*date);
    const auto time = ParseTime(text.substr(blank + 1), locale);
    return time ? EncodeDateTime(*date) + *time : def;
}

void TsiCustomIniFile::SetDateValue(const std::string& section, const std::string& key, double value) {
    SetValue(section, key, FormatDateTime("ddddd", value, platform::current().locale()));
}

void TsiCustomIniFile::SetDateTimeValue(const std::string& section, const std::string& key, double value) {
    SetValue(section, key, FormatDateTime("c", value, platform::current().locale()));
}

void TsiCustomIniFile::SetTimeValue(const std::string& section, const std::string& key, double value) {
    SetValue(section, key, FormatDateTime("tt", value, platform::current().locale()));
}

// ---- TMemIniEntry -------------------------------------------------------------

std::pair<std::string, std::string> TMemIniEntry::SplitLine(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {std::string(line), {}};
    return {std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))};
}

std::size_t TMemIniEntry::AddLine(std::string_view line) {
    auto [key, value] = SplitLine(line);
    return AddPair(std::move(key), std::move(value));
}

std::size_t TMemIniEntry::AddPair(std::string key, std::string value) {
    const auto at = std::lower_bound(Keys_.begin(), Keys_.end(), key,
                                     [](const auto& entry, const std::string& k) { return CompareTextAscii(entry.first, k) < 0; });
    const auto index = static_cast<std::size_t>(at - Keys_.begin());
    Keys_.insert(at, {std::move(key), std::move(value)});
    return index;
}

bool TMemIniEntry::FindKey(std::string_view key, std::size_t& index) const {
    const auto at = std::lower_bound(Keys_.begin(), Keys_.end(), key,
                                     [](const auto& entry, std::string_view k) { return CompareTextAscii(entry.first, k) < 0; });
    index = static_cast<std::size_t>(at - Keys_.begin());
    return at != Keys_.end() && CompareTextAscii(at->first, key) == 0;
}

void TMemIniEntry::Assign(const std::vector<std::string>& lines) {
    Keys_.clear();
    for (const auto& line : lines) AddLine(line);
}

// ---- TsiMemIniFile ------------------------------------------------------------

TsiMemIniFile::TsiMemIniFile(std::string fileName) : TsiCustomIniFile(std::move(fileName)) { Reload(); }

void TsiMemIniFile::Reload() {
    std::error_code ec;
    if (!FileName().empty() && std::filesystem::is_regular_file(FileName(), ec)) {
        std::ifstream in(FileName(), std::ios::binary);
        if (!in) throw std::runtime_error("Cannot open file \"" + FileName() + "\"");
        std::ostringstream text;
        text << in.rdbuf();
        LoadFromText(text.str());
    } else {
        Sections_.clear();
    }
}

void TsiMemIniFile::LoadFromText(std::string_view text) { LoadLines(SplitTextLines(text)); }

void TsiMemIniFile::LoadLines(const std::vector<std::string>& lines) {
    Sections_.clear();
    TMemIniEntry* current = nullptr;
    for (const auto& line : lines) {
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            // A repeated header joins its lines to the first section of that name.
            current = &Sections_[line.substr(1, line.size() - 2)];
        } else if (current) {
            current->AddLine(line);
        }
    }
    Changed_ = true;
}

void TsiMemIniFile::SaveLines(std::vector<std::string>& lines) const {
    for (const auto& [name, entry] : Sections_) {
        lines.push_back("[" + name + "]");
        for (std::size_t i = 0; i < entry.KeyCount(); ++i) lines.push_back(entry.LineAt(i));
        lines.emplace_back();
    }
}

void TsiMemIniFile::Flush() {
    std::vector<std::string> lines;
    SaveLines(lines);
    std::ofstream out(FileName(), std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("Cannot create file \"" + FileName() + "\"");
    for (const auto& line : lines) out << line << "\r\n";
    if (!out) throw std::runtime_error("Cannot write file \"" + FileName() + "\"");
    Changed_ = false;
}

const TMemIniEntry* TsiMemIniFile::Find(const std::string& section) const {
    const auto it = Sections_.find(section);
    return it == Sections_.end() ? nullptr : &it->second;
}

std::string TsiMemIniFile::GetValue(const std::string& section, const std::string& key, const std::string& def) const {
    const TMemIniEntry* entry = Find(section);
    std::size_t index = 0;
    if (!entry || !entry->FindKey(key, index)) return def;
    return entry->LineAt(index).substr(key.size() + 1);
}

void TsiMemIniFile::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    TMemIniEntry& entry = Sections_[section];
    std::size_t index = 0;
    if (entry.FindKey(key, index)) entry.DeleteAt(index);
    entry.AddPair(key, value);
    Changed_ = true;
}

std::vector<std::string> TsiMemIniFile::ListKeys(const std::string& section) const {
    std::vector<std::string> keys;
    if (const TMemIniEntry* entry = Find(section))
        for (std::size_t i = 0; i < entry->KeyCount(); ++i) keys.push_back(entry->KeyAt(i));
    return keys;
}

std::vector<std::string> TsiMemIniFile::ListSections() const {
    std::vector<std::string> names;
    for (const auto& [name, entry] : Sections_) names.push_back(name);
    return names;
}

std::vector<std::string> TsiMemIniFile::ListSectionValues(const std::string& section) const {
    std::vector<std::string> values;
    if (const TMemIniEntry* entry = Find(section))
        for (std::size_t i = 0; i < entry->KeyCount(); ++i) values.push_back(entry->ValueAt(i));
    return values;
}

void TsiMemIniFile::RemoveSection(const std::string& section) {
    if (Sections_.erase(section) > 0) Changed_ = true;
}

void TsiMemIniFile::RemoveKey(const std::string& section, const std::string& key) {
    const auto it = Sections_.find(section);
    if (it == Sections_.end()) return;
    std::size_t index = 0;
    if (it->second.FindKey(key, index)) it->second.DeleteAt(index);
    Changed_ = true;
}

TMemIniEntry& TsiMemIniFile::AddSection(const std::string& name) {
    Changed_ = true;
    return Sections_[name];
}

void TsiMemIniFile::ClearSections() {
    Sections_.clear();
    Changed_ = true;
}
