#pragma once
// The program's forms over a simulated machine, each with the translation
// component the program gives it, linked to the system's dispatcher.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "core/cvhelp.h"
#include "i18n/sicomp.h"

namespace i18nqttest {

struct TFormClass {
    std::string ClassName;
    int Languages;
};
// Every form class with a table, as the build embeds them.
const std::vector<TFormClass>& FormClasses();
// The language files of the source tree.
std::string TranslationsFolder();

class TranslatedForms : public ::testing::Test, protected apptest::TWindowOnMachine {
protected:
    TranslatedForms();
    ~TranslatedForms() override;

    // A form of the class, built as the program builds it (the main window once).
    QWidget& Open(const std::string& className);

    std::unique_ptr<TsiLangDispatcher> dispatcher = TsiLangDispatcher::CreateSystem();
    THelpLink help;
    std::vector<std::unique_ptr<QWidget>> dialogs;
};

}  // namespace i18nqttest
