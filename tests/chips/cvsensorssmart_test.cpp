// The ATA disk sensors: health ratings, the temperature attribute's choice,
// the first read, the drive number of advanced disks, and a classic sensor
// on a simulated drive.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "chips/cvsensorssmart.h"
#include "chipsfixture.h"
#include "disks/cvhdfinder.h"
#include "platform/sim/machine.h"
#include "platform/sim/simdisk.h"

namespace {

struct Attr {
    int id;
    int flags;
    int value;
    int threshold;
    std::uint64_t raw = 0;
};

// An attribute page and a threshold page holding these entries in order.
std::pair<TSmartPage, TSmartPage> pages(const std::vector<Attr>& attrs) {
    TSmartPage a{}, t{};
    for (std::size_t i = 0; i < attrs.size(); ++i) {
        const auto at = SmartEntryOffset(static_cast<int>(i));
        a.data()[at] = static_cast<std::uint8_t>(attrs[i].id);
        a.data()[at + 1] = static_cast<std::uint8_t>(attrs[i].flags);
        a.data()[at + 3] = static_cast<std::uint8_t>(attrs[i].value);
        for (int b = 0; b < 6; ++b) a.data()[at + 5 + b] = static_cast<std::uint8_t>(attrs[i].raw >> (8 * b));
        t.data()[at] = static_cast<std::uint8_t>(attrs[i].id);
        t.data()[at + 1] = static_cast<std::uint8_t>(attrs[i].threshold);
    }
    return {a, t};
}

constexpr int Prefailure = 0x01;
constexpr int PerformanceFlag = 0x04;

TEST(SmartRatings, FollowTheScaleOfEachAttribute) {
    struct Case {
        const char* what;
        Attr attr;
        double fitness;
        double performance;
    };
    const Case cases[] = {
        // Reallocated sectors: E = (1000 - N) / 10, rated on 50 / 99 / 100 / 101.
        {"no reallocated sector still rates Good", {5, 0x32, 100, 36, 0}, 0.97, 1.0},
        {"six reallocated sectors rate Fair", {5, 0x32, 100, 36, 6}, 0.90, 1.0},
        {"500 reallocated sectors rate 0", {5, 0x32, 100, 36, 500}, 0.0, 1.0},
        {"99.5 goes to the even 100", {5, 0x32, 100, 36, 5}, 0.97, 1.0},
        {"98.5 goes to the even 98", {5, 0x32, 100, 36, 15}, 48.0 / 49 * 0.9, 1.0},
        {"only the low 16 bits count", {5, 0x32, 100, 36, 0x10000}, 0.97, 1.0},
        {"a pending sector rates 0", {197, 0x32, 100, 0, 1}, 0.0, 1.0},
        {"an uncorrectable sector rates 0", {198, 0x10, 100, 0, 1}, 0.0, 1.0},
        // Threshold 0: Best 100, Fair 33, Good 66 (66.5 to even).
        {"value 100 over threshold 0", {1, Prefailure, 100, 0}, 1.0, 1.0},
        {"value 99 over threshold 0", {1, Prefailure, 99, 0}, (33.0 / 34 * 3 + 97) / 100, 1.0},
        // Above 100: Best 253, Fair 118, Good 186 (185.5 to even).
        {"value above 100", {1, Prefailure, 200, 51}, (14.0 / 67 * 3 + 97) / 100, 1.0},
        {"value at its threshold", {1, Prefailure, 50, 50}, 0.0, 1.0},
        {"value and threshold both 0", {1, Prefailure, 0, 0}, 0.0, 1.0},
        {"a performance attribute", {8, PerformanceFlag, 99, 0}, 1.0, (33.0 / 34 * 3 + 97) / 100},
        {"an advisory attribute rates nothing", {1, 0, 10, 50}, 1.0, 1.0},
    };
    for (const auto& c : cases) {
        const auto [a, t] = pages({c.attr});
        const auto r = ComputeFitnessPerformance(a, t);
        EXPECT_NEAR(r.Fitness, c.fitness, 1e-12) << c.what;
        EXPECT_NEAR(r.Performance, c.performance, 1e-12) << c.what;
    }
}

TEST(SmartRatings, TheWorstAttributeWinsAndIdZeroIsSkipped) {
    const auto [a, t] = pages({{1, Prefailure, 99, 0}, {0, Prefailure, 1, 90}, {5, 0x32, 100, 36, 6}});
    EXPECT_NEAR(ComputeFitnessPerformance(a, t).Fitness, 0.90, 1e-12);
}

TEST(SmartRatings, RateSmartValueSeparatesEqualPoints) {
    EXPECT_NEAR(RateSmartValue(100, 50, 100, 99, 100), 0.97, 1e-12);       // Best moves to 101
    EXPECT_NEAR(RateSmartValue(51, 50, 51, 50, 52), 0.90, 1e-12);          // Fair 51, Good 52, Best 53
    EXPECT_NEAR(RateSmartValue(25, 0, 66, 33, 100), 25.0 / 33 * 0.9, 1e-12);
}

TEST(SmartTemperature, PrefersTheIdsInOrderAndTheLastEntryOfAnId) {
    struct Case {
        std::vector<Attr> attrs;
        double expected;
    };
    const Case cases[] = {
        {{{194, 0, 100, 0, 30}, {194, 0, 100, 0, 40}}, 40},
        {{{231, 0, 100, 0, 50}, {190, 0, 100, 0, 35}}, 35},
        {{{231, 0, 100, 0, 50}}, 50},
        {{{190, 0, 100, 0, 35}, {194, 0, 100, 0, 0}}, 0},
        {{{9, 0, 100, 0, 35}}, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSMARTTemperature(pages(c.attrs).first), c.expected);
}

TEST(SmartIdentify, TheBuiltPageReadsAsASmartCapableDrive) {
    TSmartPage page;
    page.data()[0] = 0xFF;
    BuildIdentifyPage(page, "ST3500418AS", "CC38", "9VM1ABCD", 0x123456789ull);
    const auto data = page.data();
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[54], 'T');
    EXPECT_EQ(data[55], 'S');
    EXPECT_EQ(data[54 + 39], ' ');
    const std::vector<std::pair<int, std::uint16_t>> words = {{47, 0x8001}, {50, 0x4000}, {60, 0x6789}, {61, 0x2345},
                                                              {80, 0x0008}, {82, 0x0001}, {83, 0x4000}, {85, 0x0001},
                                                              {87, 0x4000}};
    for (const auto& [word, value] : words) EXPECT_EQ(IdentifyWord(data, word), value) << word;
    auto copy = page;
    const auto id = ReadDriveIdentity(copy.data());
    EXPECT_EQ(id.model, "ST3500418AS");
    EXPECT_EQ(id.firmware, "CC38");
    EXPECT_EQ(id.serial, "9VM1ABCD");
}

// A disk of the search answering chosen pages; its attribute reads can fail.
class TFakeDisk : public TSmartHardDisk {
public:
    TFakeDisk(std::string path, std::uint8_t kind, const std::vector<Attr>& attrs) : TSmartHardDisk(std::move(path), kind) {
        BuildIdentifyPage(identify, "SAMSUNG HD103SJ", "1AJ10001", "S246J9AB", 1953525168);
        std::tie(attributes, thresholds) = pages(attrs);
    }
    int SendIDECommand(const TSmartTaskFile& task, std::uint32_t, std::span<std::uint8_t> buffer) override {
        const TSmartPage* page = task.command == platform::disk::ata::Identify ? &identify
                                 : task.features == platform::disk::ata::ReadData ? &attributes
                                                                                   : &thresholds;
        if (page == &attributes && failAttributes > 0) {
            --failAttributes;
            return DiskCommandFailed;
        }
        std::copy_n(page->data().begin(), buffer.size(), buffer.begin());
        return DiskOk;
    }
    TSmartPage identify{}, attributes{}, thresholds{};
    int failAttributes = 0;
};

class AdvSmartSensorTest : public ChipTest {
protected:
    ~AdvSmartSensorTest() override { FoundDisks.clear(); }
    TFakeDisk& addDisk(std::string path, std::uint8_t kind, const std::vector<Attr>& attrs) {
        auto disk = std::make_shared<TFakeDisk>(std::move(path), kind, attrs);
        FoundDisks.push_back(disk);
        return *disk;
    }
    std::unique_ptr<TAdvSMARTSensor> make(std::uint32_t address) {
        return CreateSensor<TAdvSMARTSensor>(nullptr, address, TAdvSMARTSensor::ChipCode, Logger(), "", "", "");
    }
};

TEST_F(AdvSmartSensorTest, DriveNumberComesFromAPhysicalDrivePathOnly) {
    struct Case {
        const char* path;
        std::uint8_t kind;
        int expected;
    };
    const Case cases[] = {
        {"\\\\.\\PhysicalDrive3", AccessPhysical, 3},   {"\\\\.\\PHYSICALDRIVE12", AccessUSB, 12},
        {"\\\\.\\Scsi1:", AccessSCSI, 2},               {"\\\\.\\PhysicalDrive3x", AccessPhysical, 2},
        {"\\\\.\\PhysicalDrive", AccessPhysical, 2},    {"\\\\.\\PHYSICALDRIVE0", Access3ware, 2},
    };
    for (const auto& c : cases) {
        FoundDisks.clear();
        addDisk("x", AccessPhysical, {});
        addDisk("y", AccessPhysical, {});
        addDisk(c.path, c.kind, {{194, 0x22, 100, 0, 40}});
        EXPECT_EQ(make(2)->GetDriveNumber(), c.expected) << c.path;
    }
}

TEST_F(AdvSmartSensorTest, NoValueUntilTheFirstReadThenEveryReadRates) {
    auto& disk = addDisk("\\\\.\\Scsi0:", AccessSCSI, {{194, 0x22, 100, 0, 41}, {5, 0x33, 100, 36, 6}});
    disk.failAttributes = 1;
    const auto sensor = make(0);
    EXPECT_FALSE(sensor->Fitness());
    EXPECT_FALSE(sensor->Performance());
    EXPECT_TRUE(sensor->AttributePage().empty());
    EXPECT_EQ(sensor->GetTempCount(), 0) << "no reading without a first read";
    EXPECT_EQ(log, std::vector<std::string>{"1 Error reading SMART attrs from drive Drive0"});
    EXPECT_EQ(sensor->Model(), "SAMSUNG HD103SJ");
    EXPECT_EQ(sensor->FDisplayName, "SAMSUNG HD103SJS246J9AB");

    std::vector<std::optional<double>> events;
    sensor->OnSmartRead = [&](const TSensor&, int drive, std::optional<double> fitness) {
        EXPECT_EQ(drive, 0);
        events.push_back(fitness);
    };
    TSmartPage a, t;
    ASSERT_TRUE(sensor->ReadSMART(a, t));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NEAR(events[0].value(), 0.90, 1e-12);
    EXPECT_EQ(sensor->AttributePage()[SmartEntryOffset(0)], 194);

    disk.failAttributes = 1;
    EXPECT_FALSE(sensor->ReadSMART(a, t));
    EXPECT_NEAR(sensor->Fitness().value(), 0.90, 1e-12) << "a failed read keeps the ratings";
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(AdvSmartSensorTest, AZeroTemperatureAtCreationStillMakesTheReading) {
    addDisk("\\\\.\\Scsi0:", AccessSCSI, {{194, 0x22, 100, 0, 0}});
    auto& disk = addDisk("\\\\.\\PhysicalDrive7", AccessPhysical, {{194, 0x22, 100, 0, 0}});
    const auto sensor = make(1);
    ASSERT_EQ(sensor->GetTempCount(), 1);
    EXPECT_EQ(sensor->GetTemp(1).Name, "HD7");
    EXPECT_EQ(sensor->GetTemp(1).Stats->FName, "Drive7 HD1") << "statistics keep the address's name";
    disk.attributes.data()[SmartEntryOffset(0) + 5] = 43;
    sensor->ReadTemps();
    EXPECT_EQ(sensor->GetTemp(1).Stats->Last(), 43);
}

TEST_F(AdvSmartSensorTest, AThreeWarePortTakesItsSizeFromItsIdentifyData) {
    addDisk("\\\\.\\PHYSICALDRIVE0", Access3ware, {{194, 0x22, 100, 0, 35}});
    const auto sensor = make(0);
    // 1953525168 sectors of 512 bytes.
    EXPECT_NEAR(sensor->SizeGB(), 1953525168.0 * 512 / 1e9, 1e-9);
    EXPECT_EQ(sensor->FChipName, "HD0 (1000.2GB)");
}

class ClassicSmartSensorTest : public ChipTest {};

TEST_F(ClassicSmartSensorTest, ReadsItsDriveThroughTheSmartCodes) {
    machine().loadFromJson(R"({"disks": {"d": {"model": "ST3500418AS", "firmware": "CC38", "serial": "9VM1ABCD",
        "sectors": 976773168, "lba48": true,
        "geometry": {"cylinders": 60801, "tracksPerCylinder": 255, "sectorsPerTrack": 63, "bytesPerSector": 512},
        "attributes": [{"id": 190, "flags": "0x0022", "value": 64, "raw": "0x24"},
                       {"id": 197, "flags": "0x0012", "value": 100, "raw": "0x1"}],
        "thresholds": [45, 0], "temperature": [36, 38], "physical": {"drive": 2}}}})", "test.json");
    const auto sensor = CreateSensor<TSMARTSensor>(nullptr, 2, TSMARTSensor::ChipCode, Logger(), "", "", "");
    EXPECT_EQ(sensor->FChipName, "HD2 (500.1GB)");
    EXPECT_EQ(sensor->FDisplayName, "ST3500418AS9VM1ABCD");
    EXPECT_EQ(sensor->Firmware(), "CC38");
    ASSERT_EQ(sensor->GetTempCount(), 1);
    EXPECT_EQ(sensor->GetTemp(1).Name, "HD2");
    EXPECT_EQ(sensor->GetTemp(1).Stats->FName, "HD2 (500.1GB) HD2");
    EXPECT_EQ(sensor->Fitness().value(), 0.0) << "one pending sector";
    sensor->ReadTemps();
    EXPECT_EQ(sensor->GetTemp(1).Stats->Last(), 38);
    // NT sends every command to drive number 0 of the drive's handle.
    for (const auto& r : machine().disks().recorder()) {
        if (r.code != platform::disk::SmartRcvDriveData) continue;
        EXPECT_EQ(r.input[9], 0xA0);
        EXPECT_EQ(r.input[12], 0);
    }
}

}  // namespace
