#include "i18n/memini.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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
    if (text.empty()) return {};
    std::size_t start = 0;
    for (unsigned i = 0; i < n; ++i) {
        const std::size_t d = text.find(delimiter, std::max<std::size_t>(start, 1));
        if (d == std::string_view::npos) return {};
        start = d + 1;
    }
    const std::size_t end = text.find(delimiter, std::max<std::size_t>(start, n == 0 ? 1 : start));
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
