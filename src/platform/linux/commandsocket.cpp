#include "platform/linux/commandsocket.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/linux/filehandle.h"
#include "platform/windowcommand.h"

namespace platform::native {
namespace {

// Peers beyond these are turned away: nobody of ours keeps many open.
constexpr std::size_t MaxPeers = 8;

struct Peer {
    FileHandle fd;
    std::string pending;  // an unfinished line
    bool discarding = false;  // inside a line that grew too long
};

class CommandSocket : public CommandChannel {
public:
    CommandSocket(FileHandle listener, FileHandle epoll, std::string path)
        : listener_(std::move(listener)), epoll_(std::move(epoll)), path_(std::move(path)) {}
    ~CommandSocket() override { ::unlink(path_.c_str()); }

    int readableHandle() const override { return epoll_.get(); }

    std::vector<WindowCommand> takeCommands() override {
        acceptPeers();
        std::vector<WindowCommand> commands;
        for (auto peer = peers_.begin(); peer != peers_.end();) {
            if (readPeer(*peer, commands))
                ++peer;
            else
                peer = peers_.erase(peer);
        }
        return commands;
    }

private:
    void acceptPeers() {
        for (;;) {
            FileHandle fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd) return;
            ucred cred{};
            socklen_t length = sizeof cred;
            if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0 || cred.uid != ::getuid())
                continue;
            if (peers_.size() >= MaxPeers) continue;
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.fd = fd.get();
            ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd.get(), &event);
            peers_.push_back(Peer{std::move(fd), {}, false});
        }
    }

    // False when the peer is done.
    static bool readPeer(Peer& peer, std::vector<WindowCommand>& commands) {
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(peer.fd.get(), buffer, sizeof buffer);
            if (n == 0) return false;
            if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
            for (ssize_t i = 0; i < n; ++i) {
                const char c = buffer[i];
                if (c == '\n') {
                    if (!peer.discarding) {
                        if (const auto command = parseWindowCommand(peer.pending)) commands.push_back(*command);
                    }
                    peer.pending.clear();
                    peer.discarding = false;
                } else if (!peer.discarding) {
                    peer.pending += c;
                    if (peer.pending.size() > MaxWindowCommandLine) {
                        peer.pending.clear();
                        peer.discarding = true;
                    }
                }
            }
        }
    }

    FileHandle listener_;
    FileHandle epoll_;
    std::string path_;
    std::vector<Peer> peers_;
};

// Ours, a folder, and nobody else may enter.
bool isPrivateFolder(const std::string& dir) {
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// Sockets of ours whose process has ended: nobody listens there any more.
void removeStaleSockets(const std::string& dir) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        unsigned long pid = 0;
        if (std::sscanf(name.c_str(), "caldavor-%lu.sock", &pid) != 1 ||
            name != commandSocketName(static_cast<std::uint32_t>(pid)))
            continue;
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlink(entry.path().c_str());
    }
}

}  // namespace

std::optional<std::string> commandSocketDir(const std::optional<std::string>& runtimeDir, std::string& reason) {
    if (runtimeDir && !runtimeDir->empty() && runtimeDir->front() == '/') return *runtimeDir;
    const std::string dir = "/tmp/caldavor-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = dir + ": " + systemReason(errno);
        return std::nullopt;
    }
    if (!isPrivateFolder(dir)) {
        reason = dir + ": not a private folder of this user";
        return std::nullopt;
    }
    return dir;
}

std::string commandSocketName(std::uint32_t owner) { return "caldavor-" + std::to_string(owner) + ".sock"; }

std::unique_ptr<CommandChannel> openCommandSocket(const std::string& dir, std::uint32_t owner, std::string& reason) {
    const std::string path = dir + "/" + commandSocketName(owner);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        reason = path + ": path too long";
        return nullptr;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    FileHandle listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    FileHandle epoll(::epoll_create1(EPOLL_CLOEXEC));
    if (!listener || !epoll) {
        reason = systemReason(errno);
        return nullptr;
    }
    // A socket left by an earlier process of this id is stale, and so are
    // those of ended runs.
    ::unlink(path.c_str());
    removeStaleSockets(dir);
    // Made owner-only from the start, then confirmed.
    const mode_t previous = ::umask(0177);
    const int bound = ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(previous);
    if (bound != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(listener.get(), 8) != 0) {
        reason = path + ": " + systemReason(errno);
        ::unlink(path.c_str());
        return nullptr;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = listener.get();
    ::epoll_ctl(epoll.get(), EPOLL_CTL_ADD, listener.get(), &event);
    return std::make_unique<CommandSocket>(std::move(listener), std::move(epoll), path);
}

}  // namespace platform::native
