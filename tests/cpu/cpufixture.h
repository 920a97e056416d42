#pragma once
// A simulated machine for the processor tests, with the collection's cache
// forgotten before and after each test.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cpu/noscpuidmsr.h"
#include "hw/cvdriver.h"
#include "hw/cvpci.h"
#include "support/testmachine.h"

// The note lines of a Notes text.
inline std::vector<std::string> lines(const std::string& notes) {
    return notes.empty() ? std::vector<std::string>{} : testsupport::splitLines(notes, "\r");
}

class CpuTest : public ::testing::Test {
protected:
    CpuTest() {
        ResetCpuidMsrData();
        DriverStartFlags = {};
        IOPort.reset();
    }
    ~CpuTest() override {
        ResetCpuidMsrData();
        IOPort.reset();
    }

    platform::sim::Machine& machine() { return test_.machine(); }
    platform::sim::SimCpu& cpu(unsigned index) { return machine().cpus().cpu(index); }

    void loadBoard(const std::string& name) { machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR "/") + name); }

    // The program's own route: the driver object reads the MSRs, the PCI
    // reader goes through its ports.
    void openDriver() {
        IOPort = std::make_unique<TIOPort>();
        SetMsrReader([](std::uint32_t index) { return IOPort->ReadMSR(index); });
    }
    static TPciConfigReader pciReader() {
        return [](std::uint32_t bus, std::uint32_t device, std::uint32_t function, std::uint32_t reg) {
            return ReadPCIConfigDWord(static_cast<int>(bus), static_cast<int>(device), static_cast<int>(function),
                                      static_cast<int>(reg));
        };
    }

    // Reads the machine's MSRs directly; unknown ones are all ones.
    void installMachineReader() {
        SetMsrReader([this](std::uint32_t index) {
            const auto value = machine().cpus().readMsr(index);
            return value ? *value : MsrUnread;
        });
    }

    const TNosCMCPUDataArray& collect(const TPciConfigReader& pci = {}) {
        GetCpuidMsrData(cpus_, &leaves_, pci);
        return *cpus_;
    }
    const TNosCMCPUIDDataArray& leaves() const { return *leaves_; }

    // One processor answering the leaves given, everything else zeros.
    void answer(unsigned index, std::uint32_t leaf, std::vector<platform::CpuidRegisters> results,
                std::uint32_t subleaf = 0) {
        cpu(index).cpuid[{leaf, subleaf}] = std::move(results);
    }
    void answer(unsigned index, std::uint32_t leaf, platform::CpuidRegisters r, std::uint32_t subleaf = 0) {
        answer(index, leaf, std::vector<platform::CpuidRegisters>{r}, subleaf);
    }
    // Leaf 0 with a vendor string and the highest standard leaf.
    void vendor(unsigned index, const std::string& name, std::uint32_t maxLeaf) {
        std::uint32_t w[3] = {};
        for (int i = 0; i < 12; ++i) w[i / 4] |= static_cast<std::uint32_t>(static_cast<unsigned char>(name[i])) << (8 * (i % 4));
        answer(index, 0, {maxLeaf, w[0], w[2], w[1]});
    }


private:
    testsupport::TestMachine test_;
    TCpuDataRef cpus_;
    TCpuidDataRef leaves_;
};
