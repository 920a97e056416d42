#include "core/cvsafefile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The mode and owner the new file takes: those of the file it replaces, else
// the access asked for. Only root can give a file away: it leaves a new file
// to the owner of its folder (a user's program folder stays the user's).
bool TakeModeAndOwner(int fd, const std::string& path, TNewFileAccess access) {
    struct stat owner {};
    const bool replacing = ::stat(path.c_str(), &owner) == 0 && S_ISREG(owner.st_mode);
    const mode_t mode = replacing ? owner.st_mode & 07777 : access == TNewFileAccess::OwnerOnly ? 0600 : 0644;
    if (::fchmod(fd, mode) != 0) return false;
    if (::geteuid() != 0) return true;
    if (!replacing && ::stat(FolderOf(path).c_str(), &owner) != 0) return true;
    return ::fchown(fd, owner.st_uid, owner.st_gid) == 0;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view content, TNewFileAccess access) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600 until its own is set
    if (fd < 0) return false;
    bool ok = TakeModeAndOwner(fd, path, access) && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}
