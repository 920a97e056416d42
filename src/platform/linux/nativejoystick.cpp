#include "platform/linux/nativejoystick.h"

#include <fcntl.h>
#include <linux/joystick.h>
#include <unistd.h>

#include <cerrno>

namespace platform::native {
namespace {

// More events than a replay of every axis and button; a device that keeps
// streaming cannot hold the query.
constexpr int MaxEvents = 1024;

std::uint32_t axisPosition(std::int16_t value) { return static_cast<std::uint32_t>(value + 32768); }

}  // namespace

std::optional<JoystickPosition> readJoystick(const std::string& devRoot, unsigned id) {
    const std::string path = devRoot + "/input/js" + std::to_string(id);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    JoystickPosition position{32768, 32768, 32768, 0};
    std::uint32_t* axes[] = {&position.x, &position.y, &position.z};
    bool failed = false;
    for (int n = 0; n < MaxEvents; ++n) {
        js_event event{};
        const ssize_t got = ::read(fd, &event, sizeof event);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) failed = errno != EAGAIN;  // drained, or unplugged
        if (got != static_cast<ssize_t>(sizeof event)) break;
        const auto type = event.type & ~JS_EVENT_INIT;
        if (type == JS_EVENT_AXIS && event.number < 3) *axes[event.number] = axisPosition(event.value);
        if (type == JS_EVENT_BUTTON && event.number < 32) {
            const std::uint32_t bit = 1u << event.number;
            position.buttons = event.value ? position.buttons | bit : position.buttons & ~bit;
        }
    }
    ::close(fd);
    if (failed) return std::nullopt;
    return position;
}

}  // namespace platform::native
