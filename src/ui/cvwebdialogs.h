#pragma once
// The web buttons' dialogs and boxes on the screen, every modal run through
// the prompts, so tests answer them.

#include <memory>

#include "net/cvwebservices.h"

class QWidget;
class TDlgPost;
class TDlgReportProgress;
class THelpLink;
class TUiPrompts;

class TUiWebDialogs : public TWebDialogs {
public:
    TUiWebDialogs(THelpLink& help, TUiPrompts& prompts, QWidget* owner = nullptr);
    ~TUiWebDialogs() override;

    // For the report builder: the open "Send Info" and progress dialogs, or null.
    TDlgPost* SendInfo() const { return sendInfo_.get(); }
    TDlgReportProgress* Progress() const { return progress_.get(); }

    bool RunSendInfo() override;
    std::string SendInfoEmail() override;
    void CloseSendInfo() override;
    void ShowReportProgress() override;
    void CloseReportProgress() override;
    std::optional<std::string> RunReportPreview(const std::string& report) override;
    std::optional<std::int64_t> RunGetConfig() override;
    void ShowWarning(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;

private:
    THelpLink& help_;
    TUiPrompts& prompts_;
    QWidget* owner_;
    std::unique_ptr<TDlgPost> sendInfo_;
    std::unique_ptr<TDlgReportProgress> progress_;
};
