// Which kernel driver holds a piece of the simulated machine: what its board
// says, and by default nothing.
#include <gtest/gtest.h>

#include "platform/kernelclaims.h"
#include "platform/sim/machine.h"
#include "support/badboards.h"

using platform::sim::Machine;

TEST(SimKernelClaims, NothingIsHeldUnlessTheBoardSaysSo) {
    Machine plain;
    EXPECT_EQ(plain.kernelClaims().portOwner(0, 0xFFFF), std::nullopt);
    EXPECT_EQ(plain.kernelClaims().pciOwner(0, 31, 3), std::nullopt);

    Machine held;
    held.loadFromJson(R"({"kernelDrivers": [
        {"driver": "nct6775", "ports": {"first": "0x295", "last": "0x296"}, "note": "the monitor's pair"},
        {"driver": "i801_smbus", "pci": {"bus": 0, "device": 31, "function": 3}}]})",
                      "held.json");
    auto& claims = held.kernelClaims();
    EXPECT_EQ(claims.portOwner(0x290, 0x294), std::nullopt);
    EXPECT_EQ(claims.portOwner(0x290, 0x297), "nct6775");
    EXPECT_EQ(claims.portOwner(0x296, 0x296), "nct6775");
    EXPECT_EQ(claims.portOwner(0x297, 0x2FF), std::nullopt);
    EXPECT_EQ(claims.pciOwner(0, 31, 3), "i801_smbus");
    EXPECT_EQ(claims.pciOwner(0, 31, 4), std::nullopt);
}

TEST(SimKernelClaims, MalformedEntriesAreRefusedSayingWhereAndWhy) {
    const testsupport::BadBoard boards[] = {
        {R"({"kernelDrivers": {}})", "/kernelDrivers: expected an array"},
        {R"({"kernelDrivers": [{"ports": {"first": "0x295", "last": "0x296"}}]})",
         "/kernelDrivers/0/driver: missing, expected a non-empty string"},
        {R"({"kernelDrivers": [{"driver": "x"}]})", R"(/kernelDrivers/0: expected either "ports" or "pci")"},
        {R"({"kernelDrivers": [{"driver": "x", "ports": {"first": "0x295", "last": "0x296"},
                                "pci": {"bus": 0, "device": 0, "function": 0}}]})",
         R"(/kernelDrivers/0: expected either "ports" or "pci")"},
        {R"({"kernelDrivers": [{"driver": "x", "ports": {"first": "0x296", "last": "0x295"}}]})",
         R"(/kernelDrivers/0/ports/last: expected a port no lower than "first")"},
        {R"({"kernelDrivers": [{"driver": "x", "pci": {"bus": 0, "device": 32, "function": 0}}]})",
         "/kernelDrivers/0/pci/device: expected an integer from 0 to 31"},
    };
    testsupport::expectRefused(boards);
}
