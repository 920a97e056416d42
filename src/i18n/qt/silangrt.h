#pragma once
// A built form's translation component siLangRT1: made over the form's
// widgets with the stored values of its class, its table and extended items
// read from the form's embedded resource, then linked to the dispatcher.

#include <string>

class QWidget;
class TsiLangDispatcher;
class TsiLangRT;

// Gives the form its component; the component goes when the form goes.
// Dispatcher may be none (the tiles have no link).
void AttachFormTranslation(TsiLangDispatcher* dispatcher, const std::string& className, QWidget& form);
TsiLangRT* FormTranslation(const QWidget& form);
// The embedded form data of a form class's component (its extended items and
// table); empty when it has none.
std::string EmbeddedFormData(const std::string& className);
// Every form and frame built from now on gets its component linked to dispatcher.
void InstallFormTranslations(TsiLangDispatcher& dispatcher);
