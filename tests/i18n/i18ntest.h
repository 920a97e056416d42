#pragma once
// A simulated machine (the locale comes from it) and a form "TForm1" with
// its translation component.

#include <gtest/gtest.h>

#include "fakehost.h"
#include "i18n/sicomp.h"
#include "support/testmachine.h"

namespace i18ntest {

class FormTest : public ::testing::Test {
protected:
    // Languages 1..n named as the system's dispatcher names them.
    void SetLanguages(TsiCustomLang& lang, int n) {
        lang.SetLangNames(TStringList(siconsts::LanguageNames.begin(), siconsts::LanguageNames.begin() + n));
    }

    testsupport::TestMachine machine;
    std::unique_ptr<TFakeObject> form = MakeForm();
};

}  // namespace i18ntest
