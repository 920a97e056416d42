#pragma once
// "Get config": the ticket that downloads a board's configuration from the
// maker's site. The proxy fields it shows are kept, the password never.

#include <cstdint>
#include <string>

#include <QDialog>

#include "ui/cvproxygroup.h"
#include "ui/formstorage.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The ticket's number; -1 for an empty text or any character that is not a
// digit. Read as 64 bits: ten digits overflow 32.
std::int64_t TicketNumber(const std::string& text);
// The maker's ticket page.
std::string TicketPageUrl();

class TDlgGetConfig : public QDialog {
public:
    explicit TDlgGetConfig(QWidget* owner = nullptr);

    QLineEdit& EDTicket() { return *ticket_; }
    QPushButton& BTNOk() { return *ok_; }
    QLabel& LABWebsiteURL() { return *url_; }
    // OK exactly while the ticket is a whole number above 0.
    void EDTicketChange();
    void CBUseProxyClick() {}

protected:
    void done(int result) override;

private:
    QLabel* url_ = nullptr;
    QLineEdit* ticket_ = nullptr;
    QPushButton* ok_ = nullptr;
    TProxyControls proxy_;
    TFormStorage storage_;
};
