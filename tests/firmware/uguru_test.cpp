// The uGuru access object and the uGuru3 port protocol against the simulated
// chip: board matching and item layouts, the port sequences and the locks
// held, the bounded waits, and the sensor block's cache on virtual time.

#include "firmware/uguru.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "firmware/cvsmbios.h"
#include "hw/hwfixture.h"
#include "platform/sim/uguru.h"

namespace {

using platform::sim::PortAccess;
using platform::sim::UGuruChip;

constexpr const char* Maker = "http://www.abit.com.tw/";

class UGuruTest : public HwTest {
protected:
    UGuruTest() { IOPort = std::make_unique<TIOPort>(); }
    ~UGuruTest() override { ResetCvsmbios(); }

    // A board of `maker` and `product`; `uguru` is the chip's section, none without it.
    void LoadBoard(const std::string& maker, const std::string& product, const std::string& uguru = "") {
        std::string json = R"({"smbios": {"structures": [{"type": 2, "manufacturer": ")" + maker +
                           R"(", "product": ")" + product + R"(", "version": "1.0"}]})";
        if (!uguru.empty()) json += R"(, "uguru": )" + uguru;
        machine().loadFromJson(json + "}", "uguru-test.json");
        InitializeCvsmbios();
        recorder().clear();
    }
    // A chip installed in code, so a test can change its behaviour.
    UGuruChip& InstallChip(const std::string& maker, const std::string& product) {
        LoadBoard(maker, product);
        banks = std::make_shared<platform::sim::RegisterFile>(UGuruChip::Banks);
        chip = UGuruChip::install(machine().ports(), banks);
        return *chip;
    }

    platform::sim::Recorder& recorder() { return machine().ports().recorder(); }
    std::size_t count(const PortAccess& access) {
        const auto& all = machine().ports().recorder().accesses();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), access));
    }
    std::size_t statusReads() {
        const auto& all = machine().ports().recorder().accesses();
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [](const PortAccess& a) {
            return a.port == UGuruStatusPort && !a.isWrite;
        }));
    }
    // Writes and data-port reads, the protocol's visible steps.
    std::vector<PortAccess> steps() {
        std::vector<PortAccess> out;
        for (const auto& a : machine().ports().recorder().accesses())
            if (a.isWrite || a.port == UGuruDataPort) out.push_back(a);
        return out;
    }
    void ExpectEveryAccessUnder(const char* held, const char* notHeld) {
        ASSERT_FALSE(recorder().accesses().empty());
        for (std::size_t i = 0; i < recorder().accesses().size(); ++i) {
            EXPECT_TRUE(recorder().lockHeld(i, held)) << i;
            EXPECT_FALSE(recorder().lockHeld(i, notHeld)) << i;
        }
        EXPECT_TRUE(machine().heldMutexes().empty());
    }

    std::shared_ptr<platform::sim::RegisterFile> banks;
    std::shared_ptr<UGuruChip> chip;
};

PortAccess W(std::uint16_t port, std::uint32_t value) { return {port, 1, value, true}; }
PortAccess R(std::uint16_t port, std::uint32_t value) { return {port, 1, value, false}; }

// ---- board matching and item layouts ----------------------------------------------

struct MatchCase {
    const char* maker;
    const char* product;
    bool matched;
    const char* model;
    int generation;
};

TEST_F(UGuruTest, BoardsMatchByMakerAndModelPrefixInRowOrder) {
    const MatchCase cases[] = {
        {Maker, "AN8 32X(C51-CK804) Rev 1.0", true, "AN8 32X(C51-CK804)", 3},  // row 1 before row 10
        {Maker, "an8 ultra", true, "AN8", 1},
        {Maker, "KV8-MAX3", true, "KV8", 1},  // not "KV8 PRO"
        {Maker, "IP35 Pro", true, "IP35 Pro", 3},
        {Maker, "AG8", true, "AG8", 2},
        {"HTTP://WWW.ABIT.COM.TW/", "AB9/AB9RPO", true, "AB9/AB9RPO", 3},
        {Maker, "NOWUNUSEDAN8 32X(C51-CK804)", false, "", 0},
        {Maker, "XY9 Unknown", false, "", 0},
        {"Orvane Computer Co.", "AN8", false, "", 0},
        {"", "", false, "", 0},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(std::string(c.maker) + " / " + c.product);
        LoadBoard(c.maker, c.product);
        const TUGuru guru;
        EXPECT_EQ(guru.Matched(), c.matched);
        EXPECT_EQ(guru.Model(), c.model);
        EXPECT_EQ(guru.Generation(), c.generation);
        EXPECT_EQ(guru.GetItemCount(), c.matched ? 25 : 0);
        EXPECT_EQ(guru.BoardId(), 0xFFFF);
        EXPECT_TRUE(recorder().accesses().empty()) << "identifying the board touches no port";
        ResetCvsmbios();
    }
    EXPECT_TRUE(traced("UGURU is unable to access ABIT NOWUNUSEDAN8 32X(C51-CK804)"));
    EXPECT_TRUE(traced("UGURU found a motherboard match"));
    EXPECT_TRUE(traced("UGURU found Orvane Computer Co. AN8"));
}

void ExpectRecord(const TUGItemRecord& r, int index, const char* name, int kind, int mult, int div) {
    EXPECT_EQ(r.Index, index);
    EXPECT_STREQ(r.Name, name);
    EXPECT_EQ(r.Kind, kind);
    EXPECT_EQ(r.Multiplier, mult);
    EXPECT_EQ(r.Divisor, div);
}

TEST(UGuruTables, OlderGenerationsPlaceItemsAtTheirIndexUGuru3InListedOrder) {
    using namespace ugurutables;
    EXPECT_STREQ(Boards[13].Model, "???");
    const auto& ag8 = Items[0];
    ExpectRecord(ag8[2], 2, "NB CORE", 2, 137, 10000);
    ExpectRecord(ag8[7], 7, "<unused>", 0, 1, 1);  // a gap keeps its position as index
    ExpectRecord(ag8[16], 16, "CPU", 3, 60, 1);
    ExpectRecord(ag8[24], 24, "<unused>", 0, 1, 1);
    const auto& an8 = Items[1];
    ExpectRecord(an8[4], 5, "CPU VDDA 2.5V", 2, 20, 1000);  // the row's own order
    ExpectRecord(an8[5], 4, "NB", 2, 10, 1000);
    ExpectRecord(an8[12], 24, "CPU", 1, 1, 1);
    ExpectRecord(an8[19], 0, "<unused>", 0, 1, 1);
    const auto& an9 = Items[15];
    ExpectRecord(an9[16], 33, "NB Fan", 3, 60, 1);
    ExpectRecord(an9[18], 33, "AUX1 Fan", 3, 60, 1);  // the repeated index stays
    ExpectRecord(Items[16][24], 37, "AUX4 Fan", 3, 60, 1);  // a full row
}

// ---- port sequences and locks -------------------------------------------------------

TEST_F(UGuruTest, UGuru3ReadsTheBoardIdThenTheBlockUnderItsMutex) {
    LoadBoard(Maker, "IN9 32X MAX", R"({"banks": {"9": {"0x0A": "0x00", "0x0B": "0x19"}, "8": {"0x80": "0x11"}}})");
    TUGuru guru;
    const TMyByteArray block = guru.GetVer3SensorData();

    EXPECT_EQ(guru.BoardId(), 0x0019);
    EXPECT_TRUE(traced("Abit uGuru3 BoardId=$0019"));
    ASSERT_EQ(block.size(), 48u);
    EXPECT_EQ(block[0], 0x11);
    const std::vector<PortAccess> boardId = {
        W(0xE4, 0x20), W(0xE0, 0x10), W(0xE0, 0x00), R(0xE0, 0xAC), W(0xE4, 0x1A),
        W(0xE0, 0x09), W(0xE0, 0x0A), W(0xE0, 0x02), R(0xE0, 0x00), R(0xE0, 0x19),
        W(0xE4, 0x20), W(0xE0, 0x10), W(0xE0, 0x00), R(0xE0, 0xAC), W(0xE4, 0x1A),
        W(0xE0, 0x08), W(0xE0, 0x80), W(0xE0, 0x30), R(0xE0, 0x11)};
    const auto seen = steps();
    ASSERT_EQ(seen.size(), boardId.size() + 47);
    EXPECT_TRUE(std::equal(boardId.begin(), boardId.end(), seen.begin()));
    ExpectEveryAccessUnder(UGuruVer3MutexName, UGuruOldMutexName);
}

TEST_F(UGuruTest, AnOlderItemReadIsThreeTransactionsEachUnderTheOldMutex) {
    LoadBoard(Maker, "AG8", R"({"busyReads": 3, "banks": {"0": {"0x03": "0x80"},
                                                        "1": {"0x09": "0x11", "0x0A": "0x22", "0x0B": "0x33"}}})");
    TUGuru guru;
    TMyByteArray value, settings1, settings2;
    guru.ReadSensorItem(3, value, settings1, settings2);

    EXPECT_EQ(value, TMyByteArray{0x80});
    EXPECT_EQ(settings1, (TMyByteArray{0x11, 0x22, 0x33}));
    EXPECT_EQ(settings2, settings1);
    const std::vector<PortAccess> expected = {
        W(0xE4, 0x00), R(0xE0, 0xAC), W(0xE4, 0x21), W(0xE0, 0x03), R(0xE0, 0x80),
        W(0xE4, 0x00), R(0xE0, 0xAC), W(0xE4, 0x22), W(0xE0, 0x03), R(0xE0, 0x11), R(0xE0, 0x22), R(0xE0, 0x33),
        W(0xE4, 0x00), R(0xE0, 0xAC), W(0xE4, 0x22), W(0xE0, 0x03), R(0xE0, 0x11), R(0xE0, 0x22), R(0xE0, 0x33)};
    EXPECT_EQ(steps(), expected);
    ExpectEveryAccessUnder(UGuruOldMutexName, UGuruVer3MutexName);
}

TEST_F(UGuruTest, AFanItemUsesTheFanCommands) {
    LoadBoard(Maker, "AN7", R"({"banks": {"2": {"0x01": "0x28"}, "3": {"0x02": "0x05", "0x03": "0x06"}}})");
    TUGuru guru;
    TMyByteArray value, settings1, settings2;
    guru.ReadFanItem(1, value, settings1, settings2);
    EXPECT_EQ(value, TMyByteArray{0x28});
    EXPECT_EQ(settings2, (TMyByteArray{0x05, 0x06}));
    EXPECT_EQ(count(W(0xE4, 0x26)), 1u);
    EXPECT_EQ(count(W(0xE4, 0x27)), 2u);
}

// ---- bounds -----------------------------------------------------------------------

TEST_F(UGuruTest, WithoutAChipTheSyncEndsAfter251StatusReads) {
    LoadBoard(Maker, "IN9 32X MAX");
    TMyByteArray data{1, 2};
    const std::uint64_t before = machine().simClock().monotonicMs();
    EXPECT_EQ(UGuruRead(9, 10, 2, data), 0);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(statusReads(), 251u);
    EXPECT_EQ(recorder().accesses().size(), 251u);
    EXPECT_EQ(machine().simClock().monotonicMs() - before, 1u);
    const auto lines = trace();
    const std::vector<std::string> expected = {
        "WaitWhileBusy --> last attempt...", "WaitWhileBusy --> timeout expired ($FF)",
        "UGuruSync --> timeout in first busy wait ($FF)", "UGuruRead --> error in initial sync"};
    EXPECT_TRUE(std::search(lines.begin(), lines.end(), expected.begin(), expected.end()) != lines.end());
}

TEST_F(UGuruTest, TheHandshakeTakesItsAnswerWithinSixDataReads) {
    struct Case {
        int ackOnRead;
        bool synced;
        std::size_t dataReads;
    };
    for (const Case c : {Case{4, true, 4}, Case{6, true, 6}, Case{7, false, 6}, Case{0, false, 6}}) {
        SCOPED_TRACE(c.ackOnRead);
        UGuruChip& uguru = chip ? *chip : InstallChip(Maker, "IN9 32X MAX");
        uguru.behaviour().ackOnRead = c.ackOnRead;
        recorder().clear();
        clearTrace();
        EXPECT_EQ(UGuruSync(), c.synced);
        EXPECT_EQ(recorder().accessesTo(UGuruDataPort, UGuruDataPort).size() - 2, c.dataReads) << "two writes";
        EXPECT_EQ(traced("UGuruSync --> timeout expired ($00)"), !c.synced);
    }
}

TEST_F(UGuruTest, AReplyThatStopsAfter20BytesGives20AndNamesByte21) {
    InstallChip(Maker, "IN9 32X MAX").behaviour().replyLimit = 20;
    TMyByteArray data;
    EXPECT_EQ(UGuruRead(8, 128, 48, data), 20);
    EXPECT_EQ(data.size(), 20u);
    EXPECT_TRUE(traced("WaitForReadReady --> timeout expired ($00)"));
    EXPECT_TRUE(traced("UGuruRead --> timeout reading byte 21 ($00)"));
}

TEST_F(UGuruTest, AStuckChipEndsACommandWith255AndTheLockFree) {
    InstallChip(Maker, "AG8").behaviour().busyStuck = true;
    TUGuru guru;
    TMyByteArray reply{9};
    EXPECT_EQ(guru.SendCommand(0x21, {0}, 1, reply), TUGuru::ReplyIncomplete);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(statusReads(), 251u) << "the first wait ends at its bound";
    EXPECT_TRUE(machine().heldMutexes().empty());

    chip->behaviour() = {};
    chip->behaviour().ackOnRead = 0;
    recorder().clear();
    EXPECT_EQ(guru.SendCommand(0x21, {0}, 1, reply), TUGuru::ReplyIncomplete) << "no ACh";
    EXPECT_TRUE(machine().heldMutexes().empty());
}

TEST_F(UGuruTest, AStalledReplyGives255WithTheBytesReadAfter5000Polls) {
    InstallChip(Maker, "AG8").behaviour().replyLimit = 1;
    banks->set(0x03, 0x44, 1);
    TUGuru guru;
    TMyByteArray reply;
    EXPECT_EQ(guru.SendCommand(0x22, {1}, 3, reply), TUGuru::ReplyIncomplete);
    EXPECT_EQ(reply, TMyByteArray{0x44});
    const auto& all = recorder().accesses();
    ASSERT_EQ(all.back().port, UGuruStatusPort);
    const auto lastData = std::find_if(all.rbegin(), all.rend(), [](const PortAccess& a) {
        return a.port == UGuruDataPort && !a.isWrite;
    });
    EXPECT_EQ(lastData - all.rbegin(), 5000) << "status polls after the last byte";
    EXPECT_TRUE(machine().heldMutexes().empty());

    chip->behaviour().replyLimit = -1;
    EXPECT_EQ(guru.SendCommand(0x22, {1}, 3, reply), 3);
}

// ---- the sensor block's cache ------------------------------------------------------------

TEST_F(UGuruTest, TheBlockIsReadAtMostOncePerSecondOfVirtualTime) {
    LoadBoard(Maker, "IN9 32X MAX", R"({"banks": {"9": {"0x0B": "0x19"}}})");
    TUGuru guru;
    const auto blockReads = [this] { return count(W(0xE0, 0x08)); };
    guru.GetVer3SensorData();
    EXPECT_EQ(blockReads(), 1u);
    machine().simClock().advance(400);
    guru.GetVer3SensorData();
    EXPECT_EQ(blockReads(), 1u);
    machine().simClock().advance(800);
    guru.GetVer3SensorData();
    EXPECT_EQ(blockReads(), 2u);
    EXPECT_EQ(count(W(0xE0, 0x09)), 1u) << "the board id is read once";
}

TEST_F(UGuruTest, AShortBlockGivesZerosAndWaitsASecondBeforeTheNextRead) {
    InstallChip(Maker, "IN9 32X MAX").behaviour().replyLimit = 20;
    for (int reg = 0x80; reg < 0xB0; ++reg) banks->set(static_cast<std::uint8_t>(reg), 0x55, 8);
    TUGuru guru;
    EXPECT_EQ(guru.GetVer3SensorData(), TMyByteArray(48, 0));
    EXPECT_TRUE(traced("UGuru3 GetVer3SensorData received 20 bytes"));
    chip->behaviour().replyLimit = -1;
    machine().simClock().advance(900);
    EXPECT_EQ(guru.GetVer3SensorData(), TMyByteArray(48, 0)) << "not read again yet";
    machine().simClock().advance(200);
    EXPECT_EQ(guru.GetVer3SensorData(), TMyByteArray(48, 0x55));
}

TEST_F(UGuruTest, AFailedBoardIdIsReadAgainOnTheNextCall) {
    InstallChip(Maker, "IN9 32X MAX").behaviour().neverReady = true;
    banks->set(0x0B, 0x19, 9);
    TUGuru guru;
    guru.GetVer3SensorData();
    EXPECT_EQ(guru.BoardId(), 0xFFFF);
    EXPECT_TRUE(traced("Error reading uGuru3 BoardId"));
    chip->behaviour().neverReady = false;
    guru.GetVer3SensorData();
    EXPECT_EQ(guru.BoardId(), 0x0019);
}

}  // namespace
