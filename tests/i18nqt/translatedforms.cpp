#include "translatedforms.h"

#include "i18n/qt/silangrt.h"
#include "ui/cvcbaseframe.h"
#include "ui/cvconfig.h"
#include "ui/cvdebugsmbus.h"
#include "ui/cvdlggetconfig.h"
#include "ui/cvdlgpost.h"
#include "ui/cvfindsmbusdevices.h"
#include "ui/cvreportpreview.h"
#include "ui/cvreportprogress.h"
#include "ui/cvshowhint.h"
#include "ui/uilanguage.h"

namespace i18nqttest {

const std::vector<TFormClass>& FormClasses() {
    static const std::vector<TFormClass> forms = {
        {"TForm1", 18},         {"TDlgConfig", 18},         {"TDlgDebugSMBus", 18},     {"TDlgFindSMBusDevices", 18},
        {"TDlgGetConfig", 18},  {"TDlgPost", 18},           {"TDlgReportPreview", 18},  {"TDlgReportProgress", 17},
        {"TDlgShowHint", 17},   {"TSCBaseFrame", 17}};
    return forms;
}

std::string TranslationsFolder() { return CALDAVOR_SOURCE_DIR "/src/i18n/translations"; }

TranslatedForms::TranslatedForms() {
    InstallFormTranslations(*dispatcher);
    monitor.Language = dispatcher.get();
}

TranslatedForms::~TranslatedForms() {
    dialogs.clear();
    form.reset();
    SetFormBuiltHook(nullptr);
}

QWidget& TranslatedForms::Open(const std::string& className) {
    if (className == "TForm1") return form ? *form : TWindowOnMachine::Open();
    QWidget* owner = form.get();
    std::unique_ptr<QWidget> made;
    if (className == "TDlgConfig") made = std::make_unique<TDlgConfig>(monitor, owner);
    else if (className == "TDlgDebugSMBus") made = std::make_unique<TDlgDebugSMBus>(monitor, owner);
    else if (className == "TDlgFindSMBusDevices") made = std::make_unique<TDlgFindSMBusDevices>(monitor, owner);
    else if (className == "TDlgGetConfig") made = std::make_unique<TDlgGetConfig>(owner);
    else if (className == "TDlgPost") made = std::make_unique<TDlgPost>(help, owner);
    else if (className == "TDlgReportPreview") made = std::make_unique<TDlgReportPreview>(owner);
    else if (className == "TDlgReportProgress") made = std::make_unique<TDlgReportProgress>(owner);
    else if (className == "TDlgShowHint") made = std::make_unique<TDlgShowHint>(owner);
    else if (className == "TSCBaseFrame") made = std::make_unique<TSCTemperature>(120, 60, nullptr);
    EXPECT_TRUE(made) << className;
    dialogs.push_back(std::move(made));
    return *dialogs.back();
}

}  // namespace i18nqttest
