// The program's forms switching among the 18 languages through the
// dispatcher, checked against the language files themselves.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QTreeWidget>

#include "core/cvoptions.h"
#include "i18n/qt/silangrt.h"
#include "i18n/qt/siqthost.h"
#include "i18n/sitablegen.h"
#include "translatedforms.h"

namespace i18nqttest {
namespace {

constexpr const char* FileDelimiter = "~!@#";
// The file sections the forms show, the extended items' among them.
const std::string CheckedSections[] = {"Captions", "Hints", "Multilines", "Collections", "Fonts", "Extended"};

// The keys of a form class in a file section.
std::vector<std::string> FormKeys(const TLanguageFile& file, const std::string& section, const std::string& className) {
    std::vector<std::string> keys;
    for (const std::string& key : file.Ini->ListKeys(section))
        if (key.starts_with(className + ".") && !key.ends_with("_TypeKind")) keys.push_back(key);
    return keys;
}

// What a form shows for one table line or extended item, as UTF-8.
std::string Shown(QWidget& form, const std::string& className, const std::string& section, const std::string& id) {
    const std::string name = id.substr(0, id.find('.'));
    QObject* o = name == className ? &form : form.findChild<QObject*>(QString::fromStdString(name));
    if (!o) return "<missing " + id + ">";
    if (section == "Fonts") return QFontInfo(qobject_cast<QWidget*>(o)->font()).family().toStdString();
    if (section == "Extended") {  // the sensor trees' column texts
        const auto index = BracketIndex(id);
        return qobject_cast<QAbstractItemView*>(o)->model()->headerData(*index, Qt::Horizontal).toString().toStdString();
    }
    if (section == "Multilines") {
        QStringList items;
        if (auto* c = qobject_cast<QComboBox*>(o))
            for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
        std::vector<std::string> texts;
        for (const QString& item : items) texts.push_back(item.toStdString());
        return CommaText(texts);
    }
    if (section == "Collections") {
        std::string path = id;  // the file writes brackets as "-" and "+"
        std::replace(path.begin(), path.end(), '-', '[');
        std::replace(path.begin(), path.end(), '+', ']');
        const auto index = BracketIndex(path);
        return qobject_cast<QTreeWidget*>(o)->headerItem()->text(*index).toStdString();
    }
    TQtPropertyHost host(o);
    return WideToUtf8(host.GetWide(section == "Captions" ? "Caption" : "Hint"));
}

// The language's text of a key, as the reviewed file writes it; English
// where the language has none for the form.
std::string Expected(const TLanguageFiles& files, int language, int formLanguages, const std::string& section,
                     const std::string& key) {
    const auto text = [&](int n) {
        std::string value = files[static_cast<std::size_t>(n - 1)].Ini->GetValue(section, key, "");
        value = value.substr(0, value.find(FileDelimiter));
        for (char& c : value) {
            if (c == '\x19') c = '\r';
            if (c == '\x1a') c = '\n';
        }
        return value;
    };
    const std::string own = language <= formLanguages ? text(language) : std::string();
    return own.empty() ? text(1) : own;
}

class LanguageSwitch : public TranslatedForms {
protected:
    // Every line of the checked sections of the open forms, with what it shows.
    std::map<std::string, std::string> Snapshot(const std::vector<std::pair<std::string, QWidget*>>& open) {
        std::map<std::string, std::string> shown;
        for (const auto& [className, widget] : open)
            for (const std::string& s : CheckedSections)
                for (const std::string& key : FormKeys(files.front(), s, className))
                    shown[s + "/" + key] = Shown(*widget, className, s, key.substr(className.size() + 1));
        return shown;
    }

    const TLanguageFiles files = ReadLanguageFiles(TranslationsFolder());
};

TEST_F(LanguageSwitch, EveryOpenFormShowsEachLanguageAndEnglishComesBackExactly) {
    const std::vector<std::pair<std::string, QWidget*>> open = {
        {"TForm1", &Open("TForm1")}, {"TDlgConfig", &Open("TDlgConfig")}, {"TDlgShowHint", &Open("TDlgShowHint")}};
    const auto design = Snapshot(open);
    auto& window = static_cast<QMainWindow&>(*open[0].second);
    const QString title = window.windowTitle();
    auto* chipSet = window.findChild<QLineEdit*>("EDChipSet");
    const QString chipSetText = chipSet ? chipSet->text() : QString();

    for (int n = 1; n <= siconsts::LanguageCount; ++n) {
        dispatcher->SetActiveLanguage(n);
        for (const auto& [className, widget] : open) {
            const int languages = className == "TDlgShowHint" ? 17 : 18;
            for (const std::string& s : CheckedSections)
                for (const std::string& key : FormKeys(files.front(), s, className)) {
                    // The form's own title is the program's, never the table's.
                    if (key == "TForm1.TForm1" && s == "Captions") continue;
                    const std::string id = key.substr(className.size() + 1);
                    EXPECT_EQ(Shown(*widget, className, s, id), Expected(files, n, languages, s, key))
                        << siconsts::LanguageNames[static_cast<std::size_t>(n - 1)] << " [" << s << "] " << key;
                }
            EXPECT_TRUE(FormTranslation(*widget)->RemovedLines().empty()) << className;
        }
        EXPECT_EQ(window.windowTitle(), title);
        if (chipSet) {
            EXPECT_EQ(chipSet->text(), chipSetText);
        }
        if (n == 2) {
            EXPECT_EQ(window.findChild<QAction*>("ACExit")->text(), "Esci");
        }
    }
    dispatcher->SetActiveLanguage(1);
    EXPECT_EQ(Snapshot(open), design);
}

TEST_F(LanguageSwitch, KoreanLeavesTheSeventeenLanguageDialogAsDesigned) {
    QWidget& hint = Open("TDlgShowHint");
    const QString design = hint.findChild<QWidget*>("CBNeverAgain")->property("text").toString();
    dispatcher->SetLanguageName("Korean");
    EXPECT_EQ(hint.findChild<QWidget*>("CBNeverAgain")->property("text").toString(), design);
    EXPECT_EQ(FormTranslation(hint)->NumOfLanguages(), 18);  // padded on linking
}

TEST_F(LanguageSwitch, ADialogMadeInRussianOpensInRussianAndLeavesTheDispatcherWhenFreed) {
    Open("TForm1");
    dispatcher->SetLanguageName("Russian");
    const std::size_t linked = dispatcher->Linked().size();
    QWidget& hint = Open("TDlgShowHint");
    EXPECT_EQ(dispatcher->Linked().size(), linked + 1);
    EXPECT_EQ(Shown(hint, "TDlgShowHint", "Captions", "LABInfo"), "А знаете ли вы, что...");
    EXPECT_EQ(hint.windowTitle().toStdString(), "Подсказка");
    dialogs.clear();
    EXPECT_EQ(dispatcher->Linked().size(), linked);
    dispatcher->SetLanguageName("German");  // the freed dialog is not touched
    EXPECT_EQ(dispatcher->ActiveLanguage(), 8);
}

TEST_F(LanguageSwitch, AVetoOfOneFormKeepsEveryFormAsItWas) {
    QWidget& window = Open("TForm1");
    QWidget& config = Open("TDlgConfig");
    FormTranslation(config)->OnLanguageChanging = [](TsiCustomLang&, int, bool& allow) { allow = false; };
    const std::string before = Shown(window, "TForm1", "Captions", "TSClock");
    dispatcher->SetLanguageName("Italiano");
    EXPECT_EQ(dispatcher->ActiveLanguage(), 1);
    EXPECT_EQ(Shown(window, "TForm1", "Captions", "TSClock"), before);
    EXPECT_EQ(FormTranslation(window)->ActiveLanguage(), 1);
}

TEST_F(LanguageSwitch, AnUnknownLanguageInTheOptionsKeepsEnglishAndReadsOn) {
    QWidget& window = Open("TForm1");
    const auto file = std::filesystem::temp_directory_path() / ("caldavor-i18n-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(file) << "Language=Klingon\r\nLastDetect=after the language\r\n";
    LoadParams(file.string(), false, TOptionsContext{monitor.Options, monitor.ScanFlags, nullptr, nullptr, dispatcher.get()});
    std::filesystem::remove(file);
    EXPECT_EQ(dispatcher->ActiveLanguage(), 1);
    EXPECT_EQ(monitor.Options.LastDetect, "after the language");
    EXPECT_EQ(Shown(window, "TForm1", "Captions", "TSClock"), "Clock");
}

}  // namespace
}  // namespace i18nqttest
