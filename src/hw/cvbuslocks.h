#pragma once
// The two cross-process bus locks: every ISA, SMBus and embedded-controller
// transaction holds one, so that other monitoring programs using the same
// names never interleave with ours. Nesting is counted per process; the
// mutex is held exactly while the count is above 0.

#include <cstdint>
#include <memory>

#include "platform/platform.h"

extern const char* const ISABusMutexName;  // "Global\Access_ISABUS.HTP.Method"
extern const char* const SMBusMutexName;   // "Global\Access_SMBUS.HTP.Method"

// Null when the mutex could not be made; the lock then excludes nobody.
extern std::unique_ptr<platform::NamedMutex> ISABusMutex;
extern std::unique_ptr<platform::NamedMutex> SMBusMutex;

// Unit start-up (with a platform installed) and shut-down.
void InitializeBusLocks();
void FinalizeBusLocks();

// isISA picks the ISA lock, else the SMBus lock. Acquire waits without a
// time-out when the count becomes 1; release lets go when it becomes 0.
void AcquireBusLock(bool isISA);
void ReleaseBusLock(bool isISA);
// False, and nothing changed, while this process holds the lock; otherwise
// acquires it (waiting if need be) and answers True.
bool TryAcquireBusLock(bool isISA);

// Holds one bus lock for its lifetime, exceptions included.
class TBusLockScope {
public:
    explicit TBusLockScope(bool isISA) : isISA_(isISA) { AcquireBusLock(isISA_); }
    ~TBusLockScope() { ReleaseBusLock(isISA_); }
    TBusLockScope(const TBusLockScope&) = delete;
    TBusLockScope& operator=(const TBusLockScope&) = delete;

private:
    bool isISA_;
};

void AcquireSMBusLock();
void ReleaseSMBusLock();

// The nesting count of a lock.
std::int32_t BusLockCount(bool isISA);
