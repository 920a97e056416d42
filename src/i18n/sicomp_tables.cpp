// Sorted string tables: messages by identifier, resource strings by their
// text in one language column.

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {

int CompareBytes(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

const std::string& TextAt(const TsiStringsCollectionItem& item, int language) {
    if (language < 1 || static_cast<std::size_t>(language) > item.Texts.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(language - 1) + ")");
    return item.Texts[static_cast<std::size_t>(language - 1)];
}

}  // namespace

void TsiSortCollection::Move(int from, int to) {
    auto item = std::move(Items_[static_cast<std::size_t>(from)]);
    Items_.erase(Items_.begin() + from);
    Items_.insert(Items_.begin() + to, std::move(item));
}

void TsiSortCollection::QuickSort(int l, int r, const TCompare& compare) {
    int i = 0;
    do {
        const TsiStringsCollectionItem* pivot = &Items(l + (r - l) / 2);
        i = l;
        int j = r;
        do {
            while (compare(Items(i), *pivot) < 0) ++i;
            while (compare(Items(j), *pivot) > 0) --j;
            if (i <= j) {
                if (i != j) {
                    Move(i, j);
                    Move(j - 1, i);
                }
                ++i;
                --j;
            }
        } while (i <= j);
        if (l < j) QuickSort(l, j, compare);
        l = i;
    } while (i < r);
}

void TsiSortCollection::Sort(const TCompare& compare) {
    if (Count() < 1) return;
    QuickSort(0, Count() - 1, compare);
}

int TsiStringsCollection::IndexOfIdentifier(std::string_view identifier) const {
    for (int i = 0; i < Count(); ++i)
        if (CompareTextAscii(Items(i).Identifier, identifier) == 0) return i;
    return -1;
}

int TsiStringsCollection::CompareIdentifiers(const TsiStringsCollectionItem& a, const TsiStringsCollectionItem& b) const {
    return CompareTextAscii(a.Identifier, b.Identifier);
}

std::string TsiStringsCollection::SourceKey(const TsiStringsCollectionItem& item) const {
    const std::string key =
        SortColumn >= 1 && item.Texts.size() >= static_cast<std::size_t>(SortColumn) ? item.Texts[static_cast<std::size_t>(SortColumn - 1)] : std::string();
    return Owner_.EscapedSourceTexts ? DecodeCEscapes(key) : key;
}

int TsiStringsCollection::CompareSourceTexts(const TsiStringsCollectionItem& a, const TsiStringsCollectionItem& b) const {
    if (SortColumn == 0) return 0;
    return CompareBytes(SourceKey(a), SourceKey(b));
}

void TsiStringsCollection::SortTable(bool force) {
    if (IsSorted && !force) return;
    if (SortColumn == 0) Sort([this](const auto& a, const auto& b) { return CompareIdentifiers(a, b); });
    else Sort([this](const auto& a, const auto& b) { return CompareSourceTexts(a, b); });
    IsSorted = true;
}

void TsiStringsCollection::Fill(const TStringList& lines, int numOfLanguages, char delimiter, int sortColumn) {
    Clear();
    for (const auto& line : lines) {
        TsiStringsCollectionItem& item = Add();
        item.Identifier = ExtractField(line, delimiter, 0);
        for (int n = 1; n <= numOfLanguages; ++n) item.Texts.push_back(ExtractField(line, delimiter, static_cast<unsigned>(n)));
    }
    SortColumn = sortColumn;
    SortTable(true);
}

std::string TsiStringsCollection::GetTextByIdentifier(std::string_view identifier, int language) const {
    std::string result;
    if (Count() > 0) {
        int l = 0, r = Count() - 1;
        do {
            const int m = (l + r) / 2;
            const int c = CompareTextAscii(Items(m).Identifier, identifier);
            if (c == 0) {
                result = TextAt(Items(m), language);
                break;
            }
            if (c < 0 && l == m) {
                if (m + 1 < Count() && CompareTextAscii(Items(m + 1).Identifier, identifier) == 0)
                    result = TextAt(Items(m + 1), language);
                break;
            }
            if (c < 0) l = m;
            else r = m;
        } while (l < r);
    }
    if (!result.empty() && Owner_.StoreAsUTF8())
        result = Utf8ToAnsiByCharset(result, const_cast<TsiCustomLang&>(Owner_).GetLanguageCharset(language));
    return result;
}

std::string TsiStringsCollection::GetTextBySource(std::string_view source, int language) const {
    if (Count() == 0) return std::string(source);
    std::string result(source);
    int found = -1;
    int l = 0, r = Count() - 1;
    do {
        const int m = (l + r) / 2;
        const int c = CompareBytes(SourceKey(Items(m)), source);
        if (c == 0) {
            found = m;
            break;
        }
        if (c < 0 && l == m) {
            if (m + 1 < Count() && SourceKey(Items(m + 1)) == source) found = m + 1;
            break;
        }
        if (c < 0) l = m;
        else r = m;
    } while (l < r);
    if (found >= 0) {
        const TsiStringsCollectionItem& item = Items(found);
        result = TextAt(item, language);
        if (result.empty() && language > 1 && Owner_.TestModeOn())
            result = TestModeText(Owner_.LangDispatcher()->TestModeInfo, TextAt(item, 1), Owner_.CurrentCharset());
        if (Owner_.EscapedSourceTexts) result = DecodeCEscapes(result);
    }
    if (!result.empty() && Owner_.StoreAsUTF8())
        result = Utf8ToAnsiByCharset(result, const_cast<TsiCustomLang&>(Owner_).GetLanguageCharset(language));
    return result;
}

void TsiCustomLang::SetResourceLanguageIndex(std::uint16_t value) {
    if (value == ResourceLanguageIndex_) return;
    if (!Loading_ && (value < 1 || value > NumOfLanguages_))
        throw ELanguageError(cvformat::Format(siconsts::LoadMessage(siconsts::TMessage::NotValidValue),
                                              {static_cast<int>(value), NumOfLanguages_}));
    ResourceLanguageIndex_ = value;
    if (!Loading_ && !Designing()) {
        ResourceStringsTable_.SortColumn = value;
        ResourceStringsTable_.SortTable(true);
    }
}
