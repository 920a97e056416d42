#pragma once
// The notification-area icon of the main window: the program's own icon, the
// menu Restore / Minimize / Exit, restore on a double click, and balloons.
// A desktop without a notification area gets none of it, and nothing else
// changes: the actions stay reachable through the window.

#include <functional>
#include <memory>
#include <string>

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/desktop.h"

// The program's icon, drawn rather than shipped as a file.
QIcon ProgramIcon();

class TTrayIcon {
public:
    struct TActions {
        std::function<void()> Restore;
        std::function<void()> Minimize;
        std::function<void()> Exit;
    };

    explicit TTrayIcon(TActions actions);
    // Whether the desktop has a notification area the icon lives in.
    bool Available() const { return icon_ != nullptr; }
    void ShowBalloon(const std::string& title, const std::string& text, unsigned timeoutMs,
                     platform::BalloonIcon icon);
    void Disable();
    // The popup menu with the window's actions (ACRestore, ACMinimize, ACExit).
    QMenu& Menu() { return *menu_; }
    void SetHint(const std::string& hint);
    void SetIcon(const QIcon& icon);

private:
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;  // after the menu it shows: goes first
};
