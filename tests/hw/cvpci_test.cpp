#include "hw/cvpci.h"

#include <gmock/gmock.h>

#include "hwfixture.h"

using platform::sim::PortAccess;
using ::testing::ElementsAre;

namespace {

class PciTest : public HwTest {
protected:
    PciTest() {
        platform::sim::PciConfigSpace config{};
        for (int i = 0; i < 256; ++i) config[i] = static_cast<std::uint8_t>(i);
        machine().pci().addFunction({0, 31, 3}, config);
        IOPort = std::make_unique<TIOPort>();
        // Someone else's configuration cycle left an address behind.
        machine().ports().write(0xCF8, 4, 0x80001234);
        machine().ports().recorder().clear();
    }

    void addDevice(unsigned bus, unsigned device, unsigned function, std::uint16_t vendor, std::uint16_t id) {
        platform::sim::PciConfigSpace config{};
        config[0] = static_cast<std::uint8_t>(vendor);
        config[1] = static_cast<std::uint8_t>(vendor >> 8);
        config[2] = static_cast<std::uint8_t>(id);
        config[3] = static_cast<std::uint8_t>(id >> 8);
        machine().pci().addFunction({bus, device, function}, config);
    }

    const std::vector<PortAccess>& accesses() { return machine().ports().recorder().accesses(); }
};

TEST_F(PciTest, AddressPacksBusDeviceFunctionAndDwordRegister) {
    EXPECT_EQ(PCIConfigAddress(0, 31, 3, 0x42), 0x8000FB40u);
    EXPECT_EQ(PCIConfigAddress(256, 0, 0, 0), PCIConfigAddress(0, 0, 0, 0));
    EXPECT_EQ(PCIConfigAddress(1, 32, 8, 0x103), 0x80010000u);
}

TEST_F(PciTest, DwordReadSavesAndRestoresTheAddressRegister) {
    EXPECT_EQ(ReadPCIConfigDWord(0, 31, 3, 0x40), 0x43424140u);
    EXPECT_THAT(accesses(),
                ElementsAre(PortAccess{0xCF8, 4, 0x80001234, false}, PortAccess{0xCF8, 4, 0x8000FB40, true},
                            PortAccess{0xCFC, 4, 0x43424140, false}, PortAccess{0xCF8, 4, 0x80001234, true}));
}

TEST_F(PciTest, NarrowReadsPickTheirPartOfTheAlignedDword) {
    EXPECT_EQ(ReadPCIConfigWord(0, 31, 3, 0x40), 0x4140);
    EXPECT_EQ(ReadPCIConfigWord(0, 31, 3, 0x41), 0x4140);
    EXPECT_EQ(ReadPCIConfigWord(0, 31, 3, 0x42), 0x4342);
    EXPECT_EQ(ReadPCIConfigWord(0, 31, 3, 0x43), 0x4342);
    EXPECT_EQ(ReadPCIConfigByte(0, 31, 3, 0x40), 0x40);
    EXPECT_EQ(ReadPCIConfigByte(0, 31, 3, 0x43), 0x43);
    EXPECT_EQ(ReadPCIConfigDWord(0, 30, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(ReadPCIConfigWord(0, 30, 0, 2), 0xFFFF);
    EXPECT_EQ(ReadPCIConfigByte(0, 30, 0, 1), 0xFF);
    // Every access is a full dword at 0CFCh.
    for (const auto& access : accesses()) EXPECT_EQ(access.width, 4);
}

TEST_F(PciTest, ByteWriteRewritesTheWholeDwordChangingOneByte) {
    WritePCIConfigByte(0, 31, 3, 0xD2, 0x5A);
    EXPECT_EQ(ReadPCIConfigDWord(0, 31, 3, 0xD0), 0xD35AD1D0u);
    machine().ports().recorder().clear();
    WritePCIConfigWord(0, 31, 3, 0xD3, 0xBEEF);
    EXPECT_EQ(ReadPCIConfigDWord(0, 31, 3, 0xD0), 0xBEEFD1D0u);
    // The word write: a read cycle then a write cycle, each restoring 0CF8h.
    ASSERT_GE(accesses().size(), 8u);
    EXPECT_THAT(std::vector<PortAccess>(accesses().begin(), accesses().begin() + 8),
                ElementsAre(PortAccess{0xCF8, 4, 0x80001234, false}, PortAccess{0xCF8, 4, 0x8000FBD0, true},
                            PortAccess{0xCFC, 4, 0xD35AD1D0, false}, PortAccess{0xCF8, 4, 0x80001234, true},
                            PortAccess{0xCF8, 4, 0x80001234, false}, PortAccess{0xCF8, 4, 0x8000FBD0, true},
                            PortAccess{0xCFC, 4, 0xBEEFD1D0, true}, PortAccess{0xCF8, 4, 0x80001234, true}));
}

TEST_F(PciTest, FindPciDeviceKeepsTheLastMatchOfBuses0To15) {
    addDevice(0, 2, 0, 0x10DE, 0x0054);
    addDevice(3, 0, 1, 0x10DE, 0x0054);
    addDevice(16, 0, 0, 0x1002, 0x4385);
    TPCILocation location;
    ASSERT_TRUE(FindPCIDevice(0x10DE, 0x0054, location));
    EXPECT_EQ(location.Bus, 3);
    EXPECT_EQ(location.Device, 0);
    EXPECT_EQ(location.Function, 1);

    location = {7, 7, 7};
    EXPECT_FALSE(FindPCIDevice(0x1002, 0x4385, location));
    EXPECT_EQ(location.Bus, 7);
    EXPECT_EQ(location.Device, 7);
    EXPECT_EQ(location.Function, 7);
}

TEST_F(PciTest, WithoutPortAccessReadsAreAllOnesAndWritesVanish) {
    IOPort.reset();
    EXPECT_EQ(ReadPCIConfigDWord(0, 31, 3, 0), 0xFFFFFFFFu);
    WritePCIConfigByte(0, 31, 3, 0x40, 0);
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ((*machine().pci().function({0, 31, 3}))[0x40], 0x40);
}

}  // namespace
