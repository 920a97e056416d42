#include "platform/sim/mchspd.h"

namespace platform::sim {

namespace {
constexpr std::uint16_t Busy = 0x1000;
constexpr std::uint16_t DataReady = 0x8000;

bool overlaps(unsigned offset, int width, unsigned reg, unsigned size) {
    return offset < reg + size && reg < offset + static_cast<unsigned>(width);
}
}  // namespace

MchSpd::MchSpd(std::uint8_t commandRegister, std::uint8_t statusRegister, std::shared_ptr<SMBusSegment> segment)
    : command_(commandRegister), status_(statusRegister), segment_(std::move(segment)) {}

void MchSpd::afterWrite(PciConfigSpace& config, unsigned offset, int width) {
    if (!overlaps(offset, width, command_, 4)) return;
    std::uint32_t dword = 0;
    for (unsigned i = 0; i < 4; ++i) dword |= std::uint32_t{config[(command_ + i) & 0xFF]} << (8 * i);
    if (dword & 1) return;
    ++starts_;
    const auto address = static_cast<std::uint8_t>((dword >> 24 & 0x0F) | (dword >> 29 & 0x07) << 4);
    SMBusRequest request;
    request.address = address;
    request.protocol = SMBusProtocol::ByteData;
    request.read = true;
    request.command = static_cast<std::uint8_t>(dword >> 16);
    segment_->start(request);
    ready_ = !neverReady_ && segment_->status() == SMBusSegment::Status::Done;
    data_ = segment_->data0();
    busyLeft_ = busyReads_;
}

void MchSpd::beforeRead(PciConfigSpace& config, unsigned offset, int width) {
    if (!overlaps(offset, width, status_, 2)) return;
    std::uint16_t status = 0;
    if (busyLeft_ != 0) {
        if (busyLeft_ > 0) --busyLeft_;
        status = Busy;
    } else if (ready_) {
        status = static_cast<std::uint16_t>(DataReady | data_);
    }
    config[status_] = static_cast<std::uint8_t>(status);
    config[(status_ + 1) & 0xFF] = static_cast<std::uint8_t>(status >> 8);
}

}  // namespace platform::sim
