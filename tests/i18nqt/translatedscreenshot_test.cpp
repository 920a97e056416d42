// The forms in Japanese and in Russian as the display server shows them: run
// by their own ctest entry under xvfb-run. Every character shown must be in
// its control's font, so that no text is drawn as empty boxes.

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTreeWidget>

#include "mainwindow/cvmainscreenshot.h"
#include "i18n/qt/silangrt.h"
#include "i18n/sicomp.h"
#include "translatedforms.h"

namespace i18nqttest {
namespace {

// The texts a widget draws itself.
QStringList DrawnTexts(const QWidget& w) {
    QStringList texts;
    if (const auto* b = qobject_cast<const QAbstractButton*>(&w)) texts << b->text();
    if (const auto* l = qobject_cast<const QLabel*>(&w)) texts << QTextDocumentFragment::fromHtml(l->text()).toPlainText();
    if (const auto* g = qobject_cast<const QGroupBox*>(&w)) texts << g->title();
    if (const auto* t = qobject_cast<const QTabWidget*>(&w))
        for (int i = 0; i < t->count(); ++i) texts << t->tabText(i);
    if (const auto* c = qobject_cast<const QComboBox*>(&w))
        for (int i = 0; i < c->count(); ++i) texts << c->itemText(i);
    if (const auto* v = qobject_cast<const QTreeWidget*>(&w))
        for (int i = 0; i < v->columnCount(); ++i) texts << v->headerItem()->text(i);
    return texts;
}

// The characters of the form's texts its controls' fonts lack.
QString MissingGlyphs(const QWidget& form) {
    QString missing;
    QList<const QWidget*> widgets{&form};
    for (const QWidget* w : form.findChildren<QWidget*>()) widgets << w;
    for (const QWidget* w : widgets) {
        const QFontMetrics metrics(w->font());
        for (const QString& text : DrawnTexts(*w))
            for (const char32_t c : text.toUcs4())
                if (c > ' ' && c != '&' && !metrics.inFontUcs4(c)) missing += QString::fromUcs4(&c, 1);
    }
    return missing;
}

class Screenshot : public TranslatedForms {
protected:
    void SetUp() override {
        folder = qEnvironmentVariable("CALDAVOR_SCREENSHOTS");
        if (folder.isEmpty()) GTEST_SKIP() << "runs under xvfb-run from its own ctest entry";
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    }

    void Gallery(const std::string& language, const QString& suffix) {
        Open("TForm1");  // both passes of its start-up read the options, which name English
        RunPostedMessages();
        dispatcher->SetLanguageName(language);
        for (const char* className : {"TForm1", "TDlgConfig", "TDlgPost", "TDlgFindSMBusDevices", "TDlgShowHint"}) {
            QWidget& window = Open(className);
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            QTest::qWait(50);
            const QImage shot = GrabFromScreen(window);
            const QString name = QString(className).mid(1).toLower() + "-" + suffix + ".png";
            EXPECT_TRUE(shot.save(folder + "/" + name, "PNG")) << name.toStdString();
            EXPECT_EQ(MissingGlyphs(window), QString()) << className << " in " << language;
            EXPECT_EQ(FormTranslation(window)->Language(), language) << className;
            window.hide();
        }
    }
    QString folder;
};

TEST_F(Screenshot, JapaneseFormsDrawEveryCharacter) { Gallery("Japanese", "ja"); }

TEST_F(Screenshot, RussianFormsDrawEveryCharacter) { Gallery("Russian", "ru"); }

}  // namespace
}  // namespace i18nqttest
