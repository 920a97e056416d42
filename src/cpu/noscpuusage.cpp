#include "cpu/noscpuusage.h"

#include <algorithm>
#include <cmath>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "cpu/nosperfdata.h"
#include "hw/cvdriver.h"
#include "hw/cvosinfo.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

constexpr int ThreadWaitLimit = 10000;
constexpr int NapsPerSample = 10;
constexpr std::uint32_t NapMs = 100;

// OS kinds of the 9x family, and the NT versions that sample without thread.
bool IsKind9x(std::uint8_t kind) { return kind == 1 || kind == 2 || kind == 3 || kind == 4 || kind == 8; }
bool SamplesWithoutThread(std::uint8_t kind) { return kind == 5 || kind == 6 || kind == 7 || kind == 11; }

float Clamped(double percent) { return static_cast<float>(percent >= 0 ? std::min(percent, 100.0) : 0.0); }

const char* const PerformanceKeys[] = {"SYSTEM\\CurrentControlSet\\Services\\PerfOS\\Performance",
                                       "SYSTEM\\CurrentControlSet\\Services\\PerfProc\\Performance"};
const std::string DisableCountersValue = "Disable Performance Counters";

}  // namespace

// ---- published values --------------------------------------------------------

std::string TCPUUsage::ErrorText() const {
    const std::lock_guard lock(errorLock_);
    return errorText_;
}

void TCPUUsage::SetError(std::int32_t code, const std::string& text) {
    const std::lock_guard lock(errorLock_);
    errorText_ = text;
    ErrorCode = code;
}

void TCPUUsage::Reset() {
    SetError(0, {});
    NumCPUs = 0;
    total = 0;
    for (auto& value : PerCPU) value = 0;
}

// ---- the thread -----------------------------------------------------------------

void TNosCpuUsageThread::Start() {
    thread_ = std::jthread([this](std::stop_token stop) { Execute(std::move(stop)); });
}

void TNosCpuUsageThread::Stop() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    thread_.join();
}

void TNosCpuUsageThread::Execute(std::stop_token stop) {
    stopped_ = false;
    FirstSample();
    while (!stop.stop_requested()) {
        NextSample();
        Nap(stop);
    }
    WriteDebugLog("TNosCpuUsageThread.execute completed.");
    stopped_ = true;
}

void TNosCpuUsageThread::FirstSample() {
    try {
        sampler_.Collect();
    } catch (const std::exception& e) {
        sampler_.published_.SetError(1, e.what());
        sampler_.published_.NumCPUs = 0;
        WriteDebugLog(Format("Error initializing NOSCPUUSAGETHREAD (%s)", {e.what()}));
    }
    initialized_ = true;
}

void TNosCpuUsageThread::NextSample() {
    if (sampler_.published_.NumCPUs <= 0) return;
    try {
        sampler_.Collect();
        failing_ = false;
    } catch (const std::exception& e) {
        if (!failing_) WriteDebugLog(Format("ERROR IN CpuUsageThread (%s)", {e.what()}));
        failing_ = true;
    }
}

void TNosCpuUsageThread::Nap(const std::stop_token& stop) {
    auto& clock = platform::current().clock();
    for (int i = 0; i < NapsPerSample && !stop.stop_requested(); ++i) clock.sleepMs(NapMs);
}

void TNosCpuUsageThread::WaitForThreadInitialization() {
    WriteDebugLog("NOSCPUUSAGE.WaitForThreadInitialization");
    auto& clock = platform::current().clock();
    int cycles = 0;
    while (!initialized_ && cycles < ThreadWaitLimit) {
        clock.sleepMs(1);
        ++cycles;
    }
    WriteDebugLog(Format("NOSCPUUSAGE.WaitForThreadInitialization took %d cycles", {cycles}));
    sampler_.syncCycles_ = cycles;
}

// ---- the sampler ------------------------------------------------------------------

TNosCpuUsageSampler::TNosCpuUsageSampler(TCPUUsage& published)
    : published_(published), history_(std::make_unique<TProcessorIdleHistory>()) {}

TNosCpuUsageSampler::~TNosCpuUsageSampler() { Stop(); }

void TNosCpuUsageSampler::Start(const TNosOperatingSystem& os, ThreadStart start) {
    WriteDebugLog("Initializing NOSCPUUSAGE");
    syncCycles_ = 0;
    RunSMPTestOnEachCPU();
    Stop();
    calls_ = 0;
    published_.Reset();
    history_ = std::make_unique<TProcessorIdleHistory>();
    buffer_.assign(PerformanceBufferStart, 0);
    stat9x_.reset();
    route_ = Route::None;
    if (IsKind9x(os.Kind)) {
        stat9x_ = std::make_unique<TKernelCpuUsageStat>();
        route_ = Route::Kernel9x;
        published_.NumCPUs = 1;
    } else if (!os.IsNT) {
        throw ECpuUsageError(CantGetWindowsVersion);
    } else {
        WriteDebugLog("NOSCPUUSAGE.CHECK01");
        EnablePerformanceCounters(true);
        WriteDebugLog("NOSCPUUSAGE.CHECK02");
        const bool useThread = !SamplesWithoutThread(os.Kind);
        WriteDebugLog("NOSCPUUSAGE.CHECK03");
        route_ = Route::PerformanceData;
        if (useThread) {
            WriteDebugLog("Using thread");
            thread_ = std::make_unique<TNosCpuUsageThread>(*this);
            if (start == ThreadStart::Run) {
                thread_->Start();
                thread_->WaitForThreadInitialization();
            }
        }
        WriteDebugLog("NOSCPUUSAGE.CHECK04");
    }
    UpdateCpuUsage();
}

void TNosCpuUsageSampler::Stop() {
    thread_.reset();
    route_ = Route::None;
}

void TNosCpuUsageSampler::UpdateCpuUsage() {
    switch (route_) {
    case Route::None: return;
    case Route::PerformanceData:
        if (!thread_) Collect();
        return;
    case Route::Kernel9x: {
        const float usage = Clamped(stat9x_->Read());
        published_.NumCPUs = 1;
        published_.total = usage;
        published_.PerCPU[0] = usage;
        return;
    }
    }
}

void TNosCpuUsageSampler::Trace(bool firstCall, const std::string& step) const {
    if (firstCall) WriteDebugLog("CollectCPUDataInternal" + step);
}

void TNosCpuUsageSampler::Collect() {
    const std::unique_lock lock(lock_);
    CollectCPUDataInternal();
}

void TNosCpuUsageSampler::CollectCPUDataInternal() {
    const bool first = ++calls_ == 1;
    if (first) {
        Trace(true, Format(".01 size is $%.8x", {buffer_.size()}));
        RunSMPTestOnEachCPU();
    }
    Trace(first, ".02");
    const auto data = QueryProcessorPerformanceData(
        buffer_, [&](std::size_t size) { Trace(first, Format(".02.01 resizing to $%.8x", {size})); },
        [&] { Trace(first, ".02.02 can't read performance data"); });
    Trace(first, ".03");
    TProcessorIdleTimes times = ReadProcessorIdleTimes(data);
    Trace(first, ".04");
    const int before = history_->Count();
    Trace(first, ".05");
    if (history_->Add(std::move(times))) {
        if (before >= 0)
            WriteDebugLog(Format("CollectCPUDataInternal: %d processor instances instead of %d, starting over",
                                 {history_->Count(), before}));
        published_.NumCPUs = 0;
    }
    Trace(first, ".06");
    Trace(first, ".07");
    Trace(first, ".08");
    Trace(first, ".09");
    Publish();
    Trace(first, ".11");
}

void TNosCpuUsageSampler::Publish() {
    const int instances = history_->Count();
    if (published_.NumCPUs == 0) published_.NumCPUs = std::clamp(instances - 1, 0, MaxUsageCpus);
    Trace(calls_ == 1, ".10");
    published_.total = instances > 0 ? Clamped(history_->Usage(instances - 1) * 100) : 0.0f;
    const int processors = published_.NumCPUs;
    for (int i = 0; i < processors; ++i)
        published_.PerCPU[static_cast<std::size_t>(i)] = Clamped(history_->Usage(i) * 100);
}

double TNosCpuUsageSampler::GetCPUUsage(int Index) {
    try {
        if (!thread_ && history_->Count() < 0) Collect();
        const std::shared_lock lock(lock_);
        return history_->Usage(Index);
    } catch (const std::exception& e) {
        WriteDebugLog(Format("ERROR IN GetCPUUsage (%s)", {e.what()}));
        throw ECpuUsageError(e.what());
    }
}

int TNosCpuUsageSampler::InstanceCount() {
    if (!thread_ && history_->Count() < 0) Collect();
    const std::shared_lock lock(lock_);
    return history_->Count();
}

// ---- the program's sampler ------------------------------------------------------------

TCPUUsage CPUUsage;

namespace {
TNosCpuUsageSampler& ProgramSampler() {
    static TNosCpuUsageSampler sampler(CPUUsage);
    return sampler;
}
}  // namespace

void InitializeNosCpuUsage() {
    try {
        if (OperatingSystem) {
            ProgramSampler().Start(*OperatingSystem);
        } else {
            ProgramSampler().Start(TNosOperatingSystem());
        }
    } catch (const std::exception& e) {
        ProgramSampler().Stop();
        CPUUsage.SetError(1, e.what());
        CPUUsage.NumCPUs = 0;
        WriteDebugLog(Format("Error initializing NOSCPUUSAGE (%s)", {e.what()}));
    }
}

void FinalizeNosCpuUsage() { ProgramSampler().Stop(); }

void UpdateCpuUsage() { ProgramSampler().UpdateCpuUsage(); }

double GetCPUUsage(int Index) { return ProgramSampler().GetCPUUsage(Index); }

int GetCpuThreadSyncCycles() { return ProgramSampler().SyncCycles(); }

bool EnablePerformanceCounters(bool Enable) {
    auto& registry = platform::current().systemRegistry();
    for (const char* key : PerformanceKeys) {
        if (Enable || !registry.keyExists(key) || !registry.readBinary(key, DisableCountersValue)) continue;
        if (const std::uint32_t error = registry.writeDWord(key, DisableCountersValue, 1))
            WriteDebugLog(Format("EnablePerformanceCounters: %s refused (error %d)", {std::string(key), error}));
    }
    return true;
}
