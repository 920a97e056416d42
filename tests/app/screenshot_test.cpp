// The main window as the display server shows it: run by its own ctest entry
// under xvfb-run, which names the folder the picture is kept in.

#include <set>

#include <QGuiApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "core/cvmainscreenshot.h"

namespace {

TEST(Screenshot, MainWindowThroughTheXServer) {
    const QString folder = qEnvironmentVariable("CALDAVOR_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "runs under xvfb-run from its own ctest entry";
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");

    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    const QImage shot = GrabFromScreen(form);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), form.size() * form.devicePixelRatio());
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3) colours.insert(shot.pixel(x, y));
    // Text, frames and backgrounds: a blank or one-colour window has far fewer.
    EXPECT_GT(colours.size(), 16u);
    EXPECT_TRUE(shot.save(folder + "/mainwindow.png", "PNG"));
}

}  // namespace
