#include "i18n/sisibfile.h"

#include <algorithm>
#include <stdexcept>

#include "core/cvtext.h"
#include "i18n/memini.h"

namespace {

const char* const ReadError = "Stream read error";

// A bounded little-endian reader over the file's bytes.
class TByteReader {
public:
    TByteReader(std::string_view data, std::size_t position) : Data_(data), Pos_(position) {
        if (position > data.size()) throw std::runtime_error(ReadError);
    }

    std::string_view Bytes(std::size_t n) {
        if (n > Data_.size() - Pos_) throw std::runtime_error(ReadError);
        const std::string_view out = Data_.substr(Pos_, n);
        Pos_ += n;
        return out;
    }
    std::uint64_t Unsigned(std::size_t n) {
        const std::string_view b = Bytes(n);
        std::uint64_t v = 0;
        for (std::size_t i = n; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(b[i]);
        return v;
    }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Unsigned(1)); }
    std::string ShortString() { return std::string(Bytes(Byte())); }
    std::uint8_t Peek() const {
        if (Pos_ >= Data_.size()) throw std::runtime_error(ReadError);
        return static_cast<std::uint8_t>(Data_[Pos_]);
    }

private:
    std::string_view Data_;
    std::size_t Pos_;
};

// The value types of the class library's binary component stream.
enum TValueType : std::uint8_t {
    vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue, vaBinary, vaSet,
    vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64, vaUTF8String, vaDouble
};

// One value of a property: what the translation component's properties need.
struct TStreamValue {
    TValueType Type = vaNull;
    std::int64_t Integer = 0;
    std::string Text;  // strings and identifiers as 8-bit text, binary data raw
    std::vector<TStreamValue> List;
    std::vector<std::vector<std::pair<std::string, TStreamValue>>> Collection;
};

std::vector<std::pair<std::string, TStreamValue>> ReadProperties(TByteReader& r);

// Fixed-size numbers the translation component never stores are skipped.
std::size_t FixedSize(TValueType type) {
    switch (type) {
        case vaExtended: return 10;
        case vaSingle: return 4;
        case vaCurrency: case vaDate: case vaDouble: return 8;
        default: return 0;
    }
}

TStreamValue ReadValue(TByteReader& r) {
    TStreamValue v;
    v.Type = static_cast<TValueType>(r.Byte());
    switch (v.Type) {
        case vaNull: case vaNil: case vaFalse: case vaTrue: break;
        case vaInt8: v.Integer = static_cast<std::int8_t>(r.Unsigned(1)); break;
        case vaInt16: v.Integer = static_cast<std::int16_t>(r.Unsigned(2)); break;
        case vaInt32: v.Integer = static_cast<std::int32_t>(r.Unsigned(4)); break;
        case vaInt64: v.Integer = static_cast<std::int64_t>(r.Unsigned(8)); break;
        case vaString: case vaIdent: v.Text = r.ShortString(); break;
        case vaLString: case vaBinary: v.Text = std::string(r.Bytes(r.Unsigned(4))); break;
        case vaUTF8String: v.Text = Utf8ToAnsiByCharset(r.Bytes(r.Unsigned(4)), DEFAULT_CHARSET); break;
        case vaWString: {
            const std::uint64_t count = r.Unsigned(4);
            if (count > SIZE_MAX / 2) throw std::runtime_error(ReadError);
            v.Text = WideToAnsiByCharset(Utf16LEToWide(r.Bytes(count * 2)), DEFAULT_CHARSET);
            break;
        }
        case vaList:
            while (r.Peek() != vaNull) v.List.push_back(ReadValue(r));
            r.Byte();
            break;
        case vaSet:
            while (!r.ShortString().empty()) {}
            break;
        case vaCollection:
            while (r.Peek() != vaNull) {
                if (r.Peek() == vaInt8 || r.Peek() == vaInt16 || r.Peek() == vaInt32) ReadValue(r);  // item order
                if (r.Byte() != vaList) throw std::runtime_error(ReadError);
                v.Collection.push_back(ReadProperties(r));
            }
            r.Byte();
            break;
        default:
            if (FixedSize(v.Type) == 0) throw std::runtime_error(ReadError);
            r.Bytes(FixedSize(v.Type));
    }
    return v;
}

// Name-value pairs up to the empty name that closes the list.
std::vector<std::pair<std::string, TStreamValue>> ReadProperties(TByteReader& r) {
    std::vector<std::pair<std::string, TStreamValue>> props;
    for (std::string name = r.ShortString(); !name.empty(); name = r.ShortString()) props.emplace_back(name, ReadValue(r));
    return props;
}

bool IsTrue(const TStreamValue& v) { return v.Type == vaTrue; }

char AsChar(const TStreamValue& v) {
    if (v.Type == vaString || v.Type == vaLString) return v.Text.empty() ? '\0' : v.Text[0];
    return static_cast<char>(v.Integer);
}

void ReadExtendedItem(TsiExtendedItem& item, const std::vector<std::pair<std::string, TStreamValue>>& props) {
    for (const auto& [name, value] : props) {
        if (name == "Identifier") item.Identifier = value.Text;
        else if (name == "ValuesEx") item.ReadValuesEx(value.Text);
    }
}

// Clears the scratch flags also when reading fails.
class TScratchGuard {
public:
    TScratchGuard(TsiCustomLang& a, TsiCustomLang& b) : A_(a), B_(b) { A_.ScratchCopy = B_.ScratchCopy = true; }
    ~TScratchGuard() { A_.ScratchCopy = B_.ScratchCopy = false; }
    TScratchGuard(const TScratchGuard&) = delete;
    TScratchGuard& operator=(const TScratchGuard&) = delete;

private:
    TsiCustomLang& A_;
    TsiCustomLang& B_;
};

TStringList SortedUnique(TStringList names) {
    const auto less = [](const std::string& a, const std::string& b) { return CompareTextAscii(a, b) < 0; };
    std::stable_sort(names.begin(), names.end(), less);
    names.erase(std::unique(names.begin(), names.end(), [](const auto& a, const auto& b) { return SameText(a, b); }),
                names.end());
    return names;
}

}  // namespace

bool IsSIBFile(std::string_view fileName) { return fileName.size() >= 4 && SameText(fileName.substr(fileName.size() - 4), ".sib"); }

const std::string TSIBFileManager::SibHeader = std::string("SIB file: TsiLang binary translation data") + '\0';

void TSIBFileManager::LoadFromStream(TsiCustomLang& target, const std::string& ownerClassName, std::string_view data) {
    std::string header;
    std::size_t pos = 0;
    while (pos + 2 < data.size()) {
        header += data[pos++];
        if (header.back() == '\0') break;
    }
    if (header != SibHeader) throw std::runtime_error("Unrecognized stream format!");

    TByteReader r(data, pos);
    const auto count = r.Unsigned(2);
    const auto length = r.Unsigned(2);
    FixedLanguages = length > 0 ? SortedUnique(SplitTextLines(std::string(r.Bytes(length)))) : TStringList{};
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::string_view name = r.Bytes(r.Unsigned(2));
        const auto offset = static_cast<std::uint32_t>(r.Unsigned(4));
        if (name == ownerClassName) return LoadEntry(target, ownerClassName, data, offset);
    }
}

void TSIBFileManager::LoadEntry(TsiCustomLang& target, const std::string& ownerClassName, std::string_view data,
                                std::uint32_t offset) {
    TsiCustomLang instance(nullptr);
    TScratchGuard scratch(instance, target);
    instance.BeginLoading();

    TByteReader r(data, offset);
    if (r.Bytes(4) != "TPF0") throw std::runtime_error("Invalid stream format");
    if ((r.Peek() & 0xF0) == 0xF0 && (r.Byte() & 0x02)) ReadValue(r);  // filer flags, child position
    r.ShortString();  // class name
    r.ShortString();  // component name
    for (const auto& [name, value] : ReadProperties(r)) {
        if (name == "LangNames.Strings") {
            TStringList names;
            for (const auto& item : value.List) names.push_back(item.Text);
            instance.SetLangNames(names);
        } else if (name == "NumOfLanguages") {
            instance.NumOfLanguages_ = static_cast<int>(value.Integer);
        } else if (name == "LangDelim") {
            instance.LangDelim_ = AsChar(value);
        } else if (name == "StoreAsUTF8") {
            instance.StoreAsUTF8_ = IsTrue(value);
        } else if (name == "ExtendedTranslations") {
            for (const auto& props : value.Collection) ReadExtendedItem(instance.Extended_.Add(), props);
        } else if (name == "TranslationData") {
            instance.ReadTranslationData(value.Text);
        }
    }
    if (r.Byte() != vaNull) throw std::runtime_error(ReadError);  // a translation component owns no children

    target.StoreAsUTF8_ = instance.StoreAsUTF8_;
    if (instance.LangDelim_ != target.LangDelim_) instance.ReplaceDelimiter(instance.LangDelim_, target.LangDelim_);
    const std::string first = ownerClassName + target.LangDelim_;
    for (int s = 0; s < siconsts::SectionCount; ++s) {
        TStringList* to = target.GetSectionStrings(s);
        const TStringList* from = instance.GetSectionStrings(s);
        if (!to || !from) continue;
        *to = *from;
        if (s != stCaptions && s != stHints && s != stFonts && s != stCharSets) continue;
        const auto it = std::find_if(to->begin() + (to->empty() ? 0 : 1), to->end(),
                                     [&](const std::string& line) { return line.starts_with(first); });
        if (it != to->end()) std::rotate(to->begin(), it, it + 1);
    }
    target.SetLangNames(instance.LangNames_);
    target.Extended_.All().clear();
    for (const auto& item : instance.Extended_.All()) {
        TsiExtendedItem& copy = target.Extended_.Add();
        copy.Identifier = item.Identifier;
        copy.Values = item.Values;
        copy.PropertyType = target.GetPathPropertyKind(item.Identifier);
    }
}

void TSIBFileManager::LoadFromFile(TsiCustomLang& target, const std::string& ownerClassName, const std::string& fileName) {
    LoadFromStream(target, ownerClassName, ReadWholeFile(fileName));
}

void TSIBFileManager::LoadSection(int section, const std::string& fileName, const std::string& ownerClassName,
                                  TsiCustomLang& target) {
    TsiCustomLang scratch(nullptr);
    scratch.ScratchCopy = true;
    LoadFromFile(scratch, ownerClassName, fileName);
    TStringList* to = target.GetSectionStrings(section);
    const TStringList* from = scratch.GetSectionStrings(section);
    if (to && from) *to = *from;
}

// ---- the component's side ---------------------------------------------------

void TsiCustomLang::LoadSIBFile(const std::string& fileName) {
    if (!Owner_) return;
    TSIBFileManager().LoadFromFile(*this, OwnerClassName(), fileName);
    RebuildStringsTables();
    ApplyLanguage();
}

void TsiCustomLang::LoadSectionFromSIB(int section, const std::string& fileName) {
    TSIBFileManager().LoadSection(section, fileName, OwnerClassName(), *this);
    if (section == stStrings) RebuildStringsTables();
}

void TsiCustomLang::ReadFileLanguageNames(const std::string& fileName, TStringList& list) {
    TsiCustomLang scratch(nullptr);
    scratch.ScratchCopy = true;
    if (IsSIBFile(fileName)) TSIBFileManager().LoadFromFile(scratch, OwnerClassName(), fileName);
    else scratch.LoadAllSectionFiles(fileName, true);
    list = scratch.LangNames();
}
