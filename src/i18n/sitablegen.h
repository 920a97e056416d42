#pragma once
// The forms' tables built from the reviewed language files: one text
// translation file per language, in the dispatcher's order.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "i18n/memini.h"
#include "i18n/sicomp.h"

// A fault in the language files; the message names file and key.
class ETranslationDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TLanguageFile {
    std::string Path;
    std::string FileName;
    std::string Language;
    std::shared_ptr<TsiMemIniFile> Ini;
};
using TLanguageFiles = std::vector<TLanguageFile>;

// The files "NN-<Name>.txt" of a folder; each must be UTF-8, marked so, and
// name the language the dispatcher has at its place.
TLanguageFiles ReadLanguageFiles(const std::string& folder);
// The table of one form class over its first `languages` languages: every
// key of the English file taken from each language, each column converted
// to its language's code page, and the class's extended items. Returns the
// form's translation component as form data stores it.
std::string BuildFormData(const TLanguageFiles& files, const std::string& className, int languages);
