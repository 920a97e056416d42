#include "platform/sim/smbussegment.h"

#include <stdexcept>

namespace platform::sim {

SMBusSlave::SMBusSlave(std::shared_ptr<RegisterFile> registers) : registers_(std::move(registers)) {
    if (!registers_) throw std::invalid_argument("SMBus slave without registers");
}

SMBusFault::Kind SMBusSlave::takeFault() {
    if (fault_.kind == SMBusFault::Kind::None || fault_.times == 0) return SMBusFault::Kind::None;
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
    if (recording_) requests_.push_back(request);
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

SMBusSegment::Status SMBusSegment::run(const SMBusRequest& request) {
    const auto device = slave(request.address & 0x7F);
    if (!device) return Status::NoAck;
    switch (device->takeFault()) {
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
    RegisterFile& regs = device->registers();
    const std::uint8_t next = static_cast<std::uint8_t>(request.command + 1);
    switch (request.protocol) {
        case SMBusProtocol::Quick:
            break;
        case SMBusProtocol::Byte:
            if (request.read)
                data0_ = regs.read(device->pointer);
            else
                device->pointer = request.command;
            break;
        case SMBusProtocol::ByteData:
            if (request.read)
                data0_ = regs.read(request.command);
            else
                regs.write(request.command, request.data0);
            break;
        case SMBusProtocol::WordData:
            if (request.read) {
                data0_ = regs.read(request.command);
                data1_ = regs.read(next);
            } else {
                regs.write(request.command, request.data0);
                regs.write(next, request.data1);
            }
            break;
        case SMBusProtocol::Block:
            if (request.read) {
                blockResult_ = device->block();
                data0_ = static_cast<std::uint8_t>(blockResult_.size());
            } else {
                device->setBlock(request.block);
            }
            break;
    }
    return Status::Done;
}

}  // namespace platform::sim
