#include "i18n/sipropertyhost.h"

#include <array>

#include "core/cvtext.h"

namespace {
constexpr std::array<std::string_view, 18> KindNames = {
    "tkUnknown", "tkInteger", "tkChar",  "tkEnumeration", "tkFloat", "tkString",    "tkSet",   "tkClass",  "tkMethod",
    "tkWChar",   "tkLString", "tkWString", "tkVariant",   "tkArray", "tkRecord",    "tkInterface", "tkInt64", "tkDynArray"};

bool NeedsQuotes(const std::string& item) {
    if (item.empty()) return true;
    for (char c : item)
        if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"') return true;
    return false;
}
}  // namespace

std::string_view TypeKindName(TTypeKind kind) { return KindNames[static_cast<std::size_t>(kind)]; }

std::optional<TTypeKind> TypeKindByName(std::string_view name) {
    for (std::size_t i = 0; i < KindNames.size(); ++i)
        if (SameText(KindNames[i], name)) return static_cast<TTypeKind>(i);
    return std::nullopt;
}

std::vector<std::string> HostLines(const TPropertyHost& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Get(i));
    return lines;
}

std::string CommaText(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) text += ',';
        if (!NeedsQuotes(items[i])) {
            text += items[i];
            continue;
        }
        text += '"';
        for (char c : items[i]) text += c == '"' ? std::string("\"\"") : std::string(1, c);
        text += '"';
    }
    return text;
}

std::vector<std::string> ParseCommaText(std::string_view text) {
    std::vector<std::string> items;
    std::size_t p = 0;
    const auto skipBlanks = [&] {
        while (p < text.size() && text[p] != '\0' && static_cast<unsigned char>(text[p]) <= ' ') ++p;
    };
    skipBlanks();
    while (p < text.size()) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < text.size()) {
                if (text[p] == '"') {
                    if (p + 1 < text.size() && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            while (p < text.size() && static_cast<unsigned char>(text[p]) > ' ' && text[p] != ',') item += text[p++];
        }
        items.push_back(item);
        skipBlanks();
        if (p < text.size() && text[p] == ',') {
            ++p;
            if (p == text.size()) items.emplace_back();
            skipBlanks();
        } else if (p < text.size() && text[p] != '"' && static_cast<unsigned char>(text[p]) <= ' ') {
            ++p;  // a NUL byte ends nothing: step over it
        }
    }
    return items;
}

void ReplaceHostLines(TPropertyHost& list, const std::vector<std::string>& lines) {
    const bool sorted = list.Sorted();
    if (sorted) list.SetSorted(false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (static_cast<int>(i) < list.Count()) list.Put(static_cast<int>(i), lines[i]);
        else list.Append(lines[i]);
    }
    while (list.Count() > static_cast<int>(lines.size())) list.Delete(list.Count() - 1);
    if (sorted) list.SetSorted(true);
}
