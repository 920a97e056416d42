#include "core/txtunit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/testmachine.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::uint16_t BufSize = 10240;

class TxtUnitTest : public ::testing::Test {
protected:
    std::string File(const std::string& content, const std::string& name = "t.cfg") {
        const std::string path = dir.file(name);
        testsupport::writeFile(path, content);
        return path;
    }
    static std::string ReadLine(std::uint16_t h, std::uint16_t maxLen = 10000) {
        std::array<char, 10240> buf{};
        const std::uint16_t n = TxtReadLn(h, buf, maxLen);
        return std::string(buf.data(), n);
    }
    // The readers' loop: read while not at end of file.
    static std::vector<std::string> ReadAll(std::uint16_t h) {
        std::vector<std::string> lines;
        while (!TxtEof(h)) lines.push_back(ReadLine(h));
        return lines;
    }

    testsupport::TempDir dir;
};

TEST_F(TxtUnitTest, LineEnds) {
    struct Case {
        const char* content;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"a\n\nb\n", {"a", "b"}},
        {"a\n\rb\r\rc\n", {"a", "b", "c"}},
        {"a\rb", {"a", "b"}},
        {"a\n\r\nb", {"a", "", "b"}},
        {"last line without end", {"last line without end"}},
        {"", {}},
    };
    // Small buffers make every line cross refills.
    for (std::uint16_t bufSize : {std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{3}, BufSize}) {
        for (const Case& c : cases) {
            const std::uint16_t h = TxtOpen(File(c.content), bufSize);
            ASSERT_NE(h, 0);
            EXPECT_THAT(ReadAll(h), ElementsAreArray(c.lines)) << "buffer " << bufSize << " content " << c.content;
            EXPECT_TRUE(TxtEof(h));
            TxtClose(h);
        }
    }
}

TEST_F(TxtUnitTest, EmptyFileIsAtEndRightAfterOpening) {
    const std::uint16_t h = TxtOpen(File(""), BufSize);
    ASSERT_NE(h, 0);
    EXPECT_TRUE(TxtEof(h));
    EXPECT_EQ(ReadLine(h), "");
    TxtClose(h);
}

TEST_F(TxtUnitTest, LongLineIsCutAtMaxLenAndTheRestDropped) {
    const std::uint16_t h = TxtOpen(File(std::string(12000, 'x') + "\r\nnext\r\n"), BufSize);
    std::array<char, 10240> buf{};
    EXPECT_EQ(TxtReadLn(h, buf, 10000), 10000);
    EXPECT_EQ(buf[9999], 'x');
    EXPECT_EQ(buf[10000], '\0');
    EXPECT_EQ(ReadLine(h), "next");
    EXPECT_TRUE(TxtEof(h));
    TxtClose(h);
}

TEST_F(TxtUnitTest, NeverStoresBeyondTheDestination) {
    const std::uint16_t h = TxtOpen(File("abcdefgh\nz\n"), BufSize);
    std::array<char, 4> small{};
    EXPECT_EQ(TxtReadLn(h, small, 10000), 4);
    EXPECT_EQ(std::string(small.data(), 4), "abcd");
    EXPECT_EQ(ReadLine(h), "z");
    TxtClose(h);
}

TEST_F(TxtUnitTest, PositionAndSeekReadALineAgain) {
    for (std::uint16_t bufSize : {std::uint16_t{4}, BufSize}) {
        const std::uint16_t h = TxtOpen(File("abc\r\ndefg\r\n"), bufSize);
        EXPECT_EQ(TxtPos(h), 0);
        EXPECT_EQ(ReadLine(h), "abc");
        EXPECT_EQ(TxtPos(h), 5);
        EXPECT_EQ(ReadLine(h), "defg");
        TxtSeek(h, 0);
        EXPECT_FALSE(TxtEof(h));
        EXPECT_EQ(ReadLine(h), "abc");
        TxtSeek(h, 6);
        EXPECT_EQ(ReadLine(h), "efg");
        TxtClose(h);
    }
}

TEST_F(TxtUnitTest, TenSlotsAtMostAndTheLowestFreeIsTaken) {
    const std::string path = File("x\n");
    std::vector<std::uint16_t> handles;
    for (int i = 0; i < 10; ++i) handles.push_back(TxtOpen(path, 16));
    EXPECT_THAT(handles, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9, 10));
    EXPECT_EQ(TxtOpen(path, 16), 0);
    TxtClose(4);
    EXPECT_EQ(TxtOpen(path, 16), 4);
    for (std::uint16_t h : handles) TxtClose(h);
}

TEST_F(TxtUnitTest, FilesThatDoNotOpen) {
    EXPECT_EQ(TxtOpen(dir.file("missing.cfg"), BufSize), 0);
    EXPECT_EQ(TxtOpen(dir.path().string(), BufSize), 0);
    EXPECT_EQ(TxtOpen(File("x\n"), 0), 0);
}

TEST_F(TxtUnitTest, WholeFileReadsAsItsLinesAndLeavesNoSlotTaken) {
    const auto lines = TxtReadLines(File("ab\r\n\r\ncdef\n"), 2, 3);
    ASSERT_TRUE(lines);
    EXPECT_THAT(*lines, ElementsAre("ab", "", "cde"));
    EXPECT_FALSE(TxtReadLines(dir.file("missing.cfg"), BufSize, 10000));
    EXPECT_EQ(TxtOpen(File("x\n"), 16), 1);
    TxtClose(1);
}

TEST_F(TxtUnitTest, HandlesThatAreNotOpen) {
    for (std::uint16_t h : {std::uint16_t{0}, std::uint16_t{3}, std::uint16_t{11}}) {
        EXPECT_TRUE(TxtEof(h));
        EXPECT_EQ(TxtPos(h), -1);
        EXPECT_EQ(ReadLine(h), "");
        TxtSeek(h, 0);
        TxtClose(h);
    }
}

}  // namespace
