// What holds on every host family: the protocol encodings, the word byte
// order, and a controller that is not there.

#include <gtest/gtest.h>

#include <functional>

#include "platform/sim/smbus/alihost.h"
#include "platform/sim/smbus/amdhost.h"
#include "platform/sim/smbus/ichstylehost.h"
#include "platform/sim/smbus/nforce2host.h"
#include "platform/sim/smbus/sis5595host.h"
#include "platform/sim/smbus/sishost.h"
#include "smbushostfixture.h"

namespace {

using namespace smbustest;
using platform::sim::SMBusHostModel;
using platform::sim::SMBusSegment;

constexpr std::uint16_t Base = 0x1000;
constexpr int Refused = -1;

struct Family {
    const char* name;
    std::uint8_t hostKind;
    std::uint8_t chipsetCode;
    std::function<std::shared_ptr<SMBusHostModel>(std::shared_ptr<SMBusSegment>)> model;
    std::uint16_t protocolPort;  // offset from the base
    int protocolIndex;           // SiS5595: the register behind the index port; else -1
    int width;
    std::uint16_t protocolMask;
    int readCodes[5];  // what a read of protocols 0-4 puts in the field
    // A host that is not there: the outcome and the waits that run out.
    std::uint8_t absentError;
    std::uint64_t absentRunOuts;
};

template <class Model, class... Args>
auto Make(Args... args) {
    return [=](std::shared_ptr<SMBusSegment> segment) {
        return std::make_shared<Model>(args..., Base, std::move(segment));
    };
}
auto MakeAmd(std::uint16_t offset) {
    return [=](std::shared_ptr<SMBusSegment> segment) {
        return std::make_shared<platform::sim::AmdHost>(Base, offset, std::move(segment));
    };
}

const Family Families[] = {
    {"Intel", HostKinds::Intel, 63, Make<platform::sim::IchStyleHost>(std::cref(platform::sim::IntelFamily)), 2, -1, 1,
     0x1C, {0x00, 0x04, 0x08, 0x0C, 0x14}, SMBusErrors::TimeoutStart, 2},
    {"AtiIgp", HostKinds::AtiIgp, 92, Make<platform::sim::IchStyleHost>(std::cref(platform::sim::AtiIgpFamily)), 2, -1,
     1, 0x1C, {0x00, 0x04, 0x08, 0x0C, 0x14}, SMBusErrors::TimeoutStart, 2},
    {"VIA", HostKinds::VIA, 84, Make<platform::sim::IchStyleHost>(std::cref(platform::sim::VIAFamily)), 2, -1, 1, 0x1C,
     {0x00, 0x04, 0x08, 0x0C, 0x14}, SMBusErrors::TimeoutStart, 2},
    {"Uli", HostKinds::Uli, 30, Make<platform::sim::IchStyleHost>(std::cref(platform::sim::UliFamily)), 2, -1, 1, 0x38,
     {0x00, 0x08, 0x10, 0x18, Refused}, SMBusErrors::TimeoutStart, 2},
    {"AMD", HostKinds::AMD, 12, MakeAmd(0xE0), 0xE2, -1, 2, 0x07, {0, 1, 2, 3, 5}, SMBusErrors::NotCompleted, 0},
    {"nVidia", HostKinds::nVidia, 14, MakeAmd(0), 0x02, -1, 2, 0x07, {0, 1, 2, 3, 5}, SMBusErrors::NotCompleted, 0},
    {"nForce2", HostKinds::nForce2, 15, Make<platform::sim::NForce2Host>(), 0, -1, 1, 0xFF,
     {0x03, 0x05, 0x07, 0x09, 0x0B}, SMBusErrors::Unknown, 1},
    {"Ali", HostKinds::Ali, 29, Make<platform::sim::AliHost>(), 1, -1, 1, 0x70, {0x00, 0x10, 0x20, 0x30, 0x40},
     SMBusErrors::TimeoutStart, 0},
    {"SiS5595", HostKinds::SiS5595, 33, Make<platform::sim::SiS5595Host>(), 0x39, 0x02, 1, 0x0E,
     {0x00, 0x02, 0x04, 0x06, 0x0A}, SMBusErrors::TimeoutStart, 1},
    {"SiSx30", HostKinds::SiSx30, 40, Make<platform::sim::SiSHost>(std::cref(platform::sim::SiSx30Family)), 0x83, -1,
     1, 0x07, {0, 1, 2, 3, 5}, SMBusErrors::TimeoutStart, 2},
    {"SiS968", HostKinds::SiS968, 50, Make<platform::sim::SiSHost>(std::cref(platform::sim::SiS968Family)), 0x03, -1,
     1, 0x07, {0, 1, 2, 3, Refused}, SMBusErrors::TimeoutStart, 2},
};

class EveryFamily : public HostTest, public ::testing::WithParamInterface<Family> {
protected:
    void UseFamily() {
        const Family& f = GetParam();
        auto model = f.model(segment);
        if (auto ich = std::dynamic_pointer_cast<platform::sim::IchStyleHost>(model)) ich->setAux(0x02);
        Use(model, f.hostKind, f.chipsetCode);
    }
    // The first value the program put into the protocol field.
    int ProtocolWritten() {
        const Family& f = GetParam();
        const auto port = static_cast<std::uint16_t>(Base + f.protocolPort);
        int index = -1;
        for (const auto& a : Writes()) {
            if (f.protocolIndex >= 0 && a.port == Base + 0x38) index = static_cast<int>(a.value);
            if (a.port == port && a.width == f.width && index == f.protocolIndex)
                return static_cast<int>(a.value & f.protocolMask);
        }
        return -2;
    }
};

TEST_P(EveryFamily, EncodesEachProtocol) {
    const Family& f = GetParam();
    UseFamily();
    for (std::uint8_t protocol = 0; protocol <= 4; ++protocol) {
        if (f.readCodes[protocol] == Refused) continue;
        ClearAccesses();
        EXPECT_TRUE(Transact(protocol, true, 0x05)) << "protocol " << int(protocol);
        EXPECT_EQ(ProtocolWritten(), f.readCodes[protocol]) << "protocol " << int(protocol);
    }
}

TEST_P(EveryFamily, WordsTravelHighByteFirst) {
    UseFamily();
    std::uint16_t word = 0;
    ASSERT_TRUE(link->ReadWordData(Chip, 0x06, word));
    EXPECT_EQ(word, 0x1234);
    ASSERT_TRUE(link->WriteWordData(Chip, 0x08, 0xABCD));
    EXPECT_EQ(slave->registers().peek(0x08), 0xAB);
    EXPECT_EQ(slave->registers().peek(0x09), 0xCD);
}

TEST_P(EveryFamily, AbsentControllerFailsWithinItsBound) {
    const Family& f = GetParam();
    MakeLink(f.hostKind, Base, f.chipsetCode);  // nothing claims the ports: all ones
    const std::uint64_t before = ElapsedMs();
    std::uint8_t value = 0x77;
    EXPECT_FALSE(link->Transaction(Chip, SMBusProtocols::ByteData, true, 0x05, 0, 0));
    EXPECT_EQ(link->LastError(), f.absentError);
    EXPECT_EQ(link->ZeroPollCount(), f.absentRunOuts);
    EXPECT_LE(ElapsedMs() - before, 2u) << "simulated time only, and at most the 1 ms sleeps";
    EXPECT_FALSE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x77);
}

INSTANTIATE_TEST_SUITE_P(Hosts, EveryFamily, ::testing::ValuesIn(Families),
                         [](const ::testing::TestParamInfo<Family>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// ULi and SiS96x hosts refuse blocks before any port is touched.
class RefusedBlocks : public HostTest, public ::testing::WithParamInterface<int> {};

TEST_P(RefusedBlocks, TouchNoPort) {
    const Family& f = Families[GetParam()];
    Use(f.model(segment), f.hostKind, f.chipsetCode);
    TSMBBlockData block{0xEE};
    EXPECT_FALSE(link->ReadBlock(Chip, block));
    EXPECT_EQ(link->LastError(), SMBusErrors::UnsupportedProtocol);
    EXPECT_EQ(block, TSMBBlockData{0xEE});
    EXPECT_FALSE(link->WriteBlock(Chip, {1, 2}));
    EXPECT_EQ(link->LastError(), SMBusErrors::UnsupportedProtocol);
    EXPECT_TRUE(Accesses().empty());
}

INSTANTIATE_TEST_SUITE_P(Hosts, RefusedBlocks, ::testing::Values(3, 10),  // Uli, SiS968
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(Families[info.param].name); });

// A board with an ICH host behind its PCI function, driven the way the
// program runs it: a registered chip, bracketed access, retries.
class BoardHost : public HwTest {};

TEST_F(BoardHost, LinkReadsTheBoardsChipsThroughTheHostRegisters) {
    machine().loadFromJson(R"({
      "pci": [{"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086", "deviceId": "0x27DA",
               "registers": {"0x20": "0x01", "0x21": "0x04"}}],
      "smbus": [{"name": "ich", "family": "Intel", "pci": "00:1F.3", "aux": "0x00",
                 "timing": {"busyReads": 3},
                 "slaves": [{"address": "0x2D", "registers": {"0x20": "0x5A", "0x21": "0x01"}},
                            {"address": "0x50", "block": "0A 0B 0C 0D",
                             "fault": {"kind": "collision", "times": 2}}]}]
    })", "board.json");
    IOPort = std::make_unique<TIOPort>();
    TLink link(62, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0);  // ICH7, buffer off: byte by byte
    link.RegisterAddress(0x2D);
    link.RegisterAddress(0x50);
    std::vector<std::string> log;
    link.SetOnLog([&](TLink&, const std::string& msg) { log.push_back(msg); });

    link.BeginAccess();
    std::uint8_t value = 0;
    std::uint16_t word = 0;
    EXPECT_TRUE(link.ReadByteData(0x2D, 0x20, value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_TRUE(link.ReadWordData(0x2D, 0x20, word));
    EXPECT_EQ(word, 0x5A01);
    EXPECT_TRUE(link.WriteByteData(0x2D, 0x21, 0x7E));
    EXPECT_EQ(machine().registerFile("ich@2D")->peek(0x21), 0x7E);
    TSMBBlockData block;
    EXPECT_TRUE(link.ReadBlock(0x50, block)) << "two collisions, then a byte-by-byte block";
    EXPECT_EQ(block, (TSMBBlockData{0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_FALSE(link.IsAddressEmpty(0x2D));
    EXPECT_TRUE(link.IsAddressEmpty(0x2E));
    link.EndAccess();

    EXPECT_EQ(link.OutcomeCount(2), 1u) << "the block read took two retries";
    EXPECT_GT(link.NonZeroPollCount(), 0u);
    EXPECT_EQ(link.ZeroPollCount(), 0u);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "BLK SMB Error $50 : COLLISION (4A)");
    EXPECT_EQ(log[1], "BLK SMB Error $50 : COLLISION (4A)");
    EXPECT_NE(log[2].find("READBLK $00 to $50 on Intel (2 retries)"), std::string::npos) << log[2];
}

}  // namespace
