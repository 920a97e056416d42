#pragma once
// A simulated machine with the bus locks made and the driver open, and a
// recorder of sensor log lines, for the chip drivers' tests.

#include <memory>
#include <string>
#include <vector>

#include "hw/cvbuslocks.h"
#include "hw/cvdriver.h"
#include "core/cvsensors.h"
#include "hw/hwfixture.h"

class ChipTest : public HwTest {
protected:
    ChipTest() {
        InitializeBusLocks();
        IOPort = std::make_unique<TIOPort>();
    }
    ~ChipTest() override { FinalizeBusLocks(); }

    TSensorLogEvent Logger() {
        return [this](TSensor&, const std::string& msg, int level) { log.push_back(std::to_string(level) + " " + msg); };
    }

    std::vector<std::string> log;
};
