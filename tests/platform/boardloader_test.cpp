#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"
#include "support/badboards.h"
#include "support/testmachine.h"

using platform::sim::BoardError;
using platform::sim::Machine;
using testsupport::BadBoard;

namespace {

const char* const goodBoard = R"({
  "note": "a small desktop",
  "os": {"major": 6, "minor": 1, "build": 7601, "csdVersion": "Service Pack 1", "servicePackMajor": 1,
         "productType": 1, "isWow64": true, "note": "seven"},
  "windowsDir": "D:\\WIN",
  "locale": {"shortDateFormat": "dd.mm.yyyy", "decimalSeparator": ",", "dateSeparator": "."},
  "clock": {"virtual": true, "start": "2025-12-31T23:59:59", "utcOffsetMinutes": -300},
  "registry": {"\\Software\\Caldavor": {"Lang": "NL", "Count": 4294967295, "note": "preset"},
               "\\Software\\Caldavor\\Empty": {}},
  "isaDevices": [
    {"name": "superio", "indexPort": "0x2E", "dataPort": "0x2F",
     "registers": {"0x20": "0xB4", "0x21": {"value": "0xF0", "writeMask": "0x0F"},
                   "0x22": {"script": ["0x01", "0x02"]}, "0x23": {"counter": {"start": "0xFF", "step": 2}},
                   "0x24": {"value": "0x81", "clearOnRead": "0x80"}}},
    {"name": "ec", "basePort": "0x62", "size": 5, "registers": {"0x04": "0x3C"}, "note": "mailbox"}
  ]
})";

std::uint8_t readIndexed(Machine& m, std::uint8_t reg) {
    m.ports().write(0x2E, 1, reg);
    return static_cast<std::uint8_t>(m.ports().read(0x2F, 1));
}

}  // namespace

TEST(BoardLoader, GoodBoardFillsEverySection) {
    Machine m(false);
    m.loadFromJson(goodBoard, "good.json");

    const auto os = m.osVersion();
    EXPECT_EQ(os.major, 6u);
    EXPECT_EQ(os.minor, 1u);
    EXPECT_EQ(os.build, 7601u);
    EXPECT_EQ(os.platformId, 2u);  // not given: stays NT
    EXPECT_EQ(os.csdVersion, "Service Pack 1");
    EXPECT_EQ(os.servicePackMajor, 1);
    EXPECT_TRUE(os.isWow64);
    EXPECT_EQ(m.windowsDir(), "D:\\WIN");

    const auto locale = m.locale();
    EXPECT_EQ(locale.shortDateFormat, "dd.mm.yyyy");
    EXPECT_EQ(locale.longTimeFormat, "hh:nn:ss");  // not given
    EXPECT_EQ(locale.decimalSeparator, ',');
    EXPECT_EQ(locale.dateSeparator, '.');

    ASSERT_TRUE(m.simClock().isVirtual());
    m.simClock().advance(1500);
    const auto now = m.clock().localNow();
    EXPECT_EQ(now.year, 2026);
    EXPECT_EQ(now.month, 1);
    EXPECT_EQ(now.day, 1);
    EXPECT_EQ(now.second, 0);
    EXPECT_EQ(now.millisecond, 500);
    EXPECT_EQ(now.utcOffsetMinutes, -300);  // kept as the clock moves on

    auto& reg = m.registry();
    EXPECT_EQ(reg.readString("\\Software\\Caldavor", "lang"), "NL");
    EXPECT_EQ(reg.readInteger("\\Software\\Caldavor", "Count"), 0xFFFFFFFFu);
    EXPECT_FALSE(reg.readString("\\Software\\Caldavor", "note"));
    EXPECT_TRUE(reg.keyExists("\\Software\\Caldavor\\Empty"));
}

TEST(BoardLoader, IsaDevicesAnswerOnTheirPortsWithTheirBehaviours) {
    Machine m;
    m.loadFromJson(goodBoard, "good.json");
    EXPECT_EQ(readIndexed(m, 0x20), 0xB4);

    m.ports().write(0x2E, 1, 0x21);
    m.ports().write(0x2F, 1, 0xAB);
    EXPECT_EQ(readIndexed(m, 0x21), 0xFB);  // only the low nibble is writable

    EXPECT_EQ(readIndexed(m, 0x22), 0x01);
    EXPECT_EQ(readIndexed(m, 0x22), 0x02);
    EXPECT_EQ(readIndexed(m, 0x22), 0x02);
    EXPECT_EQ(readIndexed(m, 0x23), 0xFF);
    EXPECT_EQ(readIndexed(m, 0x23), 0x01);
    EXPECT_EQ(readIndexed(m, 0x24), 0x81);
    EXPECT_EQ(readIndexed(m, 0x24), 0x01);

    EXPECT_EQ(m.ports().read(0x66, 1), 0x3Cu);
    EXPECT_FALSE(m.ports().isClaimed(0x67));
    ASSERT_TRUE(m.registerFile("ec"));
    EXPECT_EQ(m.registerFile("ec")->peek(0x04), 0x3C);
    EXPECT_FALSE(m.registerFile("none"));
}

TEST(BoardLoader, EmptyBoardKeepsTheDefaults) {
    Machine m;
    m.loadFromJson("{}", "empty.json");
    EXPECT_EQ(m.osVersion().major, 10u);
    EXPECT_EQ(m.windowsDir(), "C:\\WINDOWS");
    EXPECT_TRUE(m.simClock().isVirtual());
}

namespace {

const BadBoard badLoaderBoards[] = {
    {"{\"os\": ", "bad.json: not valid JSON: "},
    {R"({"os": {"major": 1e400}})", "bad.json: not valid JSON: number overflow"},
    {"[]", "bad.json: /: expected an object"},
    {R"({"bogus": {}})", R"(bad.json: /bogus: unknown section, expected one of "os", )"},
    {R"({"note": 1})", "bad.json: /note: expected a string"},
    {R"({"os": {"major": "10"}})", "bad.json: /os/major: expected an integer from 0 to 4294967295"},
    {R"({"os": {"servicePackMajor": 65536}})", "/os/servicePackMajor: expected an integer from 0 to 65535"},
    {R"({"os": {"productType": 4}})", "/os/productType: expected an integer from 1 to 3"},
    {R"({"os": {"majr": 10}})", R"(/os/majr: unknown field, expected one of "major", "minor")"},
    {R"({"os": {"isWow64": 1}})", "/os/isWow64: expected true or false"},
    {R"({"os": []})", "/os: expected an object"},
    {R"({"windowsDir": ""})", "/windowsDir: expected a non-empty string"},
    {R"({"locale": {"decimalSeparator": ",,"}})", "/locale/decimalSeparator: expected a string of one character"},
    {R"({"clock": {"start": "2026-02-30T10:00:00"}})", R"(/clock/start: expected a local time like "2026-01-15T10:00:00")"},
    {R"({"clock": {"start": "2026-01-15 10:00:00"}})", "/clock/start: expected a local time"},
    {R"({"clock": {"virtual": "yes"}})", "/clock/virtual: expected true or false"},
    {R"({"registry": {"K": {"v": 1.5}}})", "/registry/K/v: expected a string or an integer"},
    {R"({"registry": {"K": {"v": -1}}})", "/registry/K/v: expected an integer from 0 to 4294967295"},
    {R"({"registry": {"a/b~c": {"v": []}}})", "/registry/a~1b~0c/v: expected a string or an integer"},
    {R"({"registry": {"\\": {}}})", "/registry/\\: expected a key name"},
    {R"({"registry": {"K": "v"}})", "/registry/K: expected an object"},
    {R"({"isaDevices": {}})", "/isaDevices: expected an array"},
    {R"({"isaDevices": [{"name": "a", "indexPort": "2E", "dataPort": "0x2F"}]})",
     R"(bad.json: /isaDevices/0/indexPort: expected a hex string like "0x2E")"},
    {R"({"isaDevices": [{"name": "a", "indexPort": "0x2E"}]})",
     R"(/isaDevices/0/dataPort: missing, expected a hex string like "0x2F")"},
    {R"({"isaDevices": [{"name": "a", "indexPort": "0x10000", "dataPort": "0x2F"}]})",
     "/isaDevices/0/indexPort: expected a hex string no larger than 0xFFFF"},
    {R"({"isaDevices": [{"name": "a", "indexPort": "0x2E", "dataPort": "0x2E"}]})",
     "/isaDevices/0/dataPort: expected a port other than the index port"},
    {R"({"isaDevices": [{"name": "a"}]})",
     R"(/isaDevices/0: expected "indexPort" and "dataPort", or "basePort" and "size")"},
    {R"({"isaDevices": [{"indexPort": "0x2E", "dataPort": "0x2F"}]})",
     "/isaDevices/0/name: missing, expected a non-empty string"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 0}]})",
     "/isaDevices/0/size: expected an integer from 1 to 256"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0xFFF0", "size": 32}]})",
     "/isaDevices/0/size: expected a range that ends by port 0xFFFF"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 8, "bank": 1}]})",
     R"(/isaDevices/0/bank: unknown field, expected one of "name", "basePort", "size", "registers")"},
    {R"({"isaDevices": [{"name": "a", "indexPort": "0x2E", "dataPort": "0x2F"},
                        {"name": "a", "indexPort": "0x4E", "dataPort": "0x4F"}]})",
     "/isaDevices/1/name: expected a name no other device has"},
    {R"({"isaDevices": [{"name": "a", "indexPort": "0x2E", "dataPort": "0x2F"},
                        {"name": "b", "basePort": "0x2F", "size": 2}]})",
     "bad.json: /isaDevices/1: ports 0x2F-0x30 (b) overlap ports 0x2E-0x2F (a)"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 8, "registers": {"0x100": "0x00"}}]})",
     R"(/isaDevices/0/registers/0x100: expected a register number like "0x20" as the name)"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 8, "registers": {"0x20": "0x1FF"}}]})",
     "/isaDevices/0/registers/0x20: expected a hex string no larger than 0xFF"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 8, "registers": {"0x20": 82}}]})",
     R"(/isaDevices/0/registers/0x20: expected a hex string like "0x52" or an object)"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 8,
                         "registers": {"0x20": {"script": ["0x01"], "counter": {}}}}]})",
     R"(/isaDevices/0/registers/0x20: expected at most one of "script", "counter", "perSecond", "temperature" and "fanSpeed")"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 8, "registers": {"0x20": {"script": []}}}]})",
     "/isaDevices/0/registers/0x20/script: expected at least one value"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0x290", "size": 8,
                         "registers": {"0x20": {"counter": {"step": 0}}}}]})",
     "/isaDevices/0/registers/0x20/counter/step: expected an integer from 1 to 255"},
};

}  // namespace

TEST(BoardLoader, MalformedBoardsAreRefusedSayingWhereAndWhy) {
    testsupport::expectRefused(badLoaderBoards);
}

TEST(BoardLoader, FileErrorsNameTheFile) {
    testsupport::TempDir dir;
    const std::string missing = dir.file("missing.json");
    try {
        Machine().loadFromFile(missing);
        ADD_FAILURE() << "accepted";
    } catch (const BoardError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(missing + ": cannot open the board file", 0), 0u) << e.what();
    }

    const std::string board = dir.file("board.json");
    testsupport::writeFile(board, R"({"windowsDir": 3})");
    try {
        Machine().loadFromFile(board);
        ADD_FAILURE() << "accepted";
    } catch (const BoardError& e) {
        EXPECT_EQ(std::string(e.what()), board + ": /windowsDir: expected a non-empty string");
    }
}

TEST(BoardLoader, OnlyRegularFilesOfASaneSizeAreRead) {
    testsupport::TempDir dir;
    const std::string fifo = dir.file("board.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.file("big.json");
    testsupport::writeFile(big, "{}");
    ASSERT_EQ(::truncate(big.c_str(), (64 << 20) + 1), 0);  // sparse: no disk used
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {dir.file(""), dir.file("") + ": cannot read the board file: not a regular file"},
        {fifo, fifo + ": cannot read the board file: not a regular file"},
        {"/dev/zero", "/dev/zero: cannot read the board file: not a regular file"},
        {big, big + ": the board file is larger than 64 MB"},
    };
    for (const auto& c : cases) {
        try {
            Machine().loadFromFile(c.path);
            ADD_FAILURE() << c.path << " accepted";
        } catch (const BoardError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}
