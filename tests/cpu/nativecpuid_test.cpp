#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "cpu/cxcpu40.h"
#include "cpu/noscpuidmsr.h"
#include "cpu/noscpuusage.h"
#include "hw/cvosinfo.h"
#include "platform/linux/nativeplatform.h"

namespace {

// /proc/cpuinfo as one map of fields per processor number.
std::map<int, std::map<std::string, std::string>> procCpuinfo() {
    std::map<int, std::map<std::string, std::string>> cpus;
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    int current = -1;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(" \t") + 1);
        std::string value = colon + 1 < line.size() ? line.substr(colon + 2) : "";
        if (key == "processor") current = std::stoi(value);
        if (current >= 0) cpus[current][key] = value;
    }
    return cpus;
}

// Leaf `leaf` as the kernel executes it on processor `cpu`; nothing when the
// device is absent or refused (it needs root and the cpuid module).
std::optional<TCpuidResult> kernelCpuid(std::size_t cpu, std::uint32_t leaf) {
    std::ifstream in("/dev/cpu/" + std::to_string(cpu) + "/cpuid", std::ios::binary);
    if (!in || !in.seekg(leaf)) return std::nullopt;
    TCpuidResult r;
    if (!in.read(reinterpret_cast<char*>(&r), sizeof r)) return std::nullopt;
    return r;
}

unsigned sysfsL1DataKb() {
    namespace fs = std::filesystem;
    const fs::path dir = "/sys/devices/system/cpu/cpu0/cache";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        auto read = [&](const char* name) {
            std::ifstream in(entry.path() / name);
            std::string text;
            std::getline(in, text);
            return text;
        };
        if (read("level") == "1" && read("type") == "Data") return static_cast<unsigned>(std::stoul(read("size")));
    }
    return 0;
}

}  // namespace

// The real processors, without rights: what CPUID answers on each pinned
// processor agrees with what the kernel read. Some hypervisors give the kernel
// a view of its own (another brand, APIC ids in another order); there the
// brand and the APIC ids are only checked to be the same on every processor
// and distinct.
TEST(NativeCpuid, EachProcessorAgreesWithTheKernel) {
    const auto kernel = procCpuinfo();
    if (kernel.empty() || !kernel.begin()->second.contains("vendor_id")) GTEST_SKIP() << "not an x86 host";
    platform::native::NativePlatform native;
    platform::ScopedPlatform scope(native);
    ResetCpuidMsrData();
    TCpuDataRef cpus;
    GetCpuidMsrData(cpus, nullptr, {});
    const auto& first = cpus->front();
    const bool sameView = kernel.begin()->second.contains("model name") &&
                          kernel.begin()->second.at("model name") == first.BrandString;
    std::set<std::uint32_t> apicIds;
    int compared = 0;
    for (std::size_t i = 0; i < cpus->size(); ++i) {
        const auto& c = (*cpus)[i];
        const auto found = kernel.find(static_cast<int>(i));
        if (found == kernel.end() || c.Info.VendorString.empty()) continue;  // not pinnable here
        const auto& k = found->second;
        EXPECT_EQ(c.Info.VendorString, k.at("vendor_id")) << i;
        EXPECT_EQ(c.Info.Family, std::stoul(k.at("cpu family"))) << i;
        EXPECT_EQ(c.Info.FullModel, std::stoul(k.at("model"))) << i;
        EXPECT_EQ(c.Info.Stepping, std::stoul(k.at("stepping"))) << i;
        EXPECT_EQ(c.BrandString, first.BrandString) << i;
        EXPECT_TRUE(apicIds.insert(c.Info.InitialApicId).second) << "APIC id of processor " << i << " repeats";
        if (sameView && k.contains("initial apicid")) {
            EXPECT_EQ(c.Info.InitialApicId, std::stoul(k.at("initial apicid"))) << i;
        }
        EXPECT_FALSE(c.MsrsRead);
        if (const auto leaf1 = kernelCpuid(i, 1)) {
            EXPECT_EQ(c.Info.Signature, leaf1->EAX) << i;
            EXPECT_EQ(c.Info.MaxStdLeaf, kernelCpuid(i, 0)->EAX) << i;
        }
        ++compared;
    }
    EXPECT_GT(compared, 0);
    if (const unsigned l1 = sysfsL1DataKb()) {
        EXPECT_EQ(first.Info.L1Data.Size / 1024, l1);
    }
    ResetCpuidMsrData();
}

// The identification library on the real processor 0 against the kernel's view.
TEST(NativeCpuid, IdentificationLibraryAgreesWithTheKernel) {
    const auto kernel = procCpuinfo();
    if (kernel.empty() || !kernel.begin()->second.contains("vendor_id")) GTEST_SKIP() << "not an x86 host";
    const auto& k = kernel.begin()->second;
    platform::native::NativePlatform native;
    platform::ScopedPlatform scope(native);
    const TProcessorInformation cpu = TcxCpu().ProcessorInfo(0);
    EXPECT_EQ(cpu.Vendor().Signature() == k.at("vendor_id"), cpu.Vendor().Kind() != VendorUnknown);
    const std::string flags = " " + k.at("flags") + " ";
    EXPECT_EQ(cpu.Features().FeatureByName("TSC").Available().Value(), flags.find(" tsc ") != std::string::npos);
    EXPECT_EQ(cpu.Signature().Family().Value().Value(), std::stoul(k.at("cpu family")));
    EXPECT_EQ(cpu.Signature().Model().Value().Value(), std::stoul(k.at("model")));
    // Some hypervisors show the kernel a brand of their own; then the
    // processor record's brand string, read by CPUID too, is the reference.
    ResetCpuidMsrData();
    TCpuDataRef cpus;
    GetCpuidMsrData(cpus, nullptr, {});
    std::string brand = cpus->front().BrandString;
    brand.erase(0, brand.find_first_not_of(' '));
    brand.erase(brand.find_last_not_of(' ') + 1);
    ResetCpuidMsrData();
    if (!cpu.Name().LookedUp().Value()) {
        EXPECT_EQ(cpu.Name().Name(), brand);
    }
}

// Measurements of 200 ms each (the only real wait of these tests). A loaded
// host may stall the thread inside one measurement, so two in a row need only
// agree once in a few tries.
TEST(NativeCpuid, TwoClockMeasurementsAgree) {
    if (procCpuinfo().empty()) GTEST_SKIP() << "no /proc/cpuinfo";
    platform::native::NativePlatform native;
    platform::ScopedPlatform scope(native);
    double previous = TcxCpu().ProcessorInfo(0).Speed().RawMhz().Value();
    if (previous == 0) GTEST_SKIP() << "no time-stamp counter here";
    bool agreed = false;
    for (int attempt = 0; attempt < 5 && !agreed; ++attempt) {
        const double next = TcxCpu().ProcessorInfo(0).Speed().RawMhz().Value();
        agreed = std::abs(next - previous) <= previous * 0.05;
        previous = next;
    }
    EXPECT_TRUE(agreed);
}

// The usage sampler's native route: the thread, fed from /proc/stat.
TEST(NativeCpuUsage, PublishesEveryProcessorOfProcStat) {
    std::ifstream stat("/proc/stat");
    if (!stat) GTEST_SKIP() << "no /proc/stat";
    int processors = 0;
    for (std::string line; std::getline(stat, line);)
        if (line.size() > 3 && line.compare(0, 3, "cpu") == 0 && std::isdigit(static_cast<unsigned char>(line[3])))
            ++processors;
    platform::native::NativePlatform native;
    platform::ScopedPlatform scope(native);
    TCPUUsage usage;
    TNosCpuUsageSampler sampler(usage);
    sampler.Start(TNosOperatingSystem(), TNosCpuUsageSampler::ThreadStart::Manual);
    ASSERT_TRUE(sampler.UsesThread());
    sampler.Thread()->FirstSample();
    sampler.Thread()->NextSample();
    EXPECT_EQ(usage.ErrorCode, 0) << usage.ErrorText();
    EXPECT_EQ(usage.NumCPUs, std::min(processors, MaxUsageCpus));
    EXPECT_GE(usage.total, 0.0f);
    EXPECT_LE(usage.total, 100.0f);
    for (int i = 0; i < usage.NumCPUs; ++i) {
        EXPECT_GE(usage.PerCPU[static_cast<std::size_t>(i)], 0.0f) << i;
        EXPECT_LE(usage.PerCPU[static_cast<std::size_t>(i)], 100.0f) << i;
    }
}
