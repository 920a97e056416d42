#include "platform/sim/smbus/sis5595host.h"

namespace platform::sim {
namespace {

namespace Reg {
constexpr std::uint8_t StsLo = 0x00, StsHi = 0x01, CtlLo = 0x02, Addr = 0x04, Cmd = 0x05, Data0 = 0x08, Data1 = 0x09;
}
namespace SiS5595Sts {
constexpr std::uint8_t Busy = 0x02, DeviceError = 0x10, Collision = 0x20, Done = 0x40;
constexpr std::uint8_t Errors = 0x30;
}  // namespace SiS5595Sts
namespace Ctl {
constexpr std::uint8_t Start = 0x10, Kill = 0x20;
}
// CTL_LO bits 1-3 of protocols 0-4.
constexpr std::uint8_t SiS5595Protocols[5] = {0x00, 0x02, 0x04, 0x06, 0x0A};

}  // namespace

SiS5595Host::SiS5595Host(std::uint16_t base, std::shared_ptr<SMBusSegment> segment, SMBusHostTiming timing)
    : SMBusHostModel(base, 0x3A, std::move(segment), timing) {}

std::uint8_t SiS5595Host::readByte(std::uint16_t port) {
    return offset(port) == 0x38 ? index_ : readRegister(index_);
}

void SiS5595Host::writeByte(std::uint16_t port, std::uint8_t value) {
    if (offset(port) == 0x38)
        index_ = value;
    else
        writeRegister(index_, value);
}

std::uint8_t SiS5595Host::readRegister(std::uint8_t reg) {
    if (reg >= regs_.size()) return 0xFF;
    if (reg == Reg::StsLo) {
        const bool busy = pollBusy() || killed_;  // may end the transfer and set its bits
        return static_cast<std::uint8_t>(regs_[reg] | (busy ? SiS5595Sts::Busy : 0));
    }
    return regs_[reg];
}

void SiS5595Host::writeRegister(std::uint8_t reg, std::uint8_t value) {
    if (reg >= regs_.size()) return;
    switch (reg) {
        case Reg::StsLo:
            regs_[reg] = static_cast<std::uint8_t>(regs_[reg] & ~(value & clearable(SiS5595Sts::Errors, SiS5595Sts::Done)));
            break;
        case Reg::StsHi: regs_[reg] = static_cast<std::uint8_t>(regs_[reg] & ~value); break;
        case Reg::CtlLo:
            regs_[reg] = static_cast<std::uint8_t>(value & ~(Ctl::Start | Ctl::Kill));
            if (value & Ctl::Kill) {
                const bool wasStuck = timing().stuck != SMBusHostTiming::Stuck::No;
                reset(1);
                killed_ = wasStuck || running();
            }
            if (value & Ctl::Start) start();
            break;
        default: regs_[reg] = value; break;
    }
}

void SiS5595Host::start() {
    killed_ = false;
    const std::uint8_t code = regs_[Reg::CtlLo] & 0x0E;
    int number = -1;
    for (int i = 0; i < 5; ++i) {
        if (SiS5595Protocols[i] == code) number = i;
    }
    if (number < 0) {
        regs_[Reg::StsLo] |= SiS5595Sts::DeviceError | SiS5595Sts::Done;
        return;
    }
    const std::uint8_t address = regs_[Reg::Addr];
    pending_ = {static_cast<std::uint8_t>(address >> 1), protocolOf(number), (address & 1) != 0, regs_[Reg::Cmd],
                regs_[Reg::Data0], regs_[Reg::Data1], {}};
    begin(pending_);  // blocks move no data on this host
}

void SiS5595Host::finished(SMBusSegment::Status outcome) {
    switch (outcome) {
        case SMBusSegment::Status::Done:
            regs_[Reg::StsLo] |= SiS5595Sts::Done;
            if (pending_.read && pending_.protocol != SMBusProtocol::Block) {
                regs_[Reg::Data0] = segment().data0();
                regs_[Reg::Data1] = segment().data1();
            }
            break;
        case SMBusSegment::Status::NoAck:
            regs_[Reg::StsLo] |= SiS5595Sts::DeviceError | SiS5595Sts::Done;
            regs_[Reg::Data0] = regs_[Reg::Data1] = floating();
            break;
        case SMBusSegment::Status::Collision: regs_[Reg::StsLo] |= SiS5595Sts::Collision | SiS5595Sts::Done; break;
        default: regs_[Reg::StsLo] |= SiS5595Sts::DeviceError | SiS5595Sts::Done; break;
    }
}

void SiS5595Host::aborted() { regs_[Reg::StsLo] |= SiS5595Sts::DeviceError; }

}  // namespace platform::sim
