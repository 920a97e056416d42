#include "mainwindow/cvmainscreenshot.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

QImage GrabFromScreen(const QWidget& window) {
    QScreen* screen = window.screen();
    if (!screen) return {};
    return screen->grabWindow(window.winId()).toImage();
}

bool SaveScreenshot(const QWidget& window, const QString& path) {
    const QImage image = GrabFromScreen(window);
    return !image.isNull() && image.save(path, "PNG");
}
