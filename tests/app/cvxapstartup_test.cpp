// The deferred start-up makes the xAP sender through the factory app/ wires,
// before the options file's second pass sets it; the shutdown frees it.

#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "net/cvxap.h"

TEST(XapStartup, TheWiredFactoryMakesTheSenderThatTheOptionsThenSet) {
    apptest::TWindowOnMachine run(apptest::TWindowOnMachine::TBoard::Demo);
    testsupport::writeFile(run.machine.file("caldavorparams.cfg"),
                           "XAPEnabled=false\r\nXAPUID=00001234\r\nXAPHostName=box\r\nXAPHostIP=127.0.0.1\r\n"
                           "XAPBroadcastIP=127.0.0.1\r\n");
    run.Open();
    EXPECT_EQ(run.monitor.Xap, nullptr);
    apptest::TWindowOnMachine::RunPostedMessages();

    auto* xap = dynamic_cast<TCaldavorXAP*>(run.monitor.Xap);
    ASSERT_NE(xap, nullptr);
    EXPECT_EQ(xap->Settings(), (TXapSettings{false, 0x1234, "box", "127.0.0.1", "127.0.0.1"}));
    // It reads the detected readings of the demo board.
    const std::string status = xap->BuildPCStatusMessage(3);
    EXPECT_NE(status.find("source=Nostrel.Caldavor.box\n"), std::string::npos);
    EXPECT_NE(status.find("\ntemp."), std::string::npos);

    run.form.reset();
    EXPECT_EQ(run.monitor.Xap, nullptr);
}
