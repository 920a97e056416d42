// The GPU library's binding, enumeration and card lookup against the simulated library.

#include <cstring>

#include <gtest/gtest.h>

#include "cpu/gpufixture.h"

namespace {

using Lines = std::vector<std::string>;
using platform::sim::SimNvGpu;

SimNvGpu Gpu(std::uint32_t handle, std::uint32_t bus, std::uint32_t deviceId = 0x060010DE) {
    SimNvGpu gpu;
    gpu.handle = handle;
    gpu.name = "GeForce 8800 GT";
    gpu.deviceId = deviceId;
    gpu.extDeviceId = deviceId >> 16;
    gpu.bus = bus;
    gpu.sensors = {{1, 0, 127, 61, 1}};
    return gpu;
}

class NvApiBinding : public GpuTest {
protected:
    NvApiBinding() {
        graphics->nvapi.present = true;
        graphics->nvapi.driverVersion = 19675;
        graphics->nvapi.branch = "r195_00";
        graphics->nvapi.displays = {{0x2000, 512, 400, 0, 1024, 300}};
        graphics->nvapi.gpus = {Gpu(0x1000, 1), Gpu(0x1100, 2)};
    }
    void start() {
        place();
        LoadNvApi();
        SetNvApiLogSink([this](const std::string& msg, bool toInfo) { window.push_back((toInfo ? "I " : "D ") + msg); });
    }
    Lines window;
};

TEST_F(NvApiBinding, WithoutTheLibraryOnlyTheNoteIsLeft) {
    LoadNvApi();
    EXPECT_EQ(GetNvApiNotes(), Lines{"DLL not found"});
    EXPECT_FALSE(NvApiPresent());
    EnumerateNVApi();
    EXPECT_TRUE(NVApiCards().empty());
    EXPECT_EQ(FindInNVApiCards(1, 0, 0, false, 0x060010DE), -1);
    EXPECT_TRUE(traced("WARN: FindInNVApiCards didn't find NVAPI"));
}

TEST_F(NvApiBinding, AnInitialisationErrorStillBindsEveryRow) {
    graphics->nvapi.initStatus = -1;
    graphics->nvapi.missing = {"NVAPI_GPU_SetECCConfiguration"};
    start();
    const Lines& notes = GetNvApiNotes();
    ASSERT_EQ(notes.size(), 4u + 38u);
    EXPECT_EQ(notes[3], "Answer from nvapi_Unknown1=$FFFFFFFF");
    EXPECT_EQ(notes[4].substr(10), "<- NVAPI_GetErrorMessage");
    EXPECT_EQ(notes.back(), "$00000000 <- NVAPI_GPU_SetECCConfiguration");
    EXPECT_TRUE(::NvApi().GetThermalSettings);
}

TEST_F(NvApiBinding, EnumerationsRenewHandlesKeepOrderAndMarkRemovedGpusStale) {
    start();
    EnumerateNVApi();
    ASSERT_EQ(NVApiCards().size(), 2u);
    const auto first = NVApiCards()[0].GpuHandle;
    EXPECT_EQ(NVApiCards()[1].BusId, 2u);
    EXPECT_EQ(NVApiCards()[0].DriverVersion, 19675);
    EXPECT_EQ(NVApiDriverInfo().Branch, "r195_00");
    EXPECT_NE(std::find(window.begin(), window.end(),
                        "D   Display Driver memory info : dedicated=512 (avail=400 - curavail=300)  system=0  shared=1024"),
              window.end());
    EnumerateNVApi();
    ASSERT_EQ(NVApiCards().size(), 2u);
    EXPECT_NE(NVApiCards()[0].GpuHandle, first);
    EXPECT_FALSE(NVApiCards()[0].Stale);
    graphics->nvapi.gpus.erase(graphics->nvapi.gpus.begin());
    EnumerateNVApi();
    ASSERT_EQ(NVApiCards().size(), 2u);
    EXPECT_TRUE(NVApiCards()[0].Stale);
    EXPECT_FALSE(NVApiCards()[1].Stale);
    EXPECT_EQ(FindInNVApiCards(1, 0, 0, false, 0x060010DE), -1) << "a stale entry is never chosen";
    EXPECT_EQ(FindInNVApiCards(2, 0, 0, false, 0x060010DE), 1);
}

TEST_F(NvApiBinding, AnExactLocationWinsOverAnUnknownOne) {
    // Two identical GPUs; the first cannot tell its bus (the call raises).
    graphics->nvapi.faults["NVAPI_GPU_GetBusId"] = {true, 0};
    start();
    EnumerateNVApi();
    ASSERT_EQ(NVApiCards().size(), 1u) << "both read as bus 0: one entry";
    EXPECT_TRUE(NVApiCards()[0].BusIdUnknown);
    EXPECT_TRUE(traced("!!! Error calling NVAPI_GPU_GetBusId (Access violation in NVAPI_GPU_GetBusId)"));
    EXPECT_EQ(FindInNVApiCards(7, 0, 0, false, 0x060010DE), 0) << "an unknown location matches by identity";

    graphics->nvapi.faults.clear();
    EnumerateNVApi();
    ASSERT_EQ(NVApiCards().size(), 3u);
    EXPECT_EQ(FindInNVApiCards(1, 0, 0, false, 0x060010DE), 1);
    EXPECT_EQ(FindInNVApiCards(2, 0, 0, false, 0x060010DE), 2);
}

TEST_F(NvApiBinding, NoDisplayReachesTheInfoBoxAndTheSystemVersionStays) {
    graphics->nvapi.displays.clear();
    start();
    EnumerateNVApi();
    EXPECT_NE(std::find(window.begin(), window.end(), "I No active display found!"), window.end());
    EXPECT_EQ(NVApiDriverInfo().DriverVersion, 19675);
}

TEST_F(NvApiBinding, CountsBeyondTheArrayAreClamped) {
    graphics->nvapi.claimedGpus = 1000;
    start();
    EnumerateNVApi();
    EXPECT_TRUE(traced("  GpuCount=64"));
}

TEST(NvApiTexts, CodesAndUnknownValues) {
    const std::tuple<std::string (*)(std::uint32_t), std::uint32_t, const char*> rows[] = {
        {NvCoolerControllerText, 1, "ADI"},          {NvCoolerTypeText, 3, "liquid NO2"},
        {NvCoolerTargetText, 8, "vcd cooler 1"},     {NvCoolerTargetText, 27, "vcd cooler 20"},
        {NvCoolerTargetText, 28, "unknown (28)"},    {NvCoolerPolicyText, 32, "default"},
        {NvThermalTargetText, 15, "all"},            {NvThermalControllerText, 11, "OS"},
        {NvThermalControllerText, 12, "unknown (12)"}};
    for (const auto& [text, code, expected] : rows) EXPECT_EQ(text(code), expected) << code;
    EXPECT_EQ(NvApiErrorText(-1), "<GetErrorMessage not linked>");
}

// The bound I2C calls reach the GPU's port slaves: a register written with
// the Ex call reads back with the plain one; a silent address, a port
// without lines, a wrong record version and an unknown GPU each fail.
TEST_F(NvApiBinding, I2CCallsReachTheSlavesOfTheGpusPort) {
    auto slave = std::make_shared<platform::sim::SMBusSlave>();
    slave->registers().write(0x3E, 0x41);
    graphics->nvapi.gpus[0].i2c[1] = std::make_shared<platform::sim::I2CSlaves>();
    graphics->nvapi.gpus[0].i2c[1]->attach(0x2E, slave);
    start();
    EnumerateNVApi();
    const auto card = NvApiSources().Card(0);
    ASSERT_TRUE(card);
    const TNvI2CEntries& i2c = NvApiSources().I2CEntries();
    ASSERT_TRUE(i2c.I2CRead && i2c.I2CReadEx && i2c.I2CWrite && i2c.I2CWriteEx);

    std::uint8_t reg = 0x3E;
    std::uint8_t data[2] = {0x5A, 0};
    const auto request = [&](std::uint32_t port, std::uint8_t address, std::uint32_t size) {
        TNvI2CRequest r;
        std::memset(&r, 0, sizeof r);
        r.Version = NvI2CRequestVersion;
        r.Port = port;
        r.DeviceAddress = static_cast<std::uint8_t>(address << 1);
        r.RegisterAddress = &reg;
        r.RegisterSize = 1;
        r.Data = data;
        r.DataSize = size;
        return r;
    };
    std::uint32_t unknown = 0;
    auto write = request(1, 0x2E, 1);
    EXPECT_EQ(i2c.I2CWriteEx(card->GpuHandle, &write, &unknown), 0);
    EXPECT_EQ(slave->registers().read(0x3E), 0x5A);
    slave->registers().write(0x3F, 0x07);
    data[0] = 0;
    auto read = request(1, 0x2E, 2);
    EXPECT_EQ(i2c.I2CRead(card->GpuHandle, &read), 0);
    EXPECT_EQ(data[0], 0x5A);
    EXPECT_EQ(data[1], 0x07);

    auto silent = request(1, 0x2F, 1);
    auto noLines = request(0, 0x2E, 1);
    auto oldVersion = request(1, 0x2E, 1);
    oldVersion.Version = sizeof(TNvI2CRequest);
    for (TNvI2CRequest* r : {&silent, &noLines, &oldVersion}) EXPECT_NE(i2c.I2CReadEx(card->GpuHandle, r, &unknown), 0);
    EXPECT_NE(i2c.I2CRead(reinterpret_cast<TNvPhysicalGpuHandle>(0x7777), &read), 0);
}

}  // namespace
