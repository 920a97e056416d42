#include "platform/sim/machine.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sim/boardloader.h"

namespace platform::sim {
namespace {

// Like the native lock file: each mutex object is one holder, so a second
// object of the same name is kept out even on the holder's own thread;
// locking again while holding is a no-op and one unlock frees it.
class SimMutex final : public NamedMutex {
public:
    explicit SimMutex(std::shared_ptr<Machine::MutexState> state) : state_(std::move(state)) {}
    ~SimMutex() override { unlock(); }

    void lock() override {
        std::unique_lock guard(state_->mutex);
        state_->freed.wait(guard, [this] { return isFreeForMe(); });
        take();
    }

    bool tryLock() override {
        std::lock_guard guard(state_->mutex);
        if (!isFreeForMe()) return false;
        take();
        return true;
    }

    void unlock() override {
        {
            std::lock_guard guard(state_->mutex);
            if (state_->holder != this) return;
            state_->holder = nullptr;
            if (state_->onChange) state_->onChange(false);
        }
        state_->freed.notify_all();
    }

private:
    // With the state's mutex held.
    void take() {
        if (state_->holder == this) return;
        state_->holder = this;
        if (state_->onChange) state_->onChange(true);
    }
    bool isFreeForMe() const { return state_->holder == nullptr || state_->holder == this; }
    std::shared_ptr<Machine::MutexState> state_;
};

}  // namespace

Machine::Machine(bool virtualTime) : clock_(virtualTime) {
    ports_.recorder().setLockProbe([this] { return heldMutexes(); });
    protocolSMBus_.setLockProbe([this] { return heldMutexes(); });
}

std::vector<std::string> Machine::heldMutexes() const {
    std::vector<std::string> held;
    for (const auto& [name, state] : mutexes_) {
        std::lock_guard guard(state->mutex);
        if (state->holder) held.push_back(name);
    }
    return held;
}

// Mutex objects may outlive the machine (a unit's global freed later).
Machine::~Machine() {
    for (const auto& [name, state] : mutexes_) {
        std::lock_guard guard(state->mutex);
        state->onChange = nullptr;
    }
}

std::unique_ptr<NamedMutex> Machine::createMutex(const std::string& name) {
    auto& shared = mutexes_[name];
    if (!shared) {
        shared = std::make_shared<MutexState>();
        shared->onChange = [this, name](bool taken) { noteLock(name, taken); };
    }
    return std::make_unique<SimMutex>(shared);
}

void Machine::noteLock(const std::string& name, bool taken) {
    protocolSMBus_.noteLock(name, taken);
    for (const auto& [host, segment] : smbusSegments_) segment->noteLock(name, taken);
}

void Machine::addSMBusSegment(const std::string& hostName, std::shared_ptr<SMBusSegment> segment) {
    segment->setLockProbe([this] { return heldMutexes(); });
    segment->setRecording(recording_);
    smbusSegments_[hostName] = std::move(segment);
}

void Machine::setRecording(bool on) {
    recording_ = on;
    ports_.recorder().setEnabled(on);
    protocolSMBus_.setRecording(on);
    for (const auto& [host, segment] : smbusSegments_) segment->setRecording(on);
}

std::shared_ptr<SMBusSegment> Machine::smbusSegment(const std::string& hostName) const {
    const auto it = smbusSegments_.find(hostName);
    return it == smbusSegments_.end() ? nullptr : it->second;
}

void Machine::loadFromFile(const std::string& path) {
    // Only a regular file of a sane size: a folder, a FIFO or a device would
    // read as nothing, block, or never end.
    constexpr off_t MaxBoardFileSize = 64 << 20;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw BoardError(path + ": cannot open the board file: " + std::strerror(errno));
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw BoardError(path + ": cannot read the board file: not a regular file");
    if (st.st_size > MaxBoardFileSize) throw BoardError(path + ": the board file is larger than 64 MB");
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw BoardError(path + ": cannot read the board file: " + std::strerror(errno));
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        // It may have grown since it was measured.
        if (text.size() > static_cast<std::size_t>(MaxBoardFileSize))
            throw BoardError(path + ": the board file is larger than 64 MB");
    }
    loadBoard(text, path, *this);
}

void Machine::loadFromJson(const std::string& text, const std::string& sourceName) {
    loadBoard(text, sourceName, *this);
}

void Machine::addRegisterFile(const std::string& name, std::shared_ptr<RegisterFile> file) {
    if (!registerFiles_.emplace(name, std::move(file)).second)
        throw std::invalid_argument("a register file named \"" + name + "\" exists already");
}

std::shared_ptr<RegisterFile> Machine::registerFile(const std::string& name) const {
    const auto it = registerFiles_.find(name);
    return it == registerFiles_.end() ? nullptr : it->second;
}

void Machine::setProgramDir(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    programDir_ = std::move(dir);
}

}  // namespace platform::sim
