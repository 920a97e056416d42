// The build's version, as the running program shows it: the trace's version
// line, the window's title and the diagnostic report's version line.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/demowindow.h"
#include "report/cvreport.h"
#include "ui/cvreportprogress.h"

namespace {

TEST(ProgramVersion, TheTraceTheTitleAndTheReportNameTheBuildsVersion) {
    const std::string caption = "Caldavor " CALDAVOR_VERSION;
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();

    const auto lines = testsupport::traceLines(demo.machine.file("debug.nfo"));
    const auto version = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string& line) { return line.starts_with("Caldavor version : "); });
    ASSERT_NE(version, lines.end());
    EXPECT_EQ(*version, "Caldavor version : " + caption);
    EXPECT_EQ(form.windowTitle().toStdString(), caption);

    TDlgReportProgress progress(&form);
    TReportContext context{demo.monitor, form, progress, {}};
    const std::string report = BuildDebugReport(context);
    EXPECT_NE(report.find("\r\nCaldavor version : " + caption + "\r\n"), std::string::npos);
}

}  // namespace
