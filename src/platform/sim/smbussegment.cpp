#include "platform/sim/smbussegment.h"

#include <algorithm>
#include <stdexcept>

namespace platform::sim {

SMBusSlave::SMBusSlave(std::shared_ptr<RegisterFile> registers) : registers_(std::move(registers)) {
    if (!registers_) throw std::invalid_argument("SMBus slave without registers");
}

std::vector<std::uint8_t> SMBusSlave::blockRead() const {
    if (!countByte_ || *countByte_ >= block_.size()) return block_;
    const std::size_t count = std::min<std::size_t>(block_[*countByte_], block_.size());
    return {block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(count)};
}

void SMBusSlave::blockWrite(const std::vector<std::uint8_t>& data) {
    if (!registerBlock_ || data.size() >= block_.size()) {
        block_ = data;
        return;
    }
    std::copy(data.begin(), data.end(), block_.begin());
}

SMBusFault::Kind SMBusSlave::takeFault(std::optional<SMBusProtocol> protocol) {
    if (fault_.kind == SMBusFault::Kind::None || fault_.times == 0) return SMBusFault::Kind::None;
    if (faultProtocol_ && faultProtocol_ != protocol) return SMBusFault::Kind::None;
    if (fault_.times > 0) --fault_.times;
    return fault_.kind;
}

void SMBusSegment::attach(std::uint8_t address, std::shared_ptr<SMBusSlave> slave) {
    if (address > 0x7F) throw std::invalid_argument("SMBus addresses have 7 bits");
    if (!slave) throw std::invalid_argument("no SMBus slave given");
    slaves_[address] = std::move(slave);
}

std::shared_ptr<SMBusSlave> SMBusSegment::slave(std::uint8_t address) const {
    const auto it = slaves_.find(address);
    return it == slaves_.end() ? nullptr : it->second;
}

void SMBusSegment::start(const SMBusRequest& request) {
    if (recording_) {
        requests_.push_back(request);
        locks_.note();
    }
    busyLeft_ = busyPolls_;
    status_ = run(request);
}

bool SMBusSegment::busy() {
    if (status_ == Status::Timeout) return true;
    if (busyLeft_ > 0) {
        --busyLeft_;
        return true;
    }
    return false;
}

void SMBusSegment::move(std::uint8_t from, std::uint8_t to) {
    if (from == to || slaves_.count(to)) return;  // an address in use keeps its owner
    slaves_[to] = std::move(slaves_[from]);
    slaves_.erase(from);
}

void SMBusSegment::moveSlave(const SMBusSlave& slave, std::uint8_t to) {
    for (const auto& [address, device] : slaves_) {
        if (device.get() == &slave) {
            move(address, to);
            return;
        }
    }
}

SMBusSegment::Status SMBusSegment::run(const SMBusRequest& request) {
    const std::uint8_t address = request.address & 0x7F;
    const auto device = slave(address);
    if (!device) {
        if (!floating_) return Status::NoAck;
        data0_ = data1_ = *floating_;
        blockResult_.clear();
        return Status::Done;
    }
    switch (device->takeFault(request.protocol)) {
        case SMBusFault::Kind::Nack:
            return Status::NoAck;
        case SMBusFault::Kind::Collision:
            return Status::Collision;
        case SMBusFault::Kind::Timeout:
            return Status::Timeout;
        case SMBusFault::Kind::AllOnes:
            data0_ = data1_ = 0xFF;
            blockResult_.assign(0xFF, 0xFF);
            return Status::Done;
        case SMBusFault::Kind::None:
            break;
    }
    if (!device->answers(request.protocol)) return Status::NoAck;
    RegisterFile& regs = device->registers();
    switch (request.protocol) {
        case SMBusProtocol::Quick:
            break;
        case SMBusProtocol::Byte:
            if (!request.read) {
                device->pointer = request.command;
            } else if (const auto value = regs.readChecked(device->pointer)) {
                data0_ = *value;
            } else {
                return Status::NoAck;
            }
            break;
        case SMBusProtocol::ByteData:
            if (!request.read) {
                regs.write(request.command, request.data0);
                if (device->addressRegister() == request.command) move(address, regs.peek(request.command) & 0x7F);
            } else if (const auto value = regs.readChecked(request.command)) {
                data0_ = *value;
            } else {
                return Status::NoAck;
            }
            break;
        case SMBusProtocol::WordData:
            if (!request.read) {
                regs.writeWordBytes(request.command, request.data0, request.data1);
            } else if (const auto bytes = regs.readWordBytes(request.command)) {
                data0_ = bytes->first;
                data1_ = bytes->second;
            } else {
                return Status::NoAck;
            }
            break;
        case SMBusProtocol::Block:
            if (request.read) {
                blockResult_ = device->blockRead();
                data0_ = static_cast<std::uint8_t>(blockResult_.size());
            } else {
                device->blockWrite(request.block);
            }
            break;
    }
    return Status::Done;
}

}  // namespace platform::sim
