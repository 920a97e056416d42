#include "platform/sim/heci.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

constexpr std::uint32_t ErrorNotReady = 21;
// A control request the driver never finishes is given up after this long.
constexpr std::uint32_t ControlBoundMs = 5000;

class HeciDevice : public Device {
public:
    explicit HeciDevice(std::shared_ptr<SimHeci> model) : model_(std::move(model)) {}
    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        return model_->control(code, input, output, returned, error_);
    }
    std::uint32_t lastError() const override { return error_; }
    Transfer write(std::span<const std::uint8_t> data, std::uint32_t timeoutMs) override {
        return model_->write(data, timeoutMs, pending_);
    }
    Transfer read(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs) override {
        return model_->read(buffer, timeoutMs, pending_);
    }

private:
    std::shared_ptr<SimHeci> model_;
    std::uint32_t error_ = ErrorGenFailure;
    std::vector<std::uint8_t> pending_;  // the reply the next read takes
};

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::uint32_t maskOf(const auto& monitors) {
    std::uint32_t mask = 0;
    for (const auto& [index, monitor] : monitors)
        if (index >= 0 && index < 32) mask |= 1u << index;
    return mask;
}

// Which request a command byte is, per generation.
enum class Op : std::uint8_t { Config, Temps, TempConfig, Fans, FanConfig, Volts, VoltConfig, Pwms, PwmConfig, SetDuty, Auto };

struct Decoded {
    Op op;
    int index;
};

std::optional<Decoded> decode(int generation, std::span<const std::uint8_t> request) {
    const int c = request[0];
    if (generation == 2) {
        const int i = request[1];
        switch (c) {
            case 0x03: return Decoded{Op::Config, 0};
            case 0x0D: return Decoded{Op::Temps, 0};
            case 0x0E: return Decoded{Op::TempConfig, i};
            case 0x12: return Decoded{Op::Fans, 0};
            case 0x13: return Decoded{Op::FanConfig, i};
            case 0x18: return Decoded{Op::Volts, 0};
            case 0x19: return Decoded{Op::VoltConfig, i};
            case 0x1E: return Decoded{Op::Pwms, 0};
            case 0x1F: return Decoded{Op::PwmConfig, i};
            case 0x20: return Decoded{Op::SetDuty, i};
            case 0x21: return Decoded{Op::Auto, i};
            default: return std::nullopt;
        }
    }
    struct Range {
        int first, count;
        Op op;
    };
    static constexpr Range ranges[] = {
        {0x02, 1, Op::Config}, {0x12, 1, Op::Temps},      {0x13, 12, Op::TempConfig}, {0x37, 1, Op::Fans},
        {0x38, 8, Op::FanConfig}, {0x58, 1, Op::Volts},   {0x59, 8, Op::VoltConfig},  {0x69, 1, Op::Pwms},
        {0x6A, 8, Op::PwmConfig}, {0x72, 8, Op::SetDuty}, {0x7A, 8, Op::Auto},
    };
    for (const Range& r : ranges)
        if (c >= r.first && c < r.first + r.count) return Decoded{r.op, c - r.first};
    return std::nullopt;
}

}  // namespace

std::uint32_t SimHeci::open() {
    ++opens_;
    if (config_.openError != 0) return config_.openError;
    if (opens_ <= config_.notReadyOpens) return ErrorNotReady;
    return 0;
}

bool SimHeci::control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                      std::uint32_t& returned, std::uint32_t& error) {
    returned = 0;
    if (config_.controlHangs) {
        machine_.clock().sleepMs(ControlBoundMs);
        error = ErrorTimeout;
        return false;
    }
    std::vector<std::uint8_t> answer;
    if (code == platform::heci::VersionCode) {
        answer = config_.version;
    } else if (code == platform::heci::ConnectCode) {
        if (!config_.qst || input.size() != 16 || !std::equal(input.begin(), input.end(), heci::QstClientGuid.begin())) {
            error = ErrorFileNotFound;
            return false;
        }
        put32(answer, config_.maxMessageLength);
        answer.push_back(1);  // protocol version
        answer.resize(config_.connectAnswerSize);
    } else {
        error = ErrorInvalidParameter;
        return false;
    }
    returned = static_cast<std::uint32_t>(std::min(answer.size(), output.size()));
    std::copy_n(answer.begin(), returned, output.begin());
    return true;
}

std::optional<QstFault> SimHeci::takeFault(int command) {
    for (auto& fault : config_.faults) {
        if (fault.times == 0 || (fault.command >= 0 && fault.command != command)) continue;
        if (fault.times > 0) --fault.times;
        return fault;
    }
    return std::nullopt;
}

Device::Transfer SimHeci::write(std::span<const std::uint8_t> data, std::uint32_t, std::vector<std::uint8_t>& pending) {
    requests_.emplace_back(data.begin(), data.end());
    pending.clear();
    const int command = data.empty() ? -1 : data[0];
    const auto fault = takeFault(command);
    const auto count = static_cast<std::uint32_t>(data.size());
    using K = QstFault::Kind;
    if (fault && fault->kind == K::TransportError) return {Device::TransferStatus::Failed, 0, ErrorGenFailure};
    if (fault && fault->kind == K::NoReply) return {Device::TransferStatus::Done, count, 0};
    auto reply = answer(data);
    if (!reply) return {Device::TransferStatus::Done, count, 0};
    if (fault && fault->kind == K::Status && !reply->empty()) (*reply)[0] = static_cast<std::uint8_t>(fault->value);
    if (fault && fault->kind == K::WrongLength)
        reply->resize(static_cast<std::size_t>(std::max<int>(0, static_cast<int>(reply->size()) + fault->value)));
    pending = std::move(*reply);
    if (fault && fault->kind == K::ShortSend) return {Device::TransferStatus::Done, count - 1, 0};
    return {Device::TransferStatus::Done, count, 0};
}

Device::Transfer SimHeci::read(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs, std::vector<std::uint8_t>& pending) {
    if (pending.empty()) {
        machine_.clock().sleepMs(timeoutMs);
        return {Device::TransferStatus::TimedOut, 0, 0};
    }
    const auto count = std::min(pending.size(), buffer.size());
    std::copy_n(pending.begin(), count, buffer.begin());
    pending.clear();
    return {Device::TransferStatus::Done, static_cast<std::uint32_t>(count), 0};
}

std::vector<std::uint8_t> SimHeci::configuration() const {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(config_.configStatus)};
    const std::uint32_t temps = maskOf(config_.temps), fans = maskOf(config_.fans), volts = maskOf(config_.volts),
                        pwms = maskOf(config_.controllers);
    if (config_.generation == 2) {
        for (std::uint32_t v : {temps, fans, volts, config_.byte13Field, config_.tempResponse, pwms}) put32(out, v);
    } else {
        put16(out, temps);
        out.push_back(static_cast<std::uint8_t>(volts));
        out.push_back(static_cast<std::uint8_t>(fans));
        put16(out, config_.tempResponse);
        out.push_back(static_cast<std::uint8_t>(pwms));
    }
    return out;
}

void SimHeci::setDuty(QstController& controller, std::uint16_t duty, bool software) {
    controller.duty = duty;
    controller.flags = static_cast<std::uint8_t>(software ? controller.flags | 0x08 : controller.flags & ~0x08);
    if (!controller.thermalFan.empty() && machine_.thermal().hasFan(controller.thermalFan))
        machine_.thermal().setDuty(controller.thermalFan, duty / 10000.0);
}

std::optional<std::vector<std::uint8_t>> SimHeci::answer(std::span<const std::uint8_t> request) {
    const std::size_t header = config_.generation == 2 ? 6 : 5;
    if (request.size() < header) return std::nullopt;
    const auto op = decode(config_.generation, request);
    if (!op) return std::nullopt;
    const int records = config_.generation == 2 ? 32 : 8;
    std::vector<std::uint8_t> out{0};
    auto readings = [&](const std::map<int, QstMonitor>& monitors, int count, bool wide) {
        for (int i = 0; i < count; ++i) {
            const auto found = monitors.find(i);
            out.push_back(found == monitors.end() ? 0 : found->second.status);
            const std::int32_t v = found == monitors.end() ? 0 : found->second.value();
            wide ? put32(out, static_cast<std::uint32_t>(v)) : put16(out, static_cast<std::uint32_t>(v));
        }
    };
    auto monitorConfig = [&](const std::map<int, QstMonitor>& monitors, int thresholds, bool wide, bool relative) {
        const auto found = monitors.find(op->index);
        const QstMonitor none{0, 0, 0, {}, [] { return 0; }, 0};
        const QstMonitor& m = found == monitors.end() ? none : found->second;
        out.push_back(m.enabled);
        out.push_back(m.usage);
        if (relative) out.push_back(m.relative);
        for (int i = 0; i < thresholds; ++i) {
            const auto v = static_cast<std::uint32_t>(i < static_cast<int>(m.thresholds.size()) ? m.thresholds[i] : 0);
            wide ? put32(out, v) : put16(out, v);
        }
    };
    switch (op->op) {
        case Op::Config: return configuration();
        case Op::Temps: readings(config_.temps, config_.generation == 2 ? 32 : 12, true); break;
        case Op::TempConfig: monitorConfig(config_.temps, 4, true, true); break;
        case Op::Fans: readings(config_.fans, records, false); break;
        case Op::FanConfig: monitorConfig(config_.fans, 4, false, false); break;
        case Op::Volts: readings(config_.volts, records, true); break;
        case Op::VoltConfig: monitorConfig(config_.volts, 7, true, false); break;
        case Op::Pwms:
            for (int i = 0; i < records; ++i) {
                const auto found = config_.controllers.find(i);
                out.push_back(found == config_.controllers.end() ? 0 : found->second.flags);
                put16(out, found == config_.controllers.end() ? 0 : found->second.duty);
            }
            break;
        case Op::PwmConfig: {
            const auto found = config_.controllers.find(op->index);
            out.push_back(found == config_.controllers.end() ? 0 : found->second.enabled);
            out.push_back(found == config_.controllers.end() ? 0 : found->second.usage);
            break;
        }
        case Op::SetDuty: {
            const auto found = config_.controllers.find(op->index);
            if (found == config_.controllers.end() || request.size() < header + 2) return std::vector<std::uint8_t>{1};
            const auto duty = static_cast<std::uint16_t>(request[header] | request[header + 1] << 8);
            if (duty > 10000) return std::vector<std::uint8_t>{1};
            setDuty(found->second, duty, true);
            break;
        }
        case Op::Auto: {
            const auto found = config_.controllers.find(op->index);
            if (found == config_.controllers.end()) return std::vector<std::uint8_t>{1};
            setDuty(found->second, found->second.duty, false);
            break;
        }
    }
    return out;
}

std::shared_ptr<SimHeci> installHeci(Machine& machine, HeciConfig config) {
    auto model = std::make_shared<SimHeci>(machine, std::move(config));
    const HeciConfig& c = model->config();
    SimDevice device;
    device.present = c.present;
    device.hasInterface = true;
    device.interfaceClass = platform::heci::InterfaceGuid;
    device.record.setString(devprop::DeviceDesc, "Intel(R) Management Engine Interface");
    for (int i = 0; i < c.unreadableInterfaces; ++i) device.record.interfaces.push_back({c.path + "#" + std::to_string(i), false});
    device.record.interfaces.push_back({c.path, true});
    machine.devices().push_back(device);
    machine.addDevice(c.path, [model]() -> std::unique_ptr<Device> {
        if (!model->config().present || model->open() != 0) return nullptr;
        return std::make_unique<HeciDevice>(model);
    });
    return model;
}

}  // namespace platform::sim
