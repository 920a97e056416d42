#include "cpu/adcpuusage.h"

#include "cpu/nosperfdata.h"
#include "platform/platform.h"

TAdCpuUsage::TAdCpuUsage()
    : buffer_(PerformanceBufferStart, 0), history_(std::make_unique<TProcessorIdleHistory>()) {
    const platform::OsVersion os = platform::current().osVersion();
    if (os.answer == platform::OsVersion::Answer::Fails) throw ECpuUsageError(CantGetWindowsVersion);
    isNT_ = os.platformId == 2;
}

TAdCpuUsage::~TAdCpuUsage() = default;

void TAdCpuUsage::SampleCpuCounters() {
    if (!isNT_) {
        if (!stat9x_) stat9x_ = std::make_unique<TKernelCpuUsageStat>();
        usage9x_ = stat9x_->Read();
        return;
    }
    history_->Add(ReadProcessorIdleTimes(QueryProcessorPerformanceData(buffer_, {}, {})));
}

double TAdCpuUsage::CpuUsageOf(int Index) {
    if (!isNT_) {
        if (Index != 0) throw ECpuUsageError(CpuIndexOutOfBounds);
        if (!stat9x_) SampleCpuCounters();
        return usage9x_ / 100.0;
    }
    if (history_->Count() < 0) SampleCpuCounters();
    return history_->Usage(Index);
}

void TAdCpuUsage::StopCpuCounters() {
    if (!stat9x_) return;
    stat9x_->Stop();
    stat9x_.reset();
}

namespace {
std::unique_ptr<TAdCpuUsage>& Counters() {
    static std::unique_ptr<TAdCpuUsage> counters;
    return counters;
}
}  // namespace

TAdCpuUsage& CpuUsageCounters() {
    if (!Counters()) Counters() = std::make_unique<TAdCpuUsage>();
    return *Counters();
}

void SampleCpuCounters() { CpuUsageCounters().SampleCpuCounters(); }
double CpuUsageOf(int Index) { return CpuUsageCounters().CpuUsageOf(Index); }
void StopCpuCounters() { CpuUsageCounters().StopCpuCounters(); }
void ResetCpuUsageCounters() { Counters().reset(); }
