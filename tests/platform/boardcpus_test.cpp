#include <gtest/gtest.h>

#include <string>

#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"

using platform::sim::BoardError;
using platform::sim::Machine;

namespace {

std::string loadError(const std::string& json) {
    Machine m;
    try {
        m.loadFromJson(json, "t.json");
    } catch (const BoardError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(BoardCpus, ModelsGiveLeavesApicIdsAndMsrs) {
    Machine m;
    m.loadFromJson(R"({
      "cpuModels": {"p": {"cpuid": {"0x1": {"eax": "0x6FB", "ebx": "0xFF040800"},
                                    "0x2": [{"eax": "0x2"}, {"eax": "0x3"}],
                                    "0xB/1": {"eax": "0x4", "edx": "0x77"}},
                          "msrs": {"0x1A0": "0x1", "0x17": "0x2"}, "tscMHz": 2400}},
      "cpus": [{"model": "p", "apicId": 6, "msrs": {"0x17": "unreadable", "0x10": "0x5"}, "pinnable": false},
               {"model": "p", "apicId": 7, "cpuid": {"0x1": {"eax": "0x6FD"}}}]})",
                   "t.json");
    auto& cpu0 = m.cpus().cpu(0);
    EXPECT_EQ(cpu0.cpuid.at({1, 0}).front().ebx, 0x06040800u);
    EXPECT_EQ(cpu0.cpuid.at({0xB, 1}).front().edx, 6u);
    EXPECT_FALSE(cpu0.msrs.contains(0x17));
    EXPECT_EQ(cpu0.msrs.at(0x1A0), 1u);
    EXPECT_EQ(cpu0.msrs.at(0x10), 5u);
    EXPECT_FALSE(cpu0.pinnable);
    EXPECT_EQ(cpu0.tscHz, 2400000000u);
    EXPECT_EQ(m.cpus().cpu(1).cpuid.at({1, 0}).front().eax, 0x6FDu) << "the processor's own leaf wins";

    ASSERT_EQ(m.setProcessAffinity(2), 0u);
    EXPECT_EQ(m.cpuid(2, 0).eax, 2u);
    EXPECT_EQ(m.cpuid(2, 0).eax, 3u) << "listed results answer in turn";
    EXPECT_EQ(m.cpuid(2, 0).eax, 2u);
    EXPECT_EQ(m.cpuid(0x80000000, 0).eax, 0u) << "absent leaves answer zeros";
    EXPECT_EQ(m.cpus().cpu(1).cpuidCalls.at(2), 3u);
}

TEST(BoardCpus, TheDemoBoardTakesTheCore2Model) {
    Machine m;
    m.loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    ASSERT_EQ(m.cpus().count(), 4u);
    ASSERT_EQ(m.setProcessAffinity(4), 0u);
    EXPECT_EQ(m.cpuid(1, 0).eax, 0x6FBu);
    EXPECT_EQ(m.cpuid(1, 0).ebx >> 24, 2u);
    EXPECT_EQ(*m.cpus().readMsr(0x1B), 0xFEE00800u);
    EXPECT_EQ(*m.cpus().readMsr(0x1A0), 0x850089u);
}

TEST(BoardCpus, MistakesNameThePlace) {
    EXPECT_EQ(loadError(R"({"cpus": [{"model": "nothere"}]})"),
              "t.json: /cpus/0/model: expected a processor named in \"cpuModels\"");
    EXPECT_EQ(loadError(R"({"cpuModels": {"p": {"cpuid": {"leaf1": {}}}}})"),
              "t.json: /cpuModels/p/cpuid/leaf1: expected a leaf like \"0x4\" or \"0x4/1\" as the name");
    EXPECT_EQ(loadError(R"({"cpuModels": {"p": {"cpuid": {"0x4/x": {}}}}})"),
              "t.json: /cpuModels/p/cpuid/0x4~1x: expected a leaf like \"0x4\" or \"0x4/1\" as the name");
    EXPECT_EQ(loadError(R"({"cpus": [{"apicId": 1}]})"),
              "t.json: /cpus/0/apicId: an APIC id needs a \"model\" to write it into");
    EXPECT_NE(loadError(R"({"cpus": [{"model": "missing.json:p"}]})").find("cannot open the board file"),
              std::string::npos);
}
