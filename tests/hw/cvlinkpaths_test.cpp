// Links whose transactions go through no SMBus host of their own: the memory
// controller's SPD registers and a graphics card's I2C bus (NVAPI or lines).

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "hw/cvlink.h"
#include "hw/cvnvidiasources.h"
#include "hw/cvpci.h"
#include "hwfixture.h"
#include "platform/sim/crtc.h"
#include "platform/sim/mchspd.h"

namespace {

using platform::sim::Crtc;
using platform::sim::I2CWire;
using platform::sim::MchSpd;
using platform::sim::PciLocation;
using platform::sim::SMBusSegment;
using platform::sim::SMBusSlave;

// ---- IntelMCH ---------------------------------------------------------------------------

class MchLink : public HwTest {
protected:
    MchLink() {
        IOPort = std::make_unique<TIOPort>();
        machine().pci().addFunction(At, {});
        machine().pci().attachModel(At, mch);
        segment->attach(0x50, spd);
        spd->registers().set(0x10, 0x9C);
        link.SetPciBus(0);
        link.SetPciDevice(0);
        link.SetPciFunction(0);
        link.SetOnLog([this](TLink&, const std::string& msg) { log.push_back(msg); });
    }

    std::uint32_t commandDWord() { return ReadPCIConfigDWord(0, 0, 0, 0x78); }

    static constexpr PciLocation At{0, 0, 0};
    std::shared_ptr<SMBusSegment> segment = std::make_shared<SMBusSegment>();
    std::shared_ptr<SMBusSlave> spd = std::make_shared<SMBusSlave>();
    std::shared_ptr<MchSpd> mch = std::make_shared<MchSpd>(0x78, 0x74, segment);
    TLink link{0, LinkKinds::SMBus, HostKinds::IntelMCH, 0x740078, 1};
    std::vector<std::string> log;
};

struct CommandCase {
    int address;
    std::uint8_t command;
    std::uint32_t before;
    std::uint32_t written;
};

class MchCommand : public MchLink, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(MchCommand, FieldsReplaceOnlyTheirBits) {
    const CommandCase& c = GetParam();
    WritePCIConfigDWord(0, 0, 0, 0x78, c.before | 1);  // bit 0 set: no read starts
    link.Transaction(c.address, SMBusProtocols::ByteData, true, c.command, 0, 0);
    EXPECT_EQ(commandDWord(), c.written);
}

INSTANTIATE_TEST_SUITE_P(Cases, MchCommand,
                         ::testing::Values(CommandCase{0x50, 0x10, 0x00000000, 0xA0100000},
                                           CommandCase{0x50, 0x10, 0xFFFFFFFF, 0xA010FFFE},
                                           CommandCase{0x57, 0x80, 0x12345679, 0xA7805678},
                                           CommandCase{0x1F, 0x00, 0x0000F00E, 0x2F00F00E},
                                           CommandCase{0x7F, 0xFF, 0x10000000, 0xEFFF0000}));

TEST_F(MchLink, ByteReadWaitsForTheData) {
    mch->setBusyReads(3);
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadByteData(0x50, 0x10, value));
    EXPECT_EQ(value, 0x9C);
    EXPECT_EQ(link.ResultWord(), 0x9C00);
    EXPECT_EQ(mch->starts(), 1);
    EXPECT_EQ(machine().simClock().monotonicMs(), 0u) << "no sleep before the end wait";
    EXPECT_TRUE(log.empty());
}

TEST_F(MchLink, BusyControllerTimesOutBeforeStarting) {
    mch->holdBusy(-1);
    EXPECT_FALSE(link.Transaction(0x50, SMBusProtocols::ByteData, true, 0x10, 0, 0));
    EXPECT_EQ(link.LastError(), SMBusErrors::TimeoutStart);
    EXPECT_EQ(log, (std::vector<std::string>{"Timeout waiting IDLE SMBus $50 (STS=$10)"}));
    EXPECT_EQ(mch->starts(), 0);
}

TEST_F(MchLink, DataThatNeverComesIsATimeout) {
    mch->setNeverReady(true);
    EXPECT_FALSE(link.Transaction(0x50, SMBusProtocols::ByteData, true, 0x10, 0, 0));
    EXPECT_EQ(link.LastError(), SMBusErrors::Timeout);
    EXPECT_EQ(log, (std::vector<std::string>{"Intel MCH SMBus Timeout waiting for data"}));
    EXPECT_EQ(link.ZeroPollCount(), 1u);
}

TEST_F(MchLink, IsNeverProbedForEmptiness) { EXPECT_FALSE(link.IsAddressEmpty(0x51)); }

// ---- I2CNVidia ----------------------------------------------------------------------------

constexpr std::uint32_t Bus3E = 0x3D403E3F;

class NVidiaLink : public HwTest {
protected:
    NVidiaLink() {
        IOPort = std::make_unique<TIOPort>();
        crtc = Crtc::install(machine().ports(), std::make_shared<platform::sim::RegisterFile>());
        crtc->addBus(0x3E, wire);
        wire->slaves().attach(0x4C, chip);
        chip->registers().set(0x00, 0x2A);
        chip->registers().set(0x01, 0x80);
    }

    std::unique_ptr<TLink> makeLink(std::uint32_t base) {
        auto link = std::make_unique<TLink>(91, LinkKinds::SMBus, HostKinds::I2CNVidia, base, 1);
        link->SetOnLog([this](TLink&, const std::string& msg) { log.push_back(msg); });
        return link;
    }
    std::size_t portAccesses() { return machine().ports().recorder().accesses().size(); }

    std::shared_ptr<I2CWire> wire = std::make_shared<I2CWire>();
    std::shared_ptr<SMBusSlave> chip = std::make_shared<SMBusSlave>();
    std::shared_ptr<Crtc> crtc;
    std::vector<std::string> log;
};

TEST_F(NVidiaLink, BitBangsByteWordAndQuick) {
    auto link = makeLink(Bus3E);
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(0x4C, 0x00, value));
    EXPECT_EQ(value, 0x2A);
    std::uint16_t word = 0;
    ASSERT_TRUE(link->ReadWordData(0x4C, 0x00, word));
    EXPECT_EQ(word, 0x2A80);
    ASSERT_TRUE(link->WriteByteData(0x4C, 0x05, 0x11));
    EXPECT_EQ(chip->registers().peek(0x05), 0x11);
    EXPECT_TRUE(link->WriteQuick(0x4C, 0));
    EXPECT_TRUE(log.empty());
}

TEST_F(NVidiaLink, RefusesQuietlyWithoutTouchingTheCard) {
    auto link = makeLink(Bus3E);
    machine().ports().recorder().clear();
    const std::vector<std::pair<std::uint8_t, bool>> refused = {
        {SMBusProtocols::Byte, true}, {SMBusProtocols::WordData, false}, {SMBusProtocols::Block, true}};
    for (const auto& [protocol, read] : refused) {
        EXPECT_FALSE(link->Transaction(0x4C, protocol, read, 0, 0, 0));
        EXPECT_EQ(link->LastError(), SMBusErrors::UnsupportedProtocol);
    }
    EXPECT_EQ(portAccesses(), 0u);
    EXPECT_TRUE(log.empty());
}

TEST_F(NVidiaLink, NonAdjacentRegistersRefuseEverything) {
    auto link = makeLink(0x3D403E40);
    machine().ports().recorder().clear();
    for (const std::uint8_t protocol : {SMBusProtocols::Quick, SMBusProtocols::ByteData, SMBusProtocols::WordData}) {
        EXPECT_FALSE(link->Transaction(0x4C, protocol, true, 0, 0, 0));
        EXPECT_EQ(link->LastError(), SMBusErrors::UnsupportedProtocol);
    }
    EXPECT_EQ(portAccesses(), 0u);
}

TEST_F(NVidiaLink, FailuresTakeTheLineCodeOrOne) {
    auto link = makeLink(Bus3E);
    EXPECT_FALSE(link->Transaction(0x4D, SMBusProtocols::ByteData, true, 0, 0, 0));
    EXPECT_EQ(link->LastError(), SMBusErrors::Unknown) << "a NACK leaves the object's code at 0";
    wire->stretchNextRelease(20001);
    EXPECT_FALSE(link->Transaction(0x4C, SMBusProtocols::ByteData, true, 0, 0, 0));
    EXPECT_EQ(link->LastError(), SMBusErrors::Timeout);
}

TEST_F(NVidiaLink, ReadinessIsTheBusCheck) {
    auto link = makeLink(Bus3E);
    EXPECT_TRUE(link->IsReady());
    wire->setStuckSda(false);
    EXPECT_FALSE(link->IsReady());
    EXPECT_EQ(log, (std::vector<std::string>{"I2C seems to be busy (I2C@$3E)"}));
    // Without the CRTC pair tag there are no lines to drive.
    auto untagged = makeLink(0x3E3F);
    EXPECT_FALSE(untagged->IsReady());
    EXPECT_FALSE(untagged->Transaction(0x4C, SMBusProtocols::ByteData, true, 0, 0, 0));
    EXPECT_EQ(untagged->LastError(), SMBusErrors::Unknown);
}

// ---- I2CNVidia through NVAPI ------------------------------------------------------------

// Records each request as the driver would see it.
struct NvCall {
    std::string entry;
    TNvPhysicalGpuHandle gpu;
    TNvI2CRequest request;
    std::uint8_t command;
};

class FakeNvapi : public TNvidiaSources {
public:
    FakeNvapi() {
        const auto record = [this](const char* entry, TNvPhysicalGpuHandle gpu, TNvI2CRequest* r) {
            calls.push_back({entry, gpu, *r, *r->RegisterAddress});
            if (std::string(entry).find("Read") != std::string::npos)
                for (std::uint32_t i = 0; i < r->DataSize; ++i) r->Data[i] = static_cast<std::uint8_t>(0xB0 + i);
            return status;
        };
        entries.I2CRead = [=](TNvPhysicalGpuHandle gpu, TNvI2CRequest* r) { return record("Read", gpu, r); };
        entries.I2CWrite = [=](TNvPhysicalGpuHandle gpu, TNvI2CRequest* r) { return record("Write", gpu, r); };
        entries.I2CReadEx = [=](TNvPhysicalGpuHandle gpu, TNvI2CRequest* r, std::uint32_t* unknown) {
            EXPECT_EQ(*unknown, 0u);
            return record("ReadEx", gpu, r);
        };
        entries.I2CWriteEx = [=](TNvPhysicalGpuHandle gpu, TNvI2CRequest* r, std::uint32_t*) {
            return record("WriteEx", gpu, r);
        };
    }
    const TNvI2CEntries& I2CEntries() const override { return entries; }
    std::optional<TNvApiCardInfo> Card(int index) const override {
        if (index != 0) return std::nullopt;
        return TNvApiCardInfo{gpu, driverVersion};
    }

    TNvI2CEntries entries;
    std::vector<NvCall> calls;
    std::int32_t status = 0;
    TNvPhysicalGpuHandle gpu = reinterpret_cast<TNvPhysicalGpuHandle>(0x1234);
    std::uint32_t driverVersion = 27500;
};

class NvapiLink : public NVidiaLink {
protected:
    NvapiLink() { SetNvidiaSources(&nvapi); }
    ~NvapiLink() override { SetNvidiaSources(nullptr); }

    std::unique_ptr<TLink> attachedLink(std::uint32_t base) {
        auto link = makeLink(base);
        link->AttachNVAPIGpu(0, 1);
        machine().ports().recorder().clear();
        return link;
    }

    FakeNvapi nvapi;
};

TEST(NvI2CRequest, LayoutKeepsTheDriversOrder) {
    EXPECT_EQ(offsetof(TNvI2CRequest, Port), 4u);
    EXPECT_EQ(offsetof(TNvI2CRequest, IsDDCPort), 8u);
    EXPECT_EQ(offsetof(TNvI2CRequest, DeviceAddress), 9u);
    EXPECT_EQ(offsetof(TNvI2CRequest, RegisterAddress) % sizeof(void*), 0u);
    EXPECT_EQ(NvI2CRequestVersion, sizeof(TNvI2CRequest) | 0x10000u);
    if constexpr (sizeof(void*) == 4) {
        EXPECT_EQ(NvI2CRequestVersion, 0x00010020u);
    }
}

TEST(NvI2CLinesToPort, KnowsThreePairs) {
    const std::vector<std::pair<std::uint32_t, int>> cases = {
        {0x3E3F, 0},     {0x3D403E3F, 0}, {0x3637, 1},     {0x3D403637, 1},
        {0x5051, 2},     {0x3D405051, 2}, {0x1234, -1},    {0x3D403E40, -1}, {0x12343637, -1}};
    for (const auto& [lines, port] : cases) EXPECT_EQ(NvI2CLinesToPort(lines), port) << std::hex << lines;
}

TEST_F(NvapiLink, AttachingTracesAndSwitchesToNvapi) {
    auto link = makeLink(Bus3E);
    clearTrace();
    link->AttachNVAPIGpu(-1, 1);
    EXPECT_EQ(trace(), (std::vector<std::string>{"chk 1234.6"}));
    link->AttachNVAPIGpu(0, 2);
    EXPECT_EQ(trace().size(), 2u) << "mode 2 binds nothing";
    link->AttachNVAPIGpu(0, 1);
    EXPECT_TRUE(traced("Using NVAPI for I2CNVidia SMBus at $3D403E3F"));
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(0x4C, 0x00, value));
    EXPECT_EQ(nvapi.calls.size(), 1u);
}

struct NvRequestCase {
    const char* name;
    std::uint32_t base;
    int address;
    std::uint8_t protocol;
    bool read;
    std::uint32_t driverVersion;
    std::uint32_t port;
    std::uint8_t ddc;
    std::uint32_t dataSize;
    std::uint32_t speed;
};

class NvapiRequest : public NvapiLink, public ::testing::WithParamInterface<NvRequestCase> {};

TEST_P(NvapiRequest, FieldsAreSet) {
    const NvRequestCase& c = GetParam();
    nvapi.driverVersion = c.driverVersion;
    auto link = attachedLink(c.base);
    ASSERT_TRUE(link->Transaction(c.address, c.protocol, c.read, 0x07, 0x66, 0));
    ASSERT_EQ(nvapi.calls.size(), 1u);
    const NvCall& call = nvapi.calls[0];
    EXPECT_EQ(call.entry, c.read ? "ReadEx" : "WriteEx");
    EXPECT_EQ(call.gpu, nvapi.gpu);
    EXPECT_EQ(call.request.Version, NvI2CRequestVersion);
    EXPECT_EQ(call.request.Port, c.port);
    EXPECT_EQ(call.request.IsDDCPort, c.ddc);
    EXPECT_EQ(call.request.DeviceAddress, c.address << 1);
    EXPECT_EQ(call.request.Reserved[0] | call.request.Reserved[1], 0);
    EXPECT_EQ(call.command, 0x07);
    EXPECT_EQ(call.request.RegisterSize, 1u);
    EXPECT_EQ(call.request.DataSize, c.dataSize);
    EXPECT_EQ(call.request.Speed, c.speed);
    if (c.read) {
        EXPECT_EQ(link->ResultByte(), 0xB0);
        EXPECT_EQ(link->ResultWord(), c.dataSize == 2 ? 0xB0B1 : 0xB000);
    }
    EXPECT_EQ(machine().ports().recorder().accesses().size(), 0u) << "NVAPI never touches the lines";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NvapiRequest,
    ::testing::Values(NvRequestCase{"ByteReadOldDriver", Bus3E, 0x4C, SMBusProtocols::ByteData, true, 27499, 0, 0, 1, 0},
                      NvRequestCase{"ByteReadNewDriver", Bus3E, 0x4C, SMBusProtocols::ByteData, true, 27500, 0, 0, 1, 35},
                      NvRequestCase{"EepromIsDdc", Bus3E, 0x50, SMBusProtocols::ByteData, true, 27500, 0, 1, 1, 35},
                      NvRequestCase{"SecondPortIsDdc", 0x3D403637, 0x4C, SMBusProtocols::ByteData, true, 27500, 1, 1,
                                    1, 35},
                      NvRequestCase{"WordRead", 0x3D405051, 0x2E, SMBusProtocols::WordData, true, 18000, 2, 1, 2, 0},
                      NvRequestCase{"ByteWrite", Bus3E, 0x4C, SMBusProtocols::ByteData, false, 27500, 0, 0, 1, 35}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NvapiLink, PlainEntriesServeWhenExIsMissing) {
    nvapi.entries.I2CReadEx = nullptr;
    nvapi.entries.I2CWriteEx = nullptr;
    auto link = attachedLink(Bus3E);
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(0x4C, 0, value));
    ASSERT_TRUE(link->WriteByteData(0x4C, 0, 0x66));
    ASSERT_EQ(nvapi.calls.size(), 2u);
    EXPECT_EQ(nvapi.calls[0].entry, "Read");
    EXPECT_EQ(nvapi.calls[1].entry, "Write");
    EXPECT_EQ(*nvapi.calls[1].request.Data, 0x66) << "Data0 is the byte written";
}

TEST_F(NvapiLink, FailingStatusIsOne) {
    nvapi.status = -5;
    auto link = attachedLink(Bus3E);
    EXPECT_FALSE(link->Transaction(0x4C, SMBusProtocols::ByteData, true, 0, 0, 0));
    EXPECT_EQ(link->LastError(), SMBusErrors::Unknown);
}

TEST_F(NvapiLink, RefusalsCallNothingAndLogNothing) {
    auto link = attachedLink(Bus3E);
    const std::vector<std::pair<std::uint8_t, bool>> refused = {{SMBusProtocols::Quick, false},
                                                                 {SMBusProtocols::Byte, true},
                                                                 {SMBusProtocols::Block, true},
                                                                 {SMBusProtocols::WordData, false}};
    for (const auto& [protocol, read] : refused) {
        EXPECT_FALSE(link->Transaction(0x4C, protocol, read, 0, 0, 0));
        EXPECT_EQ(link->LastError(), SMBusErrors::UnsupportedProtocol);
    }
    EXPECT_TRUE(nvapi.calls.empty());
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(link->IsReady()) << "an NVAPI link skips the bus check";
}

}  // namespace
