#pragma once
// Every form and frame reports itself once it is built, so that the program
// can give it its translation component; ui/ knows nothing of translations.

#include <functional>
#include <string>

class QWidget;

using TFormBuiltHook = std::function<void(const std::string& className, QWidget& form)>;

// Installed by the program before any form is made; none in plain widget tests.
void SetFormBuiltHook(TFormBuiltHook hook);
void FormBuilt(const std::string& className, QWidget& form);
