#include "hw/cvbuslocks.h"

const char* const ISABusMutexName = "Global\\Access_ISABUS.HTP.Method";
const char* const SMBusMutexName = "Global\\Access_SMBUS.HTP.Method";

std::unique_ptr<platform::NamedMutex> ISABusMutex;
std::unique_ptr<platform::NamedMutex> SMBusMutex;

namespace {

std::int32_t isaCount = 0;
std::int32_t smbusCount = 0;

struct Lock {
    std::unique_ptr<platform::NamedMutex>& mutex;
    std::int32_t& count;
};

Lock lockFor(bool isISA) { return isISA ? Lock{ISABusMutex, isaCount} : Lock{SMBusMutex, smbusCount}; }

}  // namespace

void InitializeBusLocks() {
    auto& machine = platform::current();
    ISABusMutex = machine.createMutex(ISABusMutexName);
    SMBusMutex = machine.createMutex(SMBusMutexName);
    isaCount = 0;
    smbusCount = 0;
}

void FinalizeBusLocks() {
    ISABusMutex.reset();
    SMBusMutex.reset();
}

void AcquireBusLock(bool isISA) {
    Lock lock = lockFor(isISA);
    if (++lock.count == 1 && lock.mutex) lock.mutex->lock();
}

void ReleaseBusLock(bool isISA) {
    Lock lock = lockFor(isISA);
    // A release without an acquire would leave the count below 0 and the
    // next acquire without the mutex.
    if (lock.count <= 0) return;
    if (--lock.count == 0 && lock.mutex) lock.mutex->unlock();
}

bool TryAcquireBusLock(bool isISA) {
    if (lockFor(isISA).count != 0) return false;
    AcquireBusLock(isISA);
    return true;
}

void AcquireSMBusLock() { AcquireBusLock(false); }
void ReleaseSMBusLock() { ReleaseBusLock(false); }

std::int32_t BusLockCount(bool isISA) { return lockFor(isISA).count; }
