#include <gtest/gtest.h>

#include "core/cvlogsinks.h"
#include "core/cvmonitor.h"
#include "coretest.h"
#include "fakesensor.h"
#include "hw/cvlink.h"

namespace {

using Lines = std::vector<std::string>;

class LogSinks : public coretest::CoreTest {
protected:
    LogSinks() { sinks.SetBoxes(&boxes); }

    Lines traced() const {
        Lines out;
        for (const auto& line : testsupport::splitLines(testsupport::readFile(file("debug.nfo")), "\r\n"))
            out.push_back(line.substr(line.find(" - ") + 3));
        return out;
    }

    TLogSinks sinks;
    TLogBoxRecorder boxes;
};

TEST_F(LogSinks, EachSinkReachesItsDestinations) {
    sinks.TraceMessage("error", 2);
    sinks.TraceMessage("detail", 0);
    sinks.TraceDebug("debug");
    sinks.LogMessage("both");
    sinks.LogMessageEx("info only", false);
    sinks.LogMessageEx("selected", true);
    EXPECT_EQ(traced(), (Lines{"DEBUG FILE INITIALIZED", "error", "detail", "debug"}));
    EXPECT_EQ(boxes.Readings, (Lines{"error", "both", "selected"}));
    EXPECT_EQ(boxes.Info, (Lines{"error", "detail", "debug", "both", "info only", "selected"}));

    TLogSinks windowless;
    windowless.TraceMessage("still traced", 1);
    EXPECT_EQ(traced().back(), "still traced");
}

TEST_F(LogSinks, BoxesKeepTheirLastTenThousandLines) {
    for (int i = 0; i < 10005; ++i) sinks.LogMessage("line " + std::to_string(i));
    for (const Lines* box : {&boxes.Readings, &boxes.Info}) {
        ASSERT_EQ(box->size(), 10000u);
        EXPECT_EQ(box->front(), "line 5");
        EXPECT_EQ(box->back(), "line 10004");
    }
}

TEST_F(LogSinks, SensorsAndLinksReportWithTheirNames) {
    TMonitor monitor;
    monitor.Log.SetBoxes(&boxes);
    TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0);
    auto sensor = CreateSensor<coretest::TFakeSensor>("W83627HF", 0x2D, coretest::TFakeReadings{},
                                                       monitor.SensorLogEvent());
    sensor->Log("fan failed", 1);
    sensor->LogDebug("register dump");
    monitor.Log.LinkLog(link, "timeout");

    EXPECT_EQ(boxes.Readings, (Lines{"W83627HF at $2D msg : fan failed", "SMBus msg : timeout"}));
    EXPECT_EQ(boxes.Info, (Lines{"W83627HF at $2D msg : fan failed", "W83627HF at $2D msg : register dump",
                                 "SMBus msg : timeout"}));
    EXPECT_EQ(traced().back(), "W83627HF at $2D msg : register dump");
}

}  // namespace
