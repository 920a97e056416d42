// The translation table in memory: line grammar, token helpers and the
// operations that keep lines consistent.

#include <algorithm>
#include <charconv>
#include <optional>
#include <stdexcept>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

using siconsts::SectionCount;

std::size_t TokenStart(unsigned n, std::string_view line, std::string_view delimiters) {
    std::size_t pos = 0;  // 0-based start of the current token
    for (unsigned k = 1; k < n; ++k) {
        const std::size_t d = line.find_first_of(delimiters, pos);
        if (d == std::string_view::npos || d + 1 >= line.size()) return line.size();
        pos = d + 1;
    }
    return n == 0 ? line.size() : pos + 1;
}

std::string TranslateChars(std::string text, std::string_view from, std::string_view to) {
    for (char& c : text)
        if (const std::size_t i = from.find(c); i != std::string_view::npos && i < to.size()) c = to[i];
    return text;
}

std::string GetToken(unsigned n, std::string_view line, std::string_view delimiters) {
    const std::size_t start = TokenStart(n, line, delimiters);
    if (start >= line.size()) return {};
    const std::size_t end = line.find_first_of(delimiters, start - 1);
    return std::string(line.substr(start - 1, end == std::string_view::npos ? std::string_view::npos : end - start + 1));
}

std::size_t CountDelimiters(std::string_view line, std::string_view delimiters) {
    return static_cast<std::size_t>(
        std::count_if(line.begin(), line.end(), [&](char c) { return delimiters.find(c) != std::string_view::npos; }));
}

std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement, bool all) {
    std::string result(text);
    if (find.empty()) return result;
    std::size_t at = 0;
    while ((at = result.find(find, at)) != std::string::npos) {
        result.replace(at, find.size(), replacement);
        at += replacement.size();
        if (!all) break;
    }
    return result;
}

std::string TrimDelimiters(std::string_view text, std::string_view delimiters) {
    const std::size_t first = text.find_first_not_of(delimiters);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(delimiters);
    return std::string(text.substr(first, last - first + 1));
}

TStringList SplitText(std::string_view text, std::string_view separator) {
    TStringList parts;
    if (separator.empty()) {
        if (!text.empty()) parts.emplace_back(text);
        return parts;
    }
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + separator.size())
        parts.emplace_back(text.substr(start, at - start));
    if (start < text.size()) parts.emplace_back(text.substr(start));
    return parts;
}

std::string JoinTexts(const TStringList& list, std::string_view separator, bool skipEmpty) {
    std::string result;
    bool first = true;
    for (const auto& item : list) {
        if (skipEmpty && item.empty()) continue;
        if (!first) result += separator;
        result += item;
        first = false;
    }
    return result;
}

std::string MergeLines(std::string_view oldLine, std::string_view newLine, char delimiter) {
    const std::string_view sep(&delimiter, 1);
    const TStringList oldParts = SplitText(oldLine, sep);
    const TStringList newParts = SplitText(newLine, sep);
    TStringList merged;
    if (!oldParts.empty()) merged.push_back(oldParts[0]);
    for (std::size_t i = 1; i < oldParts.size(); ++i)
        merged.push_back(i < newParts.size() && !newParts[i].empty() ? newParts[i] : oldParts[i]);
    for (std::size_t i = std::max<std::size_t>(oldParts.size(), 1); i < newParts.size(); ++i) merged.push_back(newParts[i]);
    return JoinTexts(merged, "\x01", false) + '\x01';
}

TStringList SortedUniqueText(TStringList list) {
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return CompareTextAscii(a, b) < 0; });
    list.erase(std::unique(list.begin(), list.end(), [](const auto& a, const auto& b) { return SameText(a, b); }), list.end());
    return list;
}

int IndexOfText(const TStringList& list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (SameText(list[i], text)) return static_cast<int>(i);
    return -1;
}

std::string DialogCaptionIdentifier(int k) {
    std::string name(siconsts::DialogCaptionNames[static_cast<std::size_t>(k - 1)]);
    std::erase(name, '&');
    return name;
}

std::string DialogCaptionDefault(int k) {
    return std::string(k <= siconsts::BasicDialogCaptionCount ? siconsts::BasicDialogCaptionTexts[static_cast<std::size_t>(k - 1)]
                                                              : siconsts::DialogCaptionNames[static_cast<std::size_t>(k - 1)]);
}

namespace {

// The identifier of a line: up to its first delimiter.
std::string_view LineIdentifier(std::string_view line, char delimiter) {
    return line.substr(0, line.find(delimiter));
}

bool IsDottedSection(int ordinal) { return ordinal == stMultiLines || ordinal == stOtherStrings; }

}  // namespace

std::optional<int> BracketIndex(std::string_view path) {
    const std::size_t open = path.find('['), close = path.find(']');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
    int value = 0;
    const char* first = path.data() + open + 1;
    const char* last = path.data() + close;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

TStringList* TsiCustomLang::GetSectionStrings(int ordinal) {
    return HasSection(ordinal) ? &Sections_[static_cast<std::size_t>(ordinal)] : nullptr;
}

const TStringList* TsiCustomLang::GetSectionStrings(int ordinal) const {
    return HasSection(ordinal) ? &Sections_[static_cast<std::size_t>(ordinal)] : nullptr;
}

std::string TsiCustomLang::FindField(int section, std::string_view identifier, int language) const {
    const TStringList* lines = GetSectionStrings(section);
    if (!lines || language < 0) return {};
    for (const auto& line : *lines) {
        if (CompareTextAscii(ExtractField(line, LangDelim_, 0), identifier) != 0) continue;
        std::string text = ExtractField(line, LangDelim_, static_cast<unsigned>(language));
        if (StoreAsUTF8_ && section != stCharSets && section != stFonts)
            text = Utf8ToAnsiByCharset(text, const_cast<TsiCustomLang*>(this)->GetLanguageCharset(language));
        return text;
    }
    return {};
}

int TsiCustomLang::FindLineByIdentifier(const TStringList& section, std::string_view line, char delimiter) {
    const TStringList parts = SplitText(line, std::string_view(&delimiter, 1));
    const std::string id = parts.empty() ? std::string() : parts[0];
    for (std::size_t i = 0; i < section.size(); ++i) {
        const TStringList other = SplitText(section[i], std::string_view(&delimiter, 1));
        if (CompareTextAscii(other.empty() ? std::string() : other[0], id) == 0) return static_cast<int>(i);
    }
    return -1;
}

std::string TsiCustomLang::BuildSingleLanguageLine(std::string_view text, int language) const {
    std::string line;
    for (int k = 1; k <= NumOfLanguages_; ++k) {
        if (k == language) line += text;
        line += LangDelim_;
    }
    return line;
}

void TsiCustomLang::SetTranslation(int section, const std::string& text, int language, std::string_view identifier) {
    if (language < 1) return;
    const std::string stored = StoreAsUTF8_ ? AnsiToUtf8ByCharset(text, GetLanguageCharset(language)) : text;
    if (section == stStrings && !Designing()) {
        for (TsiStringsCollection* table : {&StringsTable_, &ResourceStringsTable_}) {
            const int i = table->IndexOfIdentifier(identifier);
            if (i >= 0 && static_cast<int>(table->Items(i).Texts.size()) >= language)
                table->Items(i).Texts[static_cast<std::size_t>(language - 1)] = stored;
        }
    }
    TStringList* lines = GetSectionStrings(section);
    if (!lines) return;
    for (auto& line : *lines) {
        if (CompareTextAscii(LineIdentifier(line, LangDelim_), identifier) != 0) continue;
        std::string rebuilt;
        int delimiters = 0;
        bool written = false;
        for (char c : line) {
            if (c == LangDelim_) {
                ++delimiters;
                if (delimiters == language + 1) {
                    rebuilt += LangDelim_ + stored + LangDelim_;
                    written = true;
                    continue;
                }
            }
            if (delimiters != language) rebuilt += c;
        }
        if (delimiters < language) return;  // too few fields: unchanged
        if (!written) rebuilt += LangDelim_ + stored;
        line = rebuilt;
        return;
    }
}

void TsiCustomLang::SetNumOfLanguages(int value) {
    if (value == NumOfLanguages_) return;
    if (value < 1) throw ELanguageError(std::to_string(value) + siconsts::LoadMessage(siconsts::TMessage::NotZeroLanguages));
    if (value < NumOfLanguages_) {
        for (auto& section : Sections_)
            for (auto& line : section) {
                std::size_t at = 0;
                int count = 0;
                for (; at < line.size(); ++at)
                    if (line[at] == LangDelim_ && ++count == value + 1) break;
                if (at + 1 < line.size()) line.resize(at + 1);
            }
    }
    NumOfLanguages_ = value;
    while (static_cast<int>(LangNames_.size()) < value) LangNames_.push_back("Language N" + std::to_string(LangNames_.size() + 1));
    LangNames_.resize(static_cast<std::size_t>(value));
    if (!Loading_) {
        PadStringSections();
        if (!Designing()) RebuildStringsTables();
    }
}

void TsiCustomLang::SetLangDelim(char value) {
    if (value == LangDelim_) return;
    if (!Loading_) ReplaceDelimiter(LangDelim_, value);
    LangDelim_ = value;
}

void TsiCustomLang::ReplaceDelimiter(char oldDelimiter, char newDelimiter) {
    for (auto& section : Sections_)
        for (auto& line : section) std::replace(line.begin(), line.end(), oldDelimiter, newDelimiter);
    for (auto& item : Extended_.All()) std::replace(item.Values.begin(), item.Values.end(), oldDelimiter, newDelimiter);
}

void TsiCustomLang::DeleteColumn(TStringList& section, unsigned n, char delimiter) {
    for (auto it = section.rbegin(); it != section.rend(); ++it) {
        const std::size_t c = CountDelimiters(*it, std::string_view(&delimiter, 1));
        std::string line = ExtractField(*it, delimiter, 0) + delimiter;
        for (unsigned i = 1; i <= c; ++i)
            if (i != n) line += ExtractField(*it, delimiter, i) + delimiter;
        *it = line;
    }
}

void TsiCustomLang::MoveColumn(TStringList& section, unsigned from, unsigned to, char delimiter) {
    if (from == to) return;
    for (auto& line : section) {
        const std::size_t c = CountDelimiters(line, std::string_view(&delimiter, 1));
        TStringList fields;
        for (unsigned i = 1; i < c; ++i) fields.push_back(ExtractField(line, delimiter, i));
        if (from >= 1 && from <= fields.size() && to >= 1 && to <= fields.size()) {
            std::string moved = fields[from - 1];
            fields.erase(fields.begin() + from - 1);
            fields.insert(fields.begin() + to - 1, moved);
        }
        std::string rebuilt = ExtractField(line, delimiter, 0) + delimiter;
        for (const auto& field : fields) rebuilt += field + delimiter;
        line = rebuilt;
    }
}

bool TsiCustomLang::CaptionIsActions(const TPropertyHost& component, std::string_view property) const {
    const auto action = component.FindProperty("Action");
    if (!action || action->Kind != TTypeKind::tkClass) return false;
    const TPropertyHost* held = component.GetObject("Action");
    if (!held) return false;
    const auto prop = held->FindProperty(property);
    return prop && IsStringKind(prop->Kind) && GetStringPropText(held, property) == GetStringPropText(&component, property);
}

int TsiCustomLang::CheckedStart(int ordinal) {
    TStringList& lines = Sections_[static_cast<std::size_t>(ordinal)];
    if (ordinal != stCaptions && ordinal != stHints && ordinal != stFonts && ordinal != stCharSets) return 0;
    if (!Owner_) return 0;
    const auto prop = Owner_->FindProperty(ordinal == stCaptions ? "Caption" : ordinal == stHints ? "Hint" : "Font");
    if (!prop) return 0;
    if (ordinal == stCaptions || ordinal == stHints) {
        if (!IsStringKind(prop->Kind)) return 0;
        if (CaptionIsActions(*Owner_, prop->Name) && !lines.empty() &&
            lines[0].find(OwnerClassName() + LangDelim_) != std::string::npos) {
            lines.erase(lines.begin());
            return 0;
        }
        return 1;
    }
    return prop->Kind == TTypeKind::tkClass && SameText(prop->TypeName, "TFont") ? 1 : 0;
}

void TsiCustomLang::CompactSection(int ordinal) {
    if (ordinal == stDlgsCaptions || ordinal == stStrings || ordinal == stLocales) return;
    TStringList* section = GetSectionStrings(ordinal);
    if (!section || !Owner_) return;
    TStringList& lines = *section;
    const std::string_view delim(&LangDelim_, 1);
    for (auto& line : lines)
        while (CountDelimiters(line, delim) > static_cast<std::size_t>(NumOfLanguages_) + 1 && line.back() == LangDelim_)
            line.pop_back();

    if (ordinal == stCollections) {
        for (std::size_t i = 0; i < lines.size();) {
            const std::string id = ExtractField(lines[i], LangDelim_, 0);
            const std::string name = id.substr(0, id.find('.'));
            const TPropertyHost* component = Owner_->FindComponent(name);
            bool drop = !component;
            if (component) {
                std::string path = id.find('.') == std::string::npos ? std::string() : id.substr(id.find('.') + 1);
                if (StartsText("Properties.", path)) {
                    path.erase(0, 11);
                    component = component->GetObject("Properties");
                }
                std::string collection = path.substr(0, path.find('.'));
                collection = collection.substr(0, collection.find('['));
                // A malformed index is left to the apply pass, which passes it over.
                const std::optional<int> index = BracketIndex(path);
                const auto prop = component && index ? component->FindProperty(collection) : std::nullopt;
                const TPropertyHost* held = prop && prop->Name == collection ? component->GetObject(collection) : nullptr;
                drop = held && held->Is(THostClass::Collection) && *index >= held->ItemCount();
            }
            if (drop) {
                RemovedLines_.push_back(lines[i]);
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    } else {
        const std::size_t start = static_cast<std::size_t>(CheckedStart(ordinal));
        const std::string ownerClass = OwnerClassName();
        for (std::size_t i = start; i < lines.size();) {
            const std::string id = ExtractField(lines[i], LangDelim_, 0);
            const TPropertyHost* component = nullptr;
            bool keep = false;
            if (IsDottedSection(ordinal)) {
                const std::string name = id.substr(0, id.find('.'));
                component = Owner_->FindComponent(name);
                keep = name == ownerClass || component;
            } else {
                component = Owner_->FindComponent(id);
                keep = component != nullptr;
            }
            if (!keep) {
                RemovedLines_.push_back(lines[i]);
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            } else if ((ordinal == stCaptions || ordinal == stHints) && component &&
                       CaptionIsActions(*component, ordinal == stCaptions ? "Caption" : "Hint")) {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }

    if (AutoSkipEmpties)
        for (std::size_t i = lines.size(); i-- > 0;)
            if (lines[i].size() - TrimDelimiters(lines[i], delim).size() >= static_cast<std::size_t>(NumOfLanguages_) + 1)
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
}

void TsiCustomLang::PurgeExcludedLines() {
    static constexpr std::array<std::pair<std::string_view, std::array<int, 2>>, 5> wholeSections = {{
        {"Caption", {stCaptions, -1}},
        {"Hint", {stHints, -1}},
        {"DisplayLabel", {stDisplayLabels, -1}},
        {"Font", {stFonts, stCharSets}},
        {"Charset", {stCharSets, -1}},
    }};
    std::array<bool, SectionCount> cleared{};
    for (const auto& [name, sections] : wholeSections) {
        if (IndexOfText(ExcludedProperties_, name) < 0) continue;
        for (int s : sections)
            if (s >= 0) {
                Sections_[static_cast<std::size_t>(s)].clear();
                cleared[static_cast<std::size_t>(s)] = true;
            }
    }
    const std::string delim(1, LangDelim_);
    for (int s : {stCaptions, stHints, stDisplayLabels, stFonts, stMultiLines, stOtherStrings, stCollections, stCharSets}) {
        if (cleared[static_cast<std::size_t>(s)] || !HasSection(s)) continue;
        TStringList& lines = Sections_[static_cast<std::size_t>(s)];
        for (std::size_t i = lines.size(); i-- > 0;) {
            const std::string& line = lines[i];
            bool excluded = false;
            if (s == stCaptions || s == stHints || s == stFonts || s == stCharSets) {
                excluded = IsPropertyExcluded(GetToken(1, line, delim), siconsts::SectionProperties[static_cast<std::size_t>(s)]);
            } else if (s == stCollections) {
                const std::string set = ".[" + delim;
                const std::string component = GetToken(1, line, set);
                excluded = IsPropertyExcluded(component, GetToken(2, line, set)) ||
                           IsPropertyExcluded(component, GetToken(4, line, set));
            } else {
                const std::string set = "." + delim;
                excluded = IsPropertyExcluded(GetToken(1, line, set), GetToken(2, line, set));
            }
            if (excluded) lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

bool TsiCustomLang::IsPropertyExcluded(std::string_view componentName, std::string_view path) const {
    for (const auto& segment : SplitText(path, "."))
        if (IndexOfText(ExcludedProperties_, segment) >= 0) return true;
    const std::string dotted = std::string(componentName) + "." + std::string(path);
    if (IndexOfText(SmartExcludeProps, dotted) >= 0 || path == "Name") return true;
    if (Owner_)
        if (const TPropertyHost* component = Owner_->FindComponent(componentName))
            return IndexOfText(SmartExcludeProps, "!" + component->ClassName() + "." + std::string(path)) >= 0;
    return false;
}

void TsiCustomLang::DeleteEntry(int section, std::string_view componentName, int ordinal, std::string_view propertyName) {
    TStringList* lines = GetSectionStrings(section);
    if (!lines) return;
    std::string prefix(componentName);
    if (ordinal == stMultiLines || ordinal == stOtherStrings) prefix += "." + std::string(propertyName) + LangDelim_;
    else if (ordinal == stCollections) prefix += "." + std::string(propertyName);
    else prefix += LangDelim_;
    for (std::size_t i = lines->size(); i-- > 0;) {
        if ((*lines)[i].starts_with(prefix)) {
            lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(i));
            if (ordinal != stCollections) return;
        }
    }
}

void TsiCustomLang::RemoveComponentLines(int section, const TPropertyHost* component, bool removed) {
    TStringList* lines = GetSectionStrings(section);
    if (!Designing() || !removed || !lines || lines->empty() || !component) return;
    std::string prefix = component == Owner_ ? OwnerClassName() : component->Name();
    prefix += (section == stMultiLines || section == stOtherStrings || section == stCollections) ? '.' : LangDelim_;
    for (std::size_t i = lines->size(); i-- > 0;)
        if ((*lines)[i].starts_with(prefix)) lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(i));
}

void TsiCustomLang::RenameComponent(const std::string& oldName, const std::string& newName) {
    if (newName.empty()) return;
    std::string from = oldName, to = newName;
    if (Owner_ && oldName == Owner_->Name()) {
        from = "T" + oldName;
        to = "T" + newName;
    }
    const std::string set = std::string(".") + LangDelim_;
    auto rename = [&](TStringList& lines) {
        for (auto& line : lines)
            if (GetToken(1, line, set) == from) line = ReplaceText(line, from, to, false);
    };
    for (auto& section : Sections_) rename(section);
    rename(DoNotTranslate_);
    rename(SmartExcludeProps);
    for (auto& item : Extended_.All())
        if (item.Identifier.starts_with(oldName + ".")) item.Identifier = newName + item.Identifier.substr(oldName.size());
}

void TsiCustomLang::FillDefaultDialogCaptions() {
    for (int k = 1; k <= siconsts::BasicDialogCaptionCount; ++k)
        Sections_[stDlgsCaptions].push_back(DialogCaptionIdentifier(k) + LangDelim_ + DialogCaptionDefault(k) + LangDelim_);
}

void TsiCustomLang::UpdateDialogCaptions() {
    TStringList* lines = GetSectionStrings(stDlgsCaptions);
    if (!lines) return;
    if (NeedAllDlgs_ && lines->size() < siconsts::DialogCaptionCount) {
        for (int k = static_cast<int>(lines->size()) + 1; k <= siconsts::DialogCaptionCount; ++k) {
            std::string text = DialogCaptionDefault(k);
            if (StoreAsUTF8_) text = AnsiToUtf8ByCharset(text, CurrentCharset_);
            lines->push_back(DialogCaptionIdentifier(k) + LangDelim_ + text + LangDelim_);
        }
    } else if (!NeedAllDlgs_ && lines->size() == siconsts::DialogCaptionCount) {
        for (std::size_t i = lines->size(); i-- > 0;) {
            const std::string id = ExtractField((*lines)[i], LangDelim_, 0);
            bool basic = false;
            for (int k = 1; k <= siconsts::BasicDialogCaptionCount; ++k) basic = basic || id == DialogCaptionIdentifier(k);
            if (!basic) lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

bool TsiCustomLang::HasTabDelimitedLines() const {
    const auto first = [&](int s) -> const std::string* {
        const TStringList* lines = GetSectionStrings(s);
        return lines && !lines->empty() ? &lines->front() : nullptr;
    };
    for (int s : {int(stDlgsCaptions), int(stLocales)})
        if (const std::string* line = first(s); line && line->find('\t') != std::string::npos) return true;
    for (int s : {int(stCaptions), int(stLocales), int(stHints)})
        if (const std::string* line = first(s);
            line && CountDelimiters(*line, "\t") == static_cast<std::size_t>(NumOfLanguages_) + 1)
            return true;
    return false;
}
