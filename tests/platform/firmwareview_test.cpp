// The native firmware view's reading of /sys/firmware and its memory, on a
// stand-in folder.
#include <gmock/gmock.h>

#include <filesystem>

#include "platform/linux/firmwareview.h"
#include "support/testmachine.h"

namespace fs = std::filesystem;
using namespace platform::native;
using ::testing::ElementsAre;

namespace {

class FirmwareViewTest : public ::testing::Test {
protected:
    void put(const std::string& path, const std::string& content) {
        fs::create_directories((root.path() / path).parent_path());
        testsupport::writeFile((root.path() / path).string(), content);
    }
    // A table file whose header says `length`.
    void putAcpi(const std::string& name, std::uint32_t size, std::uint32_t length) {
        auto bytes = platform::MakeAcpiTable(name.substr(0, 4), size).bytes;
        for (int i = 0; i < 4; ++i) bytes[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
        put("sys/firmware/acpi/tables/" + name, std::string(bytes.begin(), bytes.end()));
    }
    // A 2.x entry point whose table length is `length`.
    void putSmbios(std::uint16_t length, std::size_t tableSize) {
        std::string point(31, '\0');
        point.replace(0, 4, "_SM_");
        point[5] = 31;
        point[6] = 2;
        point[7] = 4;
        point[22] = static_cast<char>(length);
        point[23] = static_cast<char>(length >> 8);
        put("sys/firmware/dmi/tables/smbios_entry_point", point);
        put("sys/firmware/dmi/tables/DMI", std::string(tableSize, '\x7F'));
    }
    platform::FirmwareTables read() {
        return readSysfsFirmwareTables((root.path() / "sys").string(), [this](const std::string& l) { lines.push_back(l); });
    }
    std::string path(const std::string& name) const { return (root.path() / "sys/firmware" / name).string(); }

    testsupport::TempDir root;
    std::vector<std::string> lines;
};

TEST_F(FirmwareViewTest, FilesWhoseHeaderDisagreesWithTheirSizeAreSkippedWithALine) {
    putSmbios(40, 41);
    putAcpi("FACP", 116, 116);
    putAcpi("SSDT10", 60, 60);
    putAcpi("SSDT2", 50, 50);
    putAcpi("OEMX", 80, 81);
    putAcpi("DSDT", 100, 100);
    const auto tables = read();
    EXPECT_FALSE(tables.smbios);
    ASSERT_TRUE(tables.acpi);
    std::vector<std::string> rsdt;
    for (const auto& t : tables.acpi->tables) rsdt.push_back(t.signature() + ":" + std::to_string(t.bytes.size()));
    EXPECT_THAT(rsdt, ElementsAre("FACP:116", "SSDT:50", "SSDT:60")) << "instances in number order";
    EXPECT_EQ(tables.acpi->dsdt->bytes.size(), 100u);
    EXPECT_THAT(lines, ElementsAre(path("dmi/tables/DMI") + ": size disagrees with the entry point, skipped",
                                   path("acpi/tables/OEMX") + ": header length disagrees with the file size, skipped"));
}

TEST_F(FirmwareViewTest, ARefusedFileGivesOneLineAndNoTables) {
    putSmbios(40, 40);
    fs::remove(root.path() / "sys/firmware/dmi/tables/DMI");
    fs::create_directories(root.path() / "sys/firmware/dmi/tables/DMI");  // opens, but read() fails
    putAcpi("FACP", 116, 116);
    const auto tables = read();
    EXPECT_FALSE(tables.smbios);
    EXPECT_FALSE(tables.acpi);
    EXPECT_THAT(lines, ElementsAre(path("dmi/tables/DMI") + ": Is a directory"));
}

TEST_F(FirmwareViewTest, TheViewAnswersWholeReadsInsideItsBlocksOnly) {
    putSmbios(40, 40);
    putAcpi("FACP", 116, 116);
    const FirmwareView view(read());
    ASSERT_FALSE(view.empty());
    std::vector<std::uint8_t> segment(platform::LegacySegmentSize);
    ASSERT_EQ(view.read(platform::LegacySegmentBase, segment), segment.size());
    EXPECT_TRUE(hasFirmwareAnchors(segment));
    std::vector<std::uint8_t> past(2);
    EXPECT_EQ(view.read(0xFFFFF, past), 0u) << "runs past the segment";
    EXPECT_EQ(view.read(0x80000, past), 0u) << "RAM the program never reads";

    std::fill(segment.begin(), segment.end(), 0);
    EXPECT_FALSE(hasFirmwareAnchors(segment));
    EXPECT_TRUE(FirmwareView({}).empty());
}

// The bytes of the table the view's RSDT lists at `index`.
std::vector<std::uint8_t> listedTable(const FirmwareView& view, std::size_t index) {
    std::vector<std::uint8_t> rsdp(20), header(platform::AcpiHeaderSize), entry(4);
    for (std::uint32_t at = platform::FirstEntryPointAddress; view.read(at, rsdp) == rsdp.size(); at += 16) {
        if (std::string(rsdp.begin(), rsdp.begin() + 8) != "RSD PTR ") continue;
        const auto dword = [](const std::vector<std::uint8_t>& b, std::size_t i) {
            return static_cast<std::uint32_t>(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | b[i + 3] << 24);
        };
        view.read(dword(rsdp, 16) + platform::AcpiHeaderSize + 4 * static_cast<std::uint32_t>(index), entry);
        view.read(dword(entry, 0), header);
        std::vector<std::uint8_t> table(dword(header, 4));
        view.read(dword(entry, 0), table);
        return table;
    }
    return {};
}

unsigned byteSum(const std::vector<std::uint8_t>& bytes) {
    unsigned sum = 0;
    for (const auto b : bytes) sum += b;
    return sum & 0xFF;
}

TEST_F(FirmwareViewTest, TablesKeepTheFirmwaresBytesAndOnlyTheDsdtPointerIsOurs) {
    auto oem = platform::MakeAcpiTable("OEMB", 64).bytes;
    oem[9] ^= 0x5A;  // a checksum the firmware got wrong
    oem[8] = 7;      // and a revision of its own
    put("sys/firmware/acpi/tables/OEMB", std::string(oem.begin(), oem.end()));
    auto facp = platform::MakeAcpiTable("FACP", 116).bytes;
    facp[40] = 0x78, facp[41] = 0x56, facp[42] = 0x34, facp[43] = 0x12;  // where the firmware keeps its DSDT
    facp[9] = static_cast<std::uint8_t>(facp[9] - 0x78 - 0x56 - 0x34 - 0x12);
    put("sys/firmware/acpi/tables/FACP", std::string(facp.begin(), facp.end()));
    putAcpi("DSDT", 100, 100);

    const FirmwareView view(read());
    EXPECT_EQ(listedTable(view, 1), oem) << "collected as the firmware wrote it, checksum and all";
    const auto laid = listedTable(view, 0);
    ASSERT_EQ(laid.size(), facp.size());
    EXPECT_EQ(byteSum(laid), 0u);
    for (std::size_t i = 0; i < facp.size(); ++i) {
        if (i != 9 && (i < 40 || i > 43)) {
            EXPECT_EQ(laid[i], facp[i]) << "byte " << i;
        }
    }
    EXPECT_NE(std::vector<std::uint8_t>(laid.begin() + 40, laid.begin() + 44),
              std::vector<std::uint8_t>(facp.begin() + 40, facp.begin() + 44));
}

}  // namespace
