// The native suspend and resume source without a system bus: one trace line,
// nothing installed, nothing delivered.

#include "app/logindsleep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cvtrace.h"
#include "platform/tracesink.h"
#include "support/testmachine.h"

namespace {

std::vector<std::string> traced;
void capture(const std::string& line) { traced.push_back(line); }

TEST(LogindSleep, WithoutASystemBusItTracesOnceAndDeliversNothing) {
    testsupport::TestMachine machine;
    const QDBusConnection noBus = QDBusConnection::connectToBus("unix:path=/nonexistent/caldavor-bus", "caldavor-nobus");
    ASSERT_FALSE(noBus.isConnected());
    traced.clear();
    platform::setTraceSink(&capture);
    {
        TLogindSleep sleep(machine.machine(), noBus);
        EXPECT_TRUE(machine->takePowerEvents().empty());
    }
    platform::setTraceSink(&WriteDebugLog);
    QDBusConnection::disconnectFromBus("caldavor-nobus");
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_EQ(traced[0].rfind("No system bus, no suspend and resume events: ", 0), 0u) << traced[0];
}

}  // namespace
