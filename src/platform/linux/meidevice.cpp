#include "platform/linux/meidevice.h"

#include <fcntl.h>
#include <linux/mei.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/heci.h"

namespace platform::native {
namespace {

std::uint32_t systemError(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENOTTY: return ErrorFileNotFound;
        case EACCES:
        case EPERM: return ErrorAccessDenied;
        case EINVAL: return ErrorInvalidParameter;
        case ETIMEDOUT: return ErrorTimeout;
        default: return ErrorGenFailure;
    }
}

class MeiDevice : public Device {
public:
    explicit MeiDevice(int fd) : fd_(fd) {}
    ~MeiDevice() override { ::close(fd_); }

    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        returned = 0;
        std::uint8_t answer[5] = {6, 0, 0, 0, 0};
        if (code == heci::ConnectCode) {
            if (input.size() != 16) return fail(EINVAL);
            mei_connect_client_data data{};
            std::memcpy(&data.in_client_uuid, input.data(), 16);  // the kernel's uuid_le is the stored GUID order
            if (::ioctl(fd_, IOCTL_MEI_CONNECT_CLIENT, &data) != 0) return fail(errno);
            const std::uint32_t length = data.out_client_properties.max_msg_length;
            for (int i = 0; i < 4; ++i) answer[i] = static_cast<std::uint8_t>(length >> (8 * i));
            answer[4] = data.out_client_properties.protocol_version;
        } else if (code != heci::VersionCode) {
            return fail(EINVAL);
        }
        returned = static_cast<std::uint32_t>(std::min<std::size_t>(sizeof answer, output.size()));
        std::copy_n(answer, returned, output.begin());
        return true;
    }
    std::uint32_t lastError() const override { return error_; }

    Transfer write(std::span<const std::uint8_t> data, std::uint32_t timeoutMs) override {
        if (const auto waited = wait(POLLOUT, timeoutMs)) return *waited;
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) return {TransferStatus::Failed, 0, systemError(errno)};
        return {TransferStatus::Done, static_cast<std::uint32_t>(n), 0};
    }
    Transfer read(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs) override {
        if (const auto waited = wait(POLLIN, timeoutMs)) return *waited;
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n < 0) return {TransferStatus::Failed, 0, systemError(errno)};
        return {TransferStatus::Done, static_cast<std::uint32_t>(n), 0};
    }

private:
    bool fail(int error) {
        error_ = systemError(error);
        return false;
    }
    // Nothing when the device is ready; else the transfer's outcome.
    std::optional<Transfer> wait(short events, std::uint32_t timeoutMs) {
        pollfd p{fd_, events, 0};
        int ready;
        do ready = ::poll(&p, 1, static_cast<int>(std::min<std::uint32_t>(timeoutMs, 0x7FFFFFFF)));
        while (ready < 0 && errno == EINTR);
        if (ready < 0) return Transfer{TransferStatus::Failed, 0, systemError(errno)};
        if (ready == 0) return Transfer{TransferStatus::TimedOut, 0, 0};
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return Transfer{TransferStatus::Failed, 0, ErrorGenFailure};
        return std::nullopt;
    }

    int fd_;
    std::uint32_t error_ = ErrorGenFailure;
};

}  // namespace

std::vector<DeviceRecord> listMeiInterfaces(const std::string& sysRoot, const std::string& devRoot) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sysRoot + "/class/mei", ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<DeviceRecord> records;
    for (const auto& name : names) {
        DeviceRecord record;
        record.setString(devprop::DeviceDesc, "Intel(R) Management Engine Interface");
        record.interfaces.push_back({devRoot + "/" + name, true});
        records.push_back(std::move(record));
    }
    return records;
}

bool isMeiPath(const std::string& path, const std::string& devRoot) {
    const std::string prefix = devRoot + "/mei";
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
           std::all_of(path.begin() + static_cast<std::ptrdiff_t>(prefix.size()), path.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

DeviceOpenResult openMeiDevice(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return {nullptr, systemError(errno)};
    return {std::make_unique<MeiDevice>(fd), 0};
}

}  // namespace platform::native
