#include "ui/cvwebdialogs.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

#include "core/cvmonitor.h"
#include "support/localhttpserver.h"
#include "support/testmachine.h"
#include "ui/cvdlggetconfig.h"
#include "ui/cvdlgpost.h"
#include "ui/cvreportpreview.h"
#include "ui/uiprompts.h"

namespace {

TEST(WebDialogs, SendReportThroughTheRealDialogs) {
    testsupport::TestMachine machine;
    ProxySettings = {};
    TMonitor monitor;
    monitor.Caption = "Caldavor";
    TScriptedPrompts prompts;
    TUiWebDialogs dialogs(monitor.Help, prompts);
    std::vector<std::string> shown;
    prompts.OnModal = [&](QDialog& dialog) {
        if (auto* post = dynamic_cast<TDlgPost*>(&dialog)) {
            post->EDEmail().setText("a@b.example");
            return TUiPrompts::Accepted;
        }
        if (auto* preview = dynamic_cast<TDlgReportPreview*>(&dialog)) {
            shown.push_back(preview->EDReport().toPlainText().toStdString());
            EXPECT_TRUE(preview->EDReport().isReadOnly());
            preview->EDNotes().setPlainText("fans loud");
            return TUiPrompts::Accepted;
        }
        if (auto* box = dynamic_cast<QMessageBox*>(&dialog)) shown.push_back(box->text().toStdString());
        return TUiPrompts::Accepted;
    };
    testsupport::LocalHttpServer server({{"/cvdebug.php", {200, {"REPORT SENT."}}}});
    TWebServices services(monitor, dialogs, {server.url(), server.url()});
    services.BuildReport = [&] {
        EXPECT_NE(dialogs.SendInfo(), nullptr) << "the builder reads the open questionnaire";
        EXPECT_NE(dialogs.Progress(), nullptr);
        return std::string("the report");
    };
    services.BTNSendDebugClick();

    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].body,
              "senderemail=a%40b%2Eexample&cvversion=Caldavor&debugmessage=the+report&notes=fans+loud");
    EXPECT_EQ(shown, std::vector<std::string>{"the report"});
    EXPECT_EQ(dialogs.SendInfo(), nullptr);
    EXPECT_EQ(dialogs.Progress(), nullptr);
}

TEST(WebDialogs, TheTicketIsTheValidatedNumber) {
    testsupport::TestMachine machine;
    ProxySettings = {};
    TMonitor monitor;
    TScriptedPrompts prompts;
    TUiWebDialogs dialogs(monitor.Help, prompts);
    std::string ticket;
    prompts.OnModal = [&](QDialog& dialog) {
        auto* getConfig = dynamic_cast<TDlgGetConfig*>(&dialog);
        if (!getConfig) return TUiPrompts::Accepted;
        getConfig->EDTicket().setText(QString::fromStdString(ticket));
        return TUiPrompts::Accepted;
    };
    const struct {
        std::string text;
        std::optional<std::int64_t> number;
    } cases[] = {{"0042", 42}, {"0", std::nullopt}, {"-5", std::nullopt}, {"+5", std::nullopt}, {"x1", std::nullopt}};
    for (const auto& c : cases) {
        ticket = c.text;
        EXPECT_EQ(dialogs.RunGetConfig(), c.number) << c.text;
    }
}

}  // namespace
