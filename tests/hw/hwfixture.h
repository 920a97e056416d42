#pragma once
// A simulated machine for one test, with the hardware layer's process state
// reset and the debug trace written to the test's folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "hw/cvsetupapi.h"
#include "support/testmachine.h"

class HwTest : public ::testing::Test {
protected:
    HwTest() {
        DriverStartFlags = {};
        IOPort.reset();
        InitializeCvsetupapi();
        ProgramDir = test_.programDir();
    }
    ~HwTest() override { IOPort.reset(); }

    platform::sim::Machine& machine() { return test_.machine(); }

    void setOs(std::uint32_t major, std::uint32_t minor, std::uint32_t platformId = 2) {
        platform::OsVersion os;
        os.major = major;
        os.minor = minor;
        os.platformId = platformId;
        machine().setOsVersion(os);
    }

    // The trace lines without their time stamps.
    std::vector<std::string> trace() const { return testsupport::traceLines(test_.file("debug.nfo")); }
    void clearTrace() { std::remove(test_.file("debug.nfo").c_str()); }

    bool traced(const std::string& line) const {
        const auto lines = trace();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

private:
    testsupport::TestMachine test_;
};
