#include "core/coretest.h"
#include "core/cvmonitor.h"
#include "i18ntest.h"

namespace {

using i18ntest::L;
using i18ntest::TFakeObject;

std::string Line(const std::string& id, int languages, std::initializer_list<std::pair<int, std::string>> texts) {
    std::vector<std::string> fields(static_cast<std::size_t>(languages));
    for (const auto& [n, text] : texts) fields[static_cast<std::size_t>(n - 1)] = text;
    std::string line = id + '\x01';
    for (const auto& f : fields) line += f + '\x01';
    return line;
}

// A form as the program creates it: its table read, then the end of loading
// links it to the dispatcher.
struct TForm {
    TForm(const std::string& className, TsiLangDispatcher& dispatcher, int languages, TStringList captions) {
        form = i18ntest::MakeForm(className);
        label = &form->Component("Label1", "TLabel");
        label->Str("Caption", "Fan");
        lang = std::make_unique<TsiLangRT>(form.get());
        lang->BeginLoading();
        lang->SetLangDispatcher(&dispatcher);
        lang->SetNumOfLanguages(languages);
        lang->SetLangNames(TStringList(siconsts::LanguageNames.begin(), siconsts::LanguageNames.begin() + languages));
        std::string data = "stCaptions\r\n";
        for (const auto& line : captions) data += line + "\r\n";
        lang->ReadTranslationData(data);
        lang->Loaded();
    }
    std::unique_ptr<TFakeObject> form;
    TFakeObject* label = nullptr;
    std::unique_ptr<TsiLangRT> lang;
};

class Dispatcher : public i18ntest::FormTest {
protected:
    std::unique_ptr<TsiLangDispatcher> dispatcher = TsiLangDispatcher::CreateSystem();
};

TEST_F(Dispatcher, TheSystemsDispatcherHoldsEighteenLanguages) {
    EXPECT_EQ(dispatcher->NumOfLanguages(), 18);
    EXPECT_EQ(dispatcher->LanguageNames()[6], "Russian");
    EXPECT_EQ(dispatcher->Language(), "English");
    EXPECT_EQ(dispatcher->ActiveLanguageNumber(), 1);
}

TEST_F(Dispatcher, ANameSwitchesEveryFormAndTakesTheListedSpelling) {
    TForm main("TForm1", *dispatcher, 18, {Line("Label1", 18, {{8, "Lüfter"}})});
    TForm dialog("TCVConfigForm", *dispatcher, 18, {Line("Label1", 18, {{8, "Gebläse"}})});
    dispatcher->SetLanguage("german");
    EXPECT_EQ(dispatcher->ActiveLanguage(), 8);
    EXPECT_EQ(dispatcher->Language(), "German");
    EXPECT_EQ(main.label->GetStr("Caption"), "Lüfter");
    EXPECT_EQ(dialog.label->GetStr("Caption"), "Gebläse");
    EXPECT_EQ(dialog.lang->Language(), "German");
    dispatcher->SetLanguage("GERMAN");  // already active: only the spelling
    EXPECT_EQ(dispatcher->Language(), "GERMAN");
    try {
        dispatcher->SetLanguage("Klingon");
        FAIL();
    } catch (const ELanguageError& e) {
        EXPECT_STREQ(e.what(), "Language name shall be included in LangNames property!");
    }
    EXPECT_EQ(dispatcher->ActiveLanguage(), 8);
}

TEST_F(Dispatcher, AVetoByAnyFormStopsTheSwitchForAll) {
    TForm main("TForm1", *dispatcher, 18, {Line("Label1", 18, {{2, "Ventola"}})});
    TForm dialog("TCVConfigForm", *dispatcher, 18, {Line("Label1", 18, {{2, "Ventola"}})});
    int changed = 0;
    dispatcher->OnLanguageChanged = [&](TsiLangDispatcher&) { ++changed; };
    dialog.lang->OnLanguageChanging = [](TsiCustomLang&, int, bool& allow) { allow = false; };
    dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(dispatcher->ActiveLanguage(), 1);
    EXPECT_EQ(main.label->GetStr("Caption"), "Fan");
    EXPECT_EQ(changed, 0);
    dialog.lang->OnLanguageChanging = nullptr;
    dispatcher->OnLanguageChanging = [](TsiLangDispatcher&, int, bool& allow) { allow = false; };
    dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(main.lang->ActiveLanguage(), 1);
    dispatcher->OnLanguageChanging = nullptr;
    dispatcher->SetActiveLanguage(2);
    dispatcher->SetActiveLanguage(2);  // the current one: nothing, not even the event
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(main.label->GetStr("Caption"), "Ventola");
}

TEST_F(Dispatcher, ALateFormOpensInTheCurrentLanguage) {
    TForm main("TForm1", *dispatcher, 18, {});
    dispatcher->SetActiveLanguage(7);
    TForm dialog("TCVConfigForm", *dispatcher, 18, {Line("Label1", 18, {{1, "Fan"}, {7, "Вент"}})});
    EXPECT_EQ(dialog.lang->ActiveLanguage(), 7);
    EXPECT_EQ(dialog.label->GetStr("Caption"), "Вент");
    dispatcher->SetActiveLanguage(1);
    TForm english("THintForm", *dispatcher, 18, {Line("Label1", 18, {{1, "Design"}})});
    EXPECT_EQ(english.label->GetStr("Caption"), "Fan");  // language 1: no apply pass
}

TEST_F(Dispatcher, ASeventeenLanguageFormIsPaddedAndKeepsItsTextsInKorean) {
    TForm main("TForm1", *dispatcher, 18, {});
    TForm hint("THintForm", *dispatcher, 17, {Line("Label1", 17, {{1, "Fan"}, {2, "Ventola"}})});
    EXPECT_EQ(hint.lang->NumOfLanguages(), 18);
    EXPECT_EQ(hint.lang->LangNames().size(), 18u);
    EXPECT_EQ(hint.lang->Section(stDlgsCaptions)[0], "Warning\x01Warning" + std::string(18, '\x01'));
    dispatcher->SetActiveLanguage(2);
    dispatcher->SetActiveLanguage(18);
    EXPECT_EQ(hint.label->GetStr("Caption"), "Ventola");
    EXPECT_EQ(hint.lang->ActiveLanguage(), 18);
}

TEST_F(Dispatcher, OutOfRangeLanguagesAreRefusedBeforeAnyFormChanges) {
    TForm main("TForm1", *dispatcher, 18, {});
    try {
        dispatcher->SetActiveLanguage(19);
        FAIL();
    } catch (const ELanguageError& e) {
        EXPECT_STREQ(e.what(), "19 - is not a valid property value!\rValue must be within [1..18]!");
    }
    EXPECT_EQ(dispatcher->ActiveLanguage(), 1);
    try {
        main.lang->SetActiveLanguage(19);
        FAIL();
    } catch (const ELanguageError& e) {
        EXPECT_STREQ(e.what(), "TForm1: 19 - is not a valid property value!\rValue must be within [1..18]!");
    }
}

TEST_F(Dispatcher, AFailingFormDoesNotStopTheOthers) {
    TForm first("TForm1", *dispatcher, 18, {});
    TForm second("TCVConfigForm", *dispatcher, 18, {Line("Label1", 18, {{3, "Ventilador"}})});
    first.lang->OnChangeLanguage = [](TsiCustomLang&) { throw std::runtime_error("broken form"); };
    EXPECT_THROW(dispatcher->SetActiveLanguage(3), std::runtime_error);
    EXPECT_EQ(second.label->GetStr("Caption"), "Ventilador");
    EXPECT_EQ(dispatcher->ActiveLanguage(), 3);
}

TEST_F(Dispatcher, FreedFormsUnlink) {
    auto dialog = std::make_unique<TForm>("TCVConfigForm", *dispatcher, 18, std::initializer_list<std::string>{});
    EXPECT_EQ(dispatcher->Linked().size(), 1u);
    dialog.reset();
    EXPECT_TRUE(dispatcher->Linked().empty());
    dispatcher->SetActiveLanguage(5);
    TForm main("TForm1", *dispatcher, 18, {});
    dispatcher.reset();  // the dispatcher goes first: the form forgets it
    EXPECT_EQ(main.lang->LangDispatcher(), nullptr);
}

TEST_F(Dispatcher, OneComponentPerForm) {
    TsiLangRT first{form.get()};
    try {
        TsiLangRT second{form.get()};
        FAIL();
    } catch (const ELanguageError& e) {
        EXPECT_STREQ(e.what(), "Only one TsiCustomLang component per Form/DataModule allowed!");
    }
}

TEST_F(Dispatcher, TheLanguageComponentsOwnSwitch) {
    TsiLangRT lang{form.get()};
    SetLanguages(lang, 18);
    lang.SetLanguage("Italiano");
    EXPECT_EQ(lang.ActiveLanguage(), 2);
    EXPECT_THROW(lang.SetLanguage("Klingon"), ELanguageError);
    lang.BeginLoading();
    lang.SetLanguage("Klingon");  // appended while loading
    lang.SetActiveLanguage(40);   // dropped while loading
    lang.Loaded();
    EXPECT_EQ(lang.LangNames().back(), "Klingon");
    EXPECT_EQ(lang.ActiveLanguage(), 2);
}

TEST_F(Dispatcher, ElevenLocaleLinesGrowToFifteen) {
    TsiLangRT lang{form.get()};
    lang.BeginLoading();
    for (int i = 0; i < 11; ++i) lang.Section(stLocales).push_back(std::string(siconsts::LocaleLineNames[i]) + "\x01x\x01");
    lang.Loaded();
    ASSERT_EQ(lang.Section(stLocales).size(), 15u);
    EXPECT_EQ(lang.Section(stLocales)[11], "Short Month Names\x01Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec\x01");
}

TEST_F(Dispatcher, RemovingAComponentFreesItsExtendedItems) {
    TsiLangRT lang{form.get()};
    auto& button = form->Component("Btn", "TButton");
    lang.SetDoNotTranslate({"Btn", "Other"});
    lang.ExtendedTranslations().Add().Identifier = "Btn.Left";
    lang.ExtendedTranslations().Add().Identifier = "BtnX.Left";
    lang.Section(stCaptions) = {L({"Btn", "b"})};
    lang.Notification(button);
    EXPECT_EQ(lang.DoNotTranslate(), TStringList{"Other"});
    ASSERT_EQ(lang.ExtendedTranslations().Count(), 1u);
    EXPECT_EQ(lang.ExtendedTranslations().Items(0).Identifier, "BtnX.Left");
    EXPECT_EQ(lang.Section(stCaptions), TStringList{L({"Btn", "b"})});
}

// The program's road: the options file's "Language=" key reaches the dispatcher.
class OptionsLanguage : public coretest::CoreTest {
protected:
    std::unique_ptr<TsiLangDispatcher> dispatcher = TsiLangDispatcher::CreateSystem();
};

TEST_F(OptionsLanguage, TheOptionsFilesLanguageSwitchesTheOpenForms) {
    TForm main("TForm1", *dispatcher, 18, {Line("Label1", 18, {{9, "Ventilateur"}})});
    testsupport::writeFile(file("caldavorparams.cfg"), "Language=French\r\nFanDelta=5\r\n");
    TMonitor monitor;
    monitor.Language = dispatcher.get();
    ASSERT_TRUE(monitor.LoadParams(file("caldavorparams.cfg"), false));
    EXPECT_EQ(monitor.Options.Language, "French");
    EXPECT_EQ(main.label->GetStr("Caption"), "Ventilateur");
    testsupport::writeFile(file("caldavorparams.cfg"), "Language=Klingon\r\n");
    ASSERT_TRUE(monitor.LoadParams(file("caldavorparams.cfg"), false));
    EXPECT_EQ(dispatcher->Language(), "French");
    EXPECT_NE(testsupport::readFile(file(DebugLogName)).find("language not set (Language name shall be included"),
              std::string::npos);
}

}  // namespace
