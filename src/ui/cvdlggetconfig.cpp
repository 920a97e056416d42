#include "ui/cvdlggetconfig.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/cvwebsite.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "ui/cvcontrolbinder.h"
#include "ui/uilanguage.h"

namespace {
constexpr int TicketLength = 10;
}  // namespace

std::int64_t TicketNumber(const std::string& text) {
    if (text.empty() || text.size() > 18) return -1;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string TicketPageUrl() { return std::string(MakerSite) + TicketPagePath; }

TDlgGetConfig::TDlgGetConfig(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), storage_(*this, "TDlgGetConfig") {
    setObjectName("DlgGetConfig");
    setWindowTitle("Get config");
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        "Please, visit the following web page to obtain a ticket to download the latest configuration for your "
        "motherboard or to upload yours.");
    text->setObjectName("LABVisitWebsite");
    text->setWordWrap(true);
    layout->addWidget(text);
    const QString url = QString::fromStdString(TicketPageUrl());
    url_ = new QLabel("<a href=\"" + url + "\">" + url + "</a>");
    url_->setObjectName("LABWebsiteURL");
    url_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    layout->addWidget(url_);
    connect(url_, &QLabel::linkActivated, this,
            [](const QString& link) { platform::current().desktop().openDocument(link.toStdString()); });

    auto* ticketRow = new QHBoxLayout;
    ticketRow->addWidget(Named("LABTicket", new QLabel("Ticket")));
    ticket_ = new QLineEdit;
    ticket_->setObjectName("EDTicket");
    ticket_->setMaxLength(TicketLength);
    ticketRow->addWidget(ticket_, 1);
    layout->addLayout(ticketRow);
    proxy_ = BuildProxyGroup();
    layout->addWidget(proxy_.Panel);

    auto* buttons = new QDialogButtonBox;
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    ok_->setObjectName("BTNOk");
    ok_->setEnabled(false);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName("BTNCancel");
    layout->addWidget(buttons);
    connect(ticket_, &QLineEdit::textChanged, this, [this] { EDTicketChange(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    StoreProxyFields(storage_, proxy_);
    if (owner) move(owner->geometry().center() - rect().center());
    setFixedSize(sizeHint());
    FormBuilt("TDlgGetConfig", *this);
}

void TDlgGetConfig::EDTicketChange() { ok_->setEnabled(TicketNumber(ticket_->text().toStdString()) > 0); }

void TDlgGetConfig::done(int result) {
    storage_.SaveFields();
    QDialog::done(result);
}
