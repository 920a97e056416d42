#pragma once
// A simulated machine with the driver open for the graphics-card objects,
// which start and end without a binding or card.

#include <memory>

#include "cpu/cvatiadl.h"
#include "cpu/cvgeforce.h"
#include "cpu/cvnvapi.h"
#include "cpu/cvnvcpanel.h"
#include "hw/hwfixture.h"
#include "platform/sim/simgpulibraries.h"

class GpuTest : public HwTest {
protected:
    GpuTest() { IOPort = std::make_unique<TIOPort>(); }
    ~GpuTest() override {
        ResetAtiAdl();
        GeForceCards().clear();
        FinalizeNVCpl();
        UnloadNvApi();
    }
    void place() { platform::sim::placeGraphicsLibraries(machine().simLibraries(), graphics); }
    void load(const char* board) { machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR "/") + board); }

    std::shared_ptr<platform::sim::SimGraphics> graphics = std::make_shared<platform::sim::SimGraphics>();
};
