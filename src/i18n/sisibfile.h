#pragma once
// Binary translation files (".SIB") written by an external translation
// editor: a header, fixed-language names and one streamed translation
// component per form class. Only read here.

#include <string>
#include <string_view>

#include "i18n/sicomp.h"

class TSIBFileManager {
public:
    // The 41 header characters and their closing zero.
    static const std::string SibHeader;

    // Every length and offset is checked against the data: a foreign or too
    // short header throws "Unrecognized stream format!" before anything
    // changes, a truncated file "Stream read error".
    void LoadFromStream(TsiCustomLang& target, const std::string& ownerClassName, std::string_view data);
    void LoadFromFile(TsiCustomLang& target, const std::string& ownerClassName, const std::string& fileName);
    // One section of the owner class's entry, read through a scratch copy.
    void LoadSection(int section, const std::string& fileName, const std::string& ownerClassName, TsiCustomLang& target);

    // Sorted, without duplicates; those of the last file read.
    TStringList FixedLanguages;

private:
    void LoadEntry(TsiCustomLang& target, const std::string& ownerClassName, std::string_view data, std::uint32_t offset);
};
