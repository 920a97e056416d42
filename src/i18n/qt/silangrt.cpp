#include "i18n/qt/silangrt.h"

#include <QFile>
#include <QObject>
#include <QWidget>

#include "i18n/qt/siqthost.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"
#include "ui/uilanguage.h"

namespace {

// The values each form class stores with its component.
struct TFormStoredValues {
    const char* ClassName;
    int NumOfLanguages;
    bool Linked;
    TStringList SmartExcludeProps;
};

const TFormStoredValues& StoredValues(const std::string& className) {
    static const TFormStoredValues forms[] = {
        {"TForm1", 18, true, {"EDChipSet.Text", "LABWebsiteURL.Caption", "TForm1.Caption"}},
        {"TDlgReportProgress", 17, true, {}},
        {"TDlgShowHint", 17, true, {}},
        {"TSCBaseFrame", 17, false, {}},
    };
    static const TFormStoredValues others{"", siconsts::LanguageCount, true, {}};
    for (const auto& f : forms)
        if (className == f.ClassName) return f;
    return others;
}

// Holds the form's component as a child object, so both go together.
class TsiLangRTHolder : public QObject {
public:
    TsiLangRTHolder(QWidget& form, const std::string& className)
        : QObject(&form), Host(&form, className), Lang(&Host) {
        setObjectName("siLangRT1");
    }
    TQtPropertyHost Host;
    TsiLangRT Lang;
};

// A form made for fewer languages than the dispatcher has shows its design
// texts and values in the others, not those of the language shown before.
// Fields from index `english` on are languages 1, 2, ...
std::string FilledFields(const std::string& fields, char delim, int own, int count, int english) {
    std::string filled;
    for (int c = 0; c < count; ++c) {
        const std::string field = ExtractField(fields, delim, static_cast<unsigned>(c));
        const int language = c - english + 1;
        filled += (language > own && field.empty() ? ExtractField(fields, delim, static_cast<unsigned>(english)) : field) + delim;
    }
    return filled;
}

void FillMissingColumns(TsiCustomLang& lang, int own) {
    const char delim = lang.LangDelim();
    const int languages = lang.NumOfLanguages();
    for (int s = 0; s < siconsts::SectionCount; ++s)
        for (std::string& line : lang.Section(s)) line = FilledFields(line, delim, own, languages + 1, 1);
    for (TsiExtendedItem& item : lang.ExtendedTranslations().All())
        item.Values = FilledFields(item.Values, delim, own, languages, 0);
}

}  // namespace

std::string EmbeddedFormData(const std::string& className) {
    QFile file(QString::fromStdString(":/i18n/" + className + ".sil"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

void AttachFormTranslation(TsiLangDispatcher* dispatcher, const std::string& className, QWidget& form) {
    auto* holder = new TsiLangRTHolder(form, className);
    TsiLangRT& lang = holder->Lang;
    const TFormStoredValues& stored = StoredValues(className);
    lang.BeginLoading();
    lang.SetNumOfLanguages(stored.NumOfLanguages);
    lang.SetLangNames(TStringList(siconsts::LanguageNames.begin(), siconsts::LanguageNames.begin() + stored.NumOfLanguages));
    lang.SetLanguage("English");
    lang.SetExcludedProperties(
        TStringList(siconsts::DefaultExcludedProperties.begin(), siconsts::DefaultExcludedProperties.begin() + 20));
    lang.SmartExcludeProps = stored.SmartExcludeProps;
    if (const std::string data = EmbeddedFormData(className); !data.empty()) lang.ReadFormData(data);
    if (stored.Linked && dispatcher) lang.SetLangDispatcher(dispatcher);
    lang.Loaded();
    if (lang.NumOfLanguages() > stored.NumOfLanguages) FillMissingColumns(lang, stored.NumOfLanguages);
}

TsiLangRT* FormTranslation(const QWidget& form) {
    for (QObject* child : form.children())
        if (auto* holder = dynamic_cast<TsiLangRTHolder*>(child)) return &holder->Lang;
    return nullptr;
}

void InstallFormTranslations(TsiLangDispatcher& dispatcher) {
    SetFormBuiltHook([&dispatcher](const std::string& className, QWidget& form) {
        AttachFormTranslation(&dispatcher, className, form);
    });
}
