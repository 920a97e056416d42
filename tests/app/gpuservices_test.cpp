// The graphics cards through the program's own path: the board's cards and
// libraries, the services app/ installs, host discovery and the sensor
// sources, the factory and the first samples.

#include "app/gpuservices.h"

#include <gtest/gtest.h>

#include "core/cvtimers.h"
#include "core/fakeservices.h"
#include "detect/cvsensordetection.h"
#include "detect/detectfixture.h"
#include "hw/cvlink.h"

namespace {

class GpuStartup : public DetectTest {
protected:
    GpuStartup() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-geforce.json");
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-radeon.json");
    }
    void start(std::vector<std::string> switches = {"caldavor", "/NONVIDIAI2C"}) {
        gpus = std::make_unique<TGpuServices>(monitor);
        detection.Install();
        detection.SetSources({.Adl = gpus->Adl(), .NVCpl = gpus->NVCpl()});
        monitor.TimerService = &timers;
        monitor.Window = &window;
        monitor.FormCreate(switches);
        monitor.DeferredStartup();
    }
    const TSensor* find(const std::string& chip, std::uint32_t address) const {
        for (const auto& s : monitor.Sensors)
            if (s->FChipName == chip && s->FAddress == address) return s.get();
        return nullptr;
    }

    TClockTimers timers;
    coretest::TFakeWindow window;
    TSensorDetection detection{monitor};
    std::unique_ptr<TGpuServices> gpus;
};

TEST_F(GpuStartup, DetectionMakesAndReadsEveryCardsSensor) {
    start();
    const TSensor* registers = find("GeForce Video Card", 0);
    const TSensor* library = find("GeForce Video Card", 1);
    const TSensor* panel = find("NVidia Video Card", 0);
    const TSensor* ati = find("ATI Video Card", 0);
    ASSERT_TRUE(registers && library && panel && ati);
    EXPECT_EQ(registers->FDisplayName, "GeForce039110DE010000");
    EXPECT_NEAR(registers->GetTemp(1).Stats->Last(), 6581 * 0.0442 - 240.88 + 2, 1e-4);
    EXPECT_DOUBLE_EQ(library->GetTemp(1).Stats->Last(), 61);
    EXPECT_DOUBLE_EQ(panel->GetTemp(1).Stats->Last(), 58);
    EXPECT_DOUBLE_EQ(ati->GetTemp(1).Stats->Last(), 45.5);
}

// The library card's I2C port carries an LM90: host discovery links the
// card's buses, the probe reads the chip through the library's I2C calls.
TEST_F(GpuStartup, CardI2CBusesReachTheirChipsThroughTheLibrary) {
    start({"caldavor"});
    const TSensor* lm90 = find("LM90", 0x4C);
    ASSERT_TRUE(lm90);
    ASSERT_TRUE(lm90->FLink);
    EXPECT_EQ(lm90->FLink->HostKind(), HostKinds::I2CNVidia);
    EXPECT_EQ(lm90->FLink->BaseAddress(), 0x3D403E3Fu);
    EXPECT_TRUE(lm90->FLink->UsesNVAPI());
}

}  // namespace
