// "Send report" on the demo board's information page, as the user presses it:
// the questionnaire's answers reach the report and the report reaches the post.

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "core/cvvalueformat.h"
#include "support/localhttpserver.h"
#include "ui/cvdlgpost.h"
#include "ui/cvreportpreview.h"
#include "ui/uiprompts.h"

namespace {

TEST(SendReportButton, PostsTheReportWithTheQuestionnairesAnswers) {
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();
    testsupport::LocalHttpServer server({{"/cvdebug.php", {200, {"Report sent."}}}});
    TScriptedPrompts prompts;
    form.SetPrompts(prompts);
    form.SetWebAddresses({server.url(), server.url()});

    std::string previewed;
    std::vector<bool> buttonsOnDuringDialogs;
    prompts.OnModal = [&](QDialog& dialog) {
        buttonsOnDuringDialogs.push_back(form.findChild<QPushButton*>("BTNSendDebug")->isEnabled() ||
                                         form.findChild<QPushButton*>("BTNGetConfig")->isEnabled() ||
                                         form.findChild<QPushButton*>("BTNQuessel")->isEnabled());
        if (auto* post = dynamic_cast<TDlgPost*>(&dialog)) {
            post->EDEmail().setText("me@home.example");
            post->EDMBModel().setText("Board X7");
            post->CBOkForBetaVersions().setChecked(false);
            for (const char* name : {"RBCanChangeNo", "RBSmoothlyYes", "RBCanStopDontKnow"})
                post->findChild<QRadioButton*>(name)->setChecked(true);
        }
        if (auto* preview = dynamic_cast<TDlgReportPreview*>(&dialog)) {
            previewed = preview->EDReport().toPlainText().toStdString();
            preview->EDNotes().setPlainText("quiet fans");
        }
        return TUiPrompts::Accepted;
    };
    form.findChild<QPushButton*>("BTNSendDebug")->click();

    EXPECT_EQ(buttonsOnDuringDialogs, (std::vector<bool>{false, false}));
    for (const char* line : {"Sender : me@home.example", "Motherboard model : Board X7",
                             "I Agree to receive beta versions : OFF", "Can change fan speeds : NO",
                             "Can smoothly change fan speeds : YES", "Can stop fans : DON'T KNOW",
                             "Chipset : "})
        EXPECT_NE(previewed.find(line), std::string::npos) << line;
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    // The preview shows the report as plain text; the post carries its CR LF breaks.
    std::string report;
    for (char c : previewed) report += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(requests[0].body, "senderemail=me%40home%2Eexample&cvversion=" + UrlEncode(demo.monitor.Caption) +
                                    "&debugmessage=" + UrlEncode(report) + "&notes=quiet+fans");
    EXPECT_TRUE(form.findChild<QPushButton*>("BTNSendDebug")->isEnabled()) << "on again after the post";
}

}  // namespace
