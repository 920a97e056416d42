#pragma once
// A simulated SMBus behind a protocol-level host, links in the global list,
// and a report whose progress list is recorded.

#include <memory>
#include <string>
#include <vector>

#include "core/cvsensors.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hw/hwfixture.h"
#include "platform/sim/smbussegment.h"
#include "report/cvreport.h"
#include "support/simsmbushost.h"

namespace reporttest {

class TRecordingProgress : public TReportProgress {
public:
    void InsertFirst(const std::string& text) override { items.insert(items.begin(), text); }
    void ReplaceFirst(const std::string& text) override {
        if (items.empty()) items.push_back(text);
        else items.front() = text;
        log.push_back("replace " + text);
    }
    void ProcessMessages() override { ++pumps; }
    std::vector<std::string> items;
    std::vector<std::string> log;
    int pumps = 0;
};

// A chip with one temperature, a chosen chip code and a debug text.
class TDumpSensor : public TSensor {
public:
    TDumpSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, std::string debug = {})
        : TSensor(link, address, chipCode, {}, "", "", ""), debug_(std::move(debug)) {
        FChipName = "Chip";
        FTemps.resize(1);
        FTemps[0].Name = "CPU";
        FinishReadingSetup();
    }

protected:
    std::string GetDebugInfoInternal() override { return debug_; }

private:
    std::string debug_;
};

class ReportTest : public HwTest {
protected:
    ReportTest() {
        IOPort = std::make_unique<TIOPort>();
        Links().clear();
    }
    ~ReportTest() override { Links().clear(); }

    TLink& AddSMBusLink(std::uint8_t hostKind = HostKinds::Intel, std::uint32_t base = 0x400) {
        Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, hostKind, base, 0,
                                                  testsupport::SimProtocolHost::On(*segment)));
        return *Links().back();
    }
    platform::sim::SMBusSlave& AddSlave(std::uint8_t address) {
        auto slave = std::make_shared<platform::sim::SMBusSlave>();
        segment->attach(address, slave);
        return *slave;
    }
    static void FailAll(platform::sim::SMBusSlave& slave) {
        for (int reg = 0; reg < 256; ++reg)
            slave.registers().setFault(static_cast<std::uint8_t>(reg), {platform::sim::RegisterFault::Kind::Fail, -1});
    }
    std::vector<std::string> Lines() const { return testsupport::splitLines(report.Text(), "\r\n"); }
    bool HasLine(const std::string& line) const {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::shared_ptr<platform::sim::SMBusSegment> segment = std::make_shared<platform::sim::SMBusSegment>();
    TRecordingProgress progress;
    TReport report{progress};
};

}  // namespace reporttest
