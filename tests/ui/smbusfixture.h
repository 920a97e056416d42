#pragma once
// A board with an Intel-style SMBus host at 400h whose slaves show the
// dialogs' cases, reached through a real TLink, and a monitor whose board
// identity closes 4Ch and 4Fh on Intel hosts.

#include <memory>
#include <string>
#include <vector>

#include "core/coretest.h"
#include "core/cvmonitor.h"
#include "core/cvsensorsfile.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"

namespace uitest {

// 2Dh answers a quick write; 2Fh only a byte read; 50h is an SPD EEPROM;
// 4Ch would answer but is closed on this board; 69h never acknowledges;
// 68h, 73h and 77h answer (the debug walk dumps only the last two).
inline constexpr const char* SMBusBoard = R"({"smbus": [{"name": "ich", "family": "Intel", "base": "0x400",
  "slaves": [
    {"address": "0x2D", "registers": {"0x00": "0x5A", "0x01": "0x11"}},
    {"address": "0x2F", "protocols": ["byteData"]},
    {"address": "0x4C", "registers": {"0x00": "0x28"}},
    {"address": "0x50", "registers": {"0x00": "0x80", "0x02": "0x08"}},
    {"address": "0x68", "registers": {}},
    {"address": "0x69", "fault": {"kind": "nack"}},
    {"address": "0x73", "registers": {"0x07": "0x73"}},
    {"address": "0x77", "registers": {"0xFF": "0x77"}}
  ]}]})";

class SMBusFixture : public coretest::CoreTest {
protected:
    SMBusFixture() {
        IOPort = std::make_unique<TIOPort>();
        Links().clear();
        board.BoardManufacturer = "Intel Corporation";
        board.BoardProduct = "DX38BT";
        board.BoardVersion = "AAD1";
        board.BIOSVendor = "Intel Corp.";
        board.BIOSVersion = "BT38410J.86A";
        monitor.Board = &board;
    }
    ~SMBusFixture() override {
        Links().clear();
        IOPort.reset();
    }

    // Loads the board and links its host; answers the host's segment.
    platform::sim::SMBusSegment& LoadSMBusBoard(const std::string& json = SMBusBoard) {
        machine_->loadFromJson(json, "smbus fixture");
        Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0));
        auto& segment = *machine_->smbusSegment("ich");
        segment.clearRequests();
        return segment;
    }
    static void AddIsaLink() {
        Links().push_back(std::make_unique<TLink>(0, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, TSMBusHostFactory{}));
    }
    // The addresses of the requests, in order.
    static std::vector<int> Addresses(const platform::sim::SMBusSegment& segment) {
        std::vector<int> addresses;
        for (const auto& request : segment.requests()) addresses.push_back(request.address);
        return addresses;
    }

    TBoardIdentity board;
    TMonitor monitor;
};

}  // namespace uitest
