#include "i18n/sisibfile.h"

#include <algorithm>
#include <stdexcept>

#include "core/cvtext.h"
#include "i18n/formstream.h"
#include "i18n/memini.h"

namespace {

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
    FixedLanguages = length > 0 ? SortedUniqueText(SplitTextLines(std::string(r.Bytes(length)))) : TStringList{};
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

    instance.ReadFormData(data, offset);

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
