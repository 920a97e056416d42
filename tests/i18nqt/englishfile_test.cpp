// The English language file holds exactly the forms' design texts.

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTreeWidget>

#include "i18n/memini.h"
#include "i18n/qt/siqthost.h"
#include "i18n/sitablegen.h"
#include "translatedforms.h"

namespace i18nqttest {
namespace {

// The sections the design texts fill; dialogs and locales are written by hand.
constexpr int CollectedSections[] = {stCaptions, stHints, stFonts, stMultiLines, stOtherStrings, stCollections, stCharSets};

class EnglishFile : public TranslatedForms {};

TEST_F(EnglishFile, HoldsWhatTheFormsCollect) {
    const TLanguageFiles files = ReadLanguageFiles(TranslationsFolder());
    const TsiMemIniFile& english = *files.front().Ini;
    const char* dumpTo = std::getenv("CALDAVOR_COLLECT_TO");
    for (const TFormClass& f : FormClasses()) {
        QWidget& widget = Open(f.ClassName);
        TQtPropertyHost host(&widget, f.ClassName);
        TsiLangRT collector(&host);
        collector.SetExcludedProperties(
            TStringList(siconsts::DefaultExcludedProperties.begin(), siconsts::DefaultExcludedProperties.begin() + 20));
        if (f.ClassName == "TForm1") collector.SmartExcludeProps = {"EDChipSet.Text", "LABWebsiteURL.Caption", "TForm1.Caption"};
        // Extended items are kept, dropped when their path is gone and
        // given the form's values: the file's must survive unchanged.
        collector.LoadExtendedFromFile(files.front().Path, true);
        collector.CollectTranslatableProperties();
        std::string collected;
        collector.SaveAllToStream(collected, "~!@#");
        if (dumpTo) std::ofstream(std::filesystem::path(dumpTo) / (f.ClassName + ".txt"), std::ios::binary) << collected;
        TsiMemIniFile gathered("");
        // The forms' 8-bit texts are English's code page; the file is UTF-8.
        gathered.LoadFromText(AnsiToUtf8ByCharset(collected, DEFAULT_CHARSET));
        std::vector<std::string> sections{"Extended"};
        for (int s : CollectedSections) sections.push_back(TranslationFileSection(s));
        for (const std::string& section : sections) {
            TStringList want;
            for (const std::string& key : english.ListKeys(section))
                if (key.starts_with(f.ClassName + ".")) want.push_back(key + "=" + english.GetValue(section, key, ""));
            TStringList got;
            for (const std::string& key : gathered.ListKeys(section)) got.push_back(key + "=" + gathered.GetValue(section, key, ""));
            EXPECT_EQ(got, want) << f.ClassName << " [" << section << "]";
        }
    }
}

// Words need translating; numbers and signs (a point's "0%") do not.
bool HasWords(const QString& text) { return text.contains(QRegularExpression("\\p{L}")); }

// The table finds controls by name: a text on an unnamed control would stay
// English in every language.
TEST_F(EnglishFile, EveryTextShownAtDesignIsOnANamedControl) {
    for (const TFormClass& f : FormClasses()) {
        QWidget& form = Open(f.ClassName);
        for (QWidget* c : form.findChildren<QWidget*>()) {
            QString text = c->toolTip();
            if (auto* label = qobject_cast<QLabel*>(c)) text += label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(c)) text += button->text();
            else if (auto* box = qobject_cast<QGroupBox*>(c)) text += box->title();
            else if (auto* menu = qobject_cast<QMenu*>(c)) text += menu->title();
            else if (auto* tree = qobject_cast<QTreeWidget*>(c))
                for (int i = 0; i < tree->columnCount(); ++i) text += tree->headerItem()->text(i);
            else if (auto* combo = qobject_cast<QComboBox*>(c))
                for (int i = 0; i < combo->count(); ++i) text += combo->itemText(i);
            else if (auto* list = qobject_cast<QListWidget*>(c))
                for (int i = 0; i < list->count(); ++i) text += list->item(i)->text();
            EXPECT_TRUE(!HasWords(text) || !c->objectName().isEmpty())
                << f.ClassName << ": " << c->metaObject()->className() << " \"" << text.toStdString() << "\"";
        }
        // A submenu's action shows its menu's title.
        for (QAction* action : form.findChildren<QAction*>())
            EXPECT_TRUE(!HasWords(action->text()) || !action->objectName().isEmpty() || action->menu<QMenu*>())
                << f.ClassName << ": action \"" << action->text().toStdString() << "\"";
        for (QTabWidget* tabs : form.findChildren<QTabWidget*>())
            for (int i = 0; i < tabs->count(); ++i)
                EXPECT_FALSE(tabs->widget(i)->objectName().isEmpty()) << f.ClassName << ": page " << tabs->tabText(i).toStdString();
    }
}

}  // namespace
}  // namespace i18nqttest
