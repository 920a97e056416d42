#pragma once
// How busy each processor is, published for the window: on the NT family
// from the system's "Processor" performance object, sampled by a thread of
// its own about once a second (or at each UpdateCpuUsage on the systems
// without it), on the 9x family from the kernel's usage statistic.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

class TNosOperatingSystem;
class TKernelCpuUsageStat;
class TProcessorIdleHistory;

inline constexpr int MaxUsageCpus = 256;

// The published usage. Every value is read and written whole; a reader may
// see values of two consecutive samples side by side.
struct TCPUUsage {
    // Processors whose usage is published (at most MaxUsageCpus); 0 while
    // usage is not measured.
    std::atomic<std::int32_t> NumCPUs{0};
    std::atomic<float> total{0};
    std::array<std::atomic<float>, MaxUsageCpus> PerCPU{};
    // 1 when the sampler could not start or its thread's first sample failed.
    std::atomic<std::int32_t> ErrorCode{0};

    std::string ErrorText() const;
    void SetError(std::int32_t code, const std::string& text);
    void Reset();

private:
    mutable std::mutex errorLock_;
    std::string errorText_;
};

class TNosCpuUsageSampler;

// Samples once, then about once a second until stopped; its passes can be
// driven one by one without starting it.
class TNosCpuUsageThread {
public:
    explicit TNosCpuUsageThread(TNosCpuUsageSampler& sampler) : sampler_(sampler) {}
    // Stops and joins.
    ~TNosCpuUsageThread() { Stop(); }
    TNosCpuUsageThread(const TNosCpuUsageThread&) = delete;
    TNosCpuUsageThread& operator=(const TNosCpuUsageThread&) = delete;

    void Start();
    void Stop();
    // Waits in 1-ms steps, at most 10000 of them, for the first sample.
    void WaitForThreadInitialization();

    // The passes of the thread: the first sample (a failure is recorded in
    // the published error), then one sample each second while processors
    // are published.
    void FirstSample();
    void NextSample();
    // Ten naps of 100 ms, ending early when stop is requested.
    static void Nap(const std::stop_token& stop);

    bool Initialized() const { return initialized_; }
    bool Stopped() const { return stopped_; }

private:
    void Execute(std::stop_token stop);

    TNosCpuUsageSampler& sampler_;
    std::atomic<bool> initialized_{false};
    std::atomic<bool> stopped_{true};
    // A failure is traced once until a sample succeeds again.
    bool failing_ = false;
    std::jthread thread_;
};

class TNosCpuUsageSampler {
public:
    enum class ThreadStart { Run, Manual };

    explicit TNosCpuUsageSampler(TCPUUsage& published);
    ~TNosCpuUsageSampler();
    TNosCpuUsageSampler(const TNosCpuUsageSampler&) = delete;
    TNosCpuUsageSampler& operator=(const TNosCpuUsageSampler&) = delete;

    // The start-up of the route the system calls for. Throws ECpuUsageError
    // when the system is neither of the 9x nor of the NT family, when the 9x
    // statistic cannot start, or when the first sample of a route without
    // thread fails. Manual leaves the thread's passes to the caller.
    void Start(const TNosOperatingSystem& os, ThreadStart start = ThreadStart::Run);
    // Stops and joins the thread; UpdateCpuUsage does nothing afterwards.
    void Stop();

    // Samples and publishes, without thread; nothing when the thread keeps
    // the values current or the sampler did not start. Throws the sample's
    // failure.
    void UpdateCpuUsage();
    // The usage of an instance as a fraction (1.0 = 100 %), the machine's
    // total last; 0 before two samples. Throws CpuIndexOutOfBounds.
    double GetCPUUsage(int Index);
    // The "Processor" instances, collecting first when not known yet.
    int InstanceCount();
    // One sample of the performance data, published; the caller holds the
    // write lock.
    void CollectCPUDataInternal();
    // One sample under the write lock.
    void Collect();
    int SyncCycles() const { return syncCycles_; }
    bool UsesThread() const { return thread_ != nullptr; }
    TNosCpuUsageThread* Thread() { return thread_.get(); }
    TCPUUsage& Published() { return published_; }

private:
    friend class TNosCpuUsageThread;
    enum class Route { None, Kernel9x, PerformanceData };

    void Publish();
    void Trace(bool firstCall, const std::string& step) const;

    TCPUUsage& published_;
    Route route_ = Route::None;
    std::unique_ptr<TKernelCpuUsageStat> stat9x_;
    std::vector<std::uint8_t> buffer_;
    std::unique_ptr<TProcessorIdleHistory> history_;
    unsigned calls_ = 0;
    int syncCycles_ = 0;
    mutable std::shared_mutex lock_;  // NosCpuUsageLock
    std::unique_ptr<TNosCpuUsageThread> thread_;
};

// The program's sampler and its published values.
extern TCPUUsage CPUUsage;

// Unit start-up, before the main window: starts the program's sampler on
// the system's route. A failure is traced and recorded in CPUUsage's error;
// the program goes on without usage.
void InitializeNosCpuUsage();
// Stops and joins the sampling thread; before the platform goes.
void FinalizeNosCpuUsage();
void UpdateCpuUsage();
double GetCPUUsage(int Index);
// How many 1-ms waits the start-up's wait for the first sample took.
int GetCpuThreadSyncCycles();
// Writes "Disable Performance Counters" as true under the two performance
// keys that have it, when Enable is false; a refused write is traced.
bool EnablePerformanceCounters(bool Enable);
