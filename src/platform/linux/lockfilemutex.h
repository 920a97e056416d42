#pragma once
// A named cross-process mutex: an exclusive flock on an owner-only lock file
// named after the mutex, so only this user's processes can hold it. The lock belongs to the open file, so two objects of one name
// exclude each other even within a process; nesting by one holder is the
// caller's business. Lock files are left in place: removing one while
// another process waits on it would split the lock in two.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform::native {

class LockFileMutex : public NamedMutex {
public:
    // nullptr when the lock file cannot be opened or created, or is not a
    // regular file of this user (one of another user could be held against us).
    static std::unique_ptr<LockFileMutex> open(const std::string& folder, const std::string& name);
    ~LockFileMutex() override;
    LockFileMutex(const LockFileMutex&) = delete;
    LockFileMutex& operator=(const LockFileMutex&) = delete;

    void lock() override;
    bool tryLock() override;
    void unlock() override;

private:
    explicit LockFileMutex(int fd) : fd_(fd) {}
    int fd_;
};

// The lock file's name for a mutex name: letters, digits, ".", "-" and "_"
// stay, every other byte becomes %XX ("Global\Caldavor" is
// "Global%5CCaldavor.lock"), so names never clash or leave the folder.
std::string lockFileName(const std::string& mutexName);

}  // namespace platform::native
