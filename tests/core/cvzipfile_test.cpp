#include "core/cvzipfile.h"

#include <zip.h>

#include <gtest/gtest.h>

#include "support/testmachine.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

// An archive with stored (uncompressed) members, so a test can damage their bytes.
void WriteArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, data] : members) {
        zip_source_t* source = zip_source_buffer(zip, data.data(), data.size(), 0);
        const zip_int64_t index = zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0);
        zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

class ZipMember : public ::testing::Test {
protected:
    ZipMember() {
        WriteArchive(archive, {{"configs/Board-A.cfg", "xxx Sensor board A\r\n"}, {"Board-B.cfg", "board B"}});
    }
    testsupport::TempDir dir;
    const std::string archive = dir.file("configs.zip");
    const std::string destination = dir.file("caldavorsens.cfg");
};

TEST_F(ZipMember, ResultsByCase) {
    const struct {
        std::string archive, member, destination;
        std::int32_t result;
    } cases[] = {
        {archive, "configs/Board-A.cfg", destination, ZipExtracted},
        {archive, "Board-B.cfg", destination, ZipExtracted},
        {archive, "configs/board-a.cfg", destination, ZipMemberNotFound},
        {archive, "Board-A.cfg", destination, ZipMemberNotFound},
        {dir.file("missing.zip"), "Board-B.cfg", destination, ZipCannotOpen},
        {archive, "Board-B.cfg", dir.file("no/such/folder/out.cfg"), ZipExtractFailed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtractFileFromZip(c.archive, c.member, c.destination), c.result) << c.member << " " << c.archive;
}

TEST_F(ZipMember, OverwritesAnExistingDestination) {
    writeFile(destination, "an older and longer configuration text");
    ASSERT_EQ(ExtractFileFromZip(archive, "configs/Board-A.cfg", destination), ZipExtracted);
    EXPECT_EQ(readFile(destination), "xxx Sensor board A\r\n");
}

TEST_F(ZipMember, ADamagedMemberLeavesTheDestinationAlone) {
    std::string bytes = readFile(archive);
    const auto at = bytes.find("board B");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'X';
    writeFile(archive, bytes);
    writeFile(destination, "old");
    EXPECT_EQ(ExtractFileFromZip(archive, "Board-B.cfg", destination), ZipExtractFailed);
    EXPECT_EQ(readFile(destination), "old");

    writeFile(archive, "not an archive");
    EXPECT_EQ(ExtractFileFromZip(archive, "Board-B.cfg", destination), ZipCannotOpen);
}

}  // namespace
