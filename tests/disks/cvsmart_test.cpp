#include <gtest/gtest.h>

#include "disks/cvsmart.h"
#include "diskfixture.h"

using namespace diskfixture;
namespace disk = platform::disk;

TEST(SmartIdentity, ModelPrefixesDecideTheSecondSwap) {
    const struct {
        std::string model, firmware, serial;
        std::string wantModel, wantFirmware, wantSerial;
        bool swapped;
    } cases[] = {
        {"Maxtor 6Y080M0 ", "YAR41BW0", "Y2ABCDEF  ", "Maxtor 6Y080M0", "YAR41BW0", "Y2ABCDEF", false},
        {"DW CDW0500AASK0-V0A1 0", "500.D150", "DWW-ACFW214365 7", "WDC WD5000AAKS-00V1A0", "05.01D05",
         "WD-WCAWF1234567", true},
        {"maxtor 6Y080M0", "fw", "sn ", "maxtor 6Y080M0", "fw", "sn", false},
        {"Unknown Brand X  ", "1.0 ", "ABC", "Unknown Brand X", "1.0", "ABC", false},
    };
    for (auto c : cases) {
        EXPECT_EQ(FixDriveNameByteSwap(c.model, c.firmware, c.serial), c.swapped) << c.wantModel;
        EXPECT_EQ(c.model, c.wantModel);
        EXPECT_EQ(c.firmware, c.wantFirmware);
        EXPECT_EQ(c.serial, c.wantSerial);
    }
    EXPECT_FALSE(HasKnownModelPrefix("maxtor"));
    EXPECT_TRUE(HasKnownModelPrefix("MAXTOR 7"));
}

TEST(SmartIdentity, OddLengthsPairTheLastCharacterWithABlank) {
    EXPECT_EQ(SwapStringPairs("ABCDEFG"), "BADCFE G");
    EXPECT_EQ(SwapStringPairs("AB"), "BA");
    EXPECT_EQ(SwapStringPairs(""), "");
    std::vector<std::uint8_t> buffer = bytes({1, 2, 3, 4, 5});
    SwapBytePairs(buffer);
    EXPECT_EQ(buffer, bytes({2, 1, 4, 3, 5}));
}

TEST(SmartAttributes, NamesComeFromTheTableWithADefault) {
    EXPECT_EQ(SmartAttributeName(194), "Temperature");
    EXPECT_EQ(SmartAttributeName(231), "Temperature");
    EXPECT_EQ(SmartAttributeName(5), "Reallocated Sector Count");
    EXPECT_EQ(SmartAttributeName(513), "Fitness");
    EXPECT_EQ(SmartAttributeName(514), "Performance");
    EXPECT_EQ(SmartAttributeName(210), "Unknown Attribute");
}

TEST(SmartAttributes, ThresholdsFromAttributesCarryIdsAndAValidChecksum) {
    TSmartPage attributes, thresholds;
    EXPECT_EQ(SmartPageChecksum(attributes.data()), 0u);  // all zero passes
    thresholds.bytes[0] = 0x5A;                             // the header is kept
    thresholds.bytes[TSmartPage::HeaderSize + 100] = 7;     // data is cleared
    auto data = attributes.data();
    data[0] = 0x10;
    data[SmartEntryOffset(0)] = 194;
    data[SmartEntryOffset(29)] = 5;
    data[SmartEntryOffset(0) + 3] = 100;
    EXPECT_TRUE(ThresholdsFromAttributes(attributes, thresholds));
    EXPECT_EQ(thresholds.bytes[0], 0x5A);
    EXPECT_EQ(thresholds.data()[0], 0x10);
    EXPECT_EQ(SmartThresholdEntry(thresholds.data(), 0).id, 194);
    EXPECT_EQ(SmartThresholdEntry(thresholds.data(), 0).threshold, 0);
    EXPECT_EQ(SmartThresholdEntry(thresholds.data(), 29).id, 5);
    EXPECT_EQ(thresholds.data()[100], 0);
    EXPECT_EQ(SmartPageChecksum(thresholds.data()) & 0xFF, 0u);
}

namespace {

std::array<std::uint8_t, 512> identifyWith(std::initializer_list<std::pair<int, std::uint16_t>> words) {
    std::array<std::uint8_t, 512> data{};
    for (auto [w, v] : words) {
        data[2 * w] = static_cast<std::uint8_t>(v);
        data[2 * w + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return data;
}

}  // namespace

class SmartRoutines : public DiskTest {};

TEST_F(SmartRoutines, DriveSizeFromIdentifyOrGeometryOnNT) {
    const auto small = identifyWith({{60, 0x5678}, {61, 0x0012}});
    EXPECT_EQ(GetDriveSize(nullptr, small), std::uint64_t{0x125678} * 512);
    const auto big = identifyWith({{60, 0xFFFF}, {61, 0x0FFF}, {83, 0x0400}, {100, 0x6DB0}, {101, 0x3A38}, {102, 1}});
    EXPECT_EQ(GetDriveSize(nullptr, big), (std::uint64_t{1} << 32 | 0x3A386DB0) * 512);
    EXPECT_EQ(GetDriveSize(nullptr, identifyWith({})), 0u);

    loadDisk(R"("geometry": {"cylinders": 60801, "tracksPerCylinder": 255, "sectorsPerTrack": 63, "bytesPerSector": 512},
                "physical": {"drive": 0})");
    auto drive = OpenSmartDrive(0);
    ASSERT_TRUE(drive);
    EXPECT_EQ(GetDriveSize(drive.get(), small), std::uint64_t{60801} * 255 * 63 * 512);
    EXPECT_EQ(GetDriveSize(drive.get(), identifyWith({})), std::uint64_t{60801} * 255 * 63 * 512);

    auto os = machine->osVersion();
    os.platformId = 1;
    machine->setOsVersion(os);
    EXPECT_EQ(GetDriveSize(drive.get(), small), std::uint64_t{0x125678} * 512);
}

TEST_F(SmartRoutines, ADiskKnownBySectorsAnswersWholeCylinders) {
    loadDisk(R"("physical": {"drive": 0})");  // 976773168 sectors
    auto drive = OpenSmartDrive(0);
    ASSERT_TRUE(drive);
    // 976773168 / (255 x 63) = 60801 cylinders, 5103 sectors left out.
    EXPECT_EQ(GetDriveSize(drive.get(), identifyWith({})), std::uint64_t{60801} * 255 * 63 * 512);
}

TEST_F(SmartRoutines, ClassicRoutinesSendTheTaskFilesByDriveNumber) {
    loadDisk(R"("physical": {"drive": 1})");
    auto drive = OpenSmartDrive(1);
    ASSERT_TRUE(drive);
    EXPECT_FALSE(OpenSmartDrive(0));
    TSmartPage page;
    ASSERT_TRUE(SmartIdentifyDrive(*drive, 0xEC, 1, page));
    auto identity = ReadDriveIdentity(page.data());
    EXPECT_EQ(identity.model, "WDC WD5000AAKS-00V1A0");
    EXPECT_EQ(identity.firmware, "05.01D05");
    EXPECT_EQ(identity.serial, "WD-WCAWF1234567");
    EXPECT_FALSE(identity.swapped);
    ASSERT_TRUE(SmartReadData(*drive, 1, page));
    EXPECT_EQ(SmartAttributeEntry(page.data(), 2).id, 194);
    EXPECT_EQ(SmartAttributeEntry(page.data(), 2).raw[0], 0x27);
    EXPECT_EQ(SmartPageChecksum(page.data()) & 0xFF, 0u);
    ASSERT_TRUE(SmartEnableOperations(*drive, 1, true));

    const auto received = requests(disk::SmartRcvDriveData);
    ASSERT_EQ(received.size(), 2u);
    // Buffer size 512, the register image with device B0h (odd drive), the drive number.
    EXPECT_EQ(received[0].input, bytes({0x00, 0x02, 0, 0, 0x00, 0x01, 0x01, 0x00, 0x00, 0xB0, 0xEC, 0x00, 1, 0, 0, 0,
                                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(received[0].outputSize, 528u);
    EXPECT_EQ(slice(received[1].input, 4, 8), bytes({0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xB0, 0xB0, 0x00}));
    const auto sent = requests(disk::SmartSendDriveCommand);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(slice(sent[0].input, 0, 12), bytes({0, 0, 0, 0, 0xD8, 0x01, 0x01, 0x4F, 0xC2, 0xB0, 0xB0, 0x00}));
    EXPECT_EQ(sent[0].outputSize, 16u);
}

TEST_F(SmartRoutines, RefusedThresholdsAreMadeFromTheAttributes) {
    loadDisk(R"("refuse": ["thresholds"], "physical": {"drive": 0})");
    auto drive = OpenSmartDrive(0);
    TSmartPage page;
    ASSERT_TRUE(SmartReadThresholds(*drive, 0, page));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(SmartThresholdEntry(page.data(), i).threshold, 0);
    EXPECT_EQ(SmartThresholdEntry(page.data(), 2).id, 194);
    EXPECT_EQ(SmartPageChecksum(page.data()) & 0xFF, 0u);
}

TEST_F(SmartRoutines, FailedRoutinesLeaveTheirOutputCleared) {
    loadDisk(R"("physical": {"drive": 0}, "fault": {"kind": "garbage"})");
    auto drive = OpenSmartDrive(0);
    disks().pathFault("\\\\.\\PhysicalDrive0") = {platform::sim::SimDiskFault::Kind::Fail, -1};
    TSmartPage page;
    page.bytes.fill(0x77);
    EXPECT_FALSE(SmartReadData(*drive, 0, page));
    EXPECT_EQ(SmartPageChecksum(page.data()), 0u);
    EXPECT_FALSE(SmartReadThresholds(*drive, 0, page));
    disk::GetVersionInParams version;
    EXPECT_FALSE(GetSmartVersion(*drive, version));
}

TEST_F(SmartRoutines, Windows9xOpensTheSmartDriver) {
    auto os = machine->osVersion();
    os.platformId = 1;
    machine->setOsVersion(os);
    bool opened = false;
    machine->addDevice("\\\\.\\SMARTVSD", [&]() -> std::unique_ptr<platform::Device> {
        opened = true;
        return nullptr;
    });
    OpenSmartDrive(3);
    EXPECT_TRUE(opened);
}

TEST_F(SmartRoutines, ByteSwappedDriveStringsAreRestored) {
    loadDisk(R"("swappedStrings": true, "physical": {"drive": 0})");
    auto drive = OpenSmartDrive(0);
    TSmartPage page;
    ASSERT_TRUE(SmartIdentifyDrive(*drive, 0xEC, 0, page));
    const auto identity = ReadDriveIdentity(page.data());
    EXPECT_TRUE(identity.swapped);
    EXPECT_EQ(identity.model, "WDC WD5000AAKS-00V1A0");
    EXPECT_EQ(identity.firmware, "05.01D05");
    EXPECT_EQ(identity.serial, "WD-WCAWF1234567");
}
