#pragma once
// A picture of the main window as the display server shows it, for the demo
// and the screenshot test.

#include <QImage>
#include <QString>

class QWidget;

// The window's pixels read back from the screen it is on (through the X
// server on xcb); a null image when the platform cannot read the screen.
QImage GrabFromScreen(const QWidget& window);
// Grabs and writes a PNG; false when either fails.
bool SaveScreenshot(const QWidget& window, const QString& path);
