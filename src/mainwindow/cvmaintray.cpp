#include "mainwindow/cvmaintray.h"

#include <QPainter>
#include <QPixmap>

QIcon ProgramIcon() {
    constexpr int Size = 32;
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1F, 0x5F, 0xA8));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, Size - 2, Size - 2), 6, 6);
    // A thermometer: the column and its bulb.
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(13, 5, 6, 17), 3, 3);
    painter.drawEllipse(QRectF(10, 18, 12, 12));
    painter.setBrush(QColor(0xD8, 0x30, 0x30));
    painter.drawRect(QRectF(15, 11, 2, 10));
    painter.drawEllipse(QRectF(12, 20, 8, 8));
    painter.end();
    return QIcon(pixmap);
}

namespace {

QSystemTrayIcon::MessageIcon TrayIconOf(platform::BalloonIcon icon) {
    switch (icon) {
    case platform::BalloonIcon::Info: return QSystemTrayIcon::Information;
    case platform::BalloonIcon::Warning: return QSystemTrayIcon::Warning;
    case platform::BalloonIcon::Error: return QSystemTrayIcon::Critical;
    case platform::BalloonIcon::None: break;
    }
    return QSystemTrayIcon::NoIcon;
}

}  // namespace

TTrayIcon::TTrayIcon(TActions actions) : menu_(std::make_unique<QMenu>()) {
    menu_->setObjectName("PopupMenu1");
    const auto add = [this](const char* name, const char* text, std::function<void()> run) {
        QAction* action = menu_->addAction(text);
        action->setObjectName(name);
        QObject::connect(action, &QAction::triggered, [run] { run(); });
    };
    add("ACRestore", "Restore", actions.Restore);
    add("ACMinimize", "Minimize", actions.Minimize);
    menu_->addSeparator();
    add("ACExit", "Exit", actions.Exit);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;

    icon_ = std::make_unique<QSystemTrayIcon>(ProgramIcon());
    icon_->setObjectName("TrayIcon");
    icon_->setToolTip("Caldavor");
    icon_->setContextMenu(menu_.get());
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, [restore = actions.Restore](auto reason) {
        if (reason == QSystemTrayIcon::DoubleClick) restore();
    });
    icon_->show();
}

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text, unsigned timeoutMs,
                            platform::BalloonIcon icon) {
    if (!icon_ || !QSystemTrayIcon::supportsMessages()) return;
    // The model joins lines with a carriage return.
    QString body = QString::fromStdString(text);
    body.replace('\r', '\n');
    icon_->showMessage(QString::fromStdString(title), body, TrayIconOf(icon), static_cast<int>(timeoutMs));
}

void TTrayIcon::Disable() {
    if (icon_) icon_->hide();
}

void TTrayIcon::SetHint(const std::string& hint) {
    if (!icon_) return;
    // The model joins lines with a carriage return.
    QString text = QString::fromStdString(hint);
    text.replace('\r', '\n');
    icon_->setToolTip(text);
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    if (icon_) icon_->setIcon(icon);
}
