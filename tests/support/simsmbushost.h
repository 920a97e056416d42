#pragma once
// A host controller for the SMBus frame's tests and benchmarks: it hands each
// request whole to a simulated segment and waits for it on the segment's busy
// state, so the engine's steps, bounded waits and outcome codes run against
// a device that answers at the protocol level.

#include <memory>

#include "hw/cvlink.h"
#include "hw/cvsmbushost.h"
#include "platform/sim/smbussegment.h"

namespace testsupport {

class SimProtocolHost : public TSMBusHost {
public:
    SimProtocolHost(TLink& link, platform::sim::SMBusSegment& segment) : TSMBusHost(link), segment_(segment) {}

    // A factory for TLink's constructor.
    static TSMBusHostFactory On(platform::sim::SMBusSegment& segment) {
        return [&segment](TLink& link) { return std::make_unique<SimProtocolHost>(link, segment); };
    }

    bool Prepare(const TSMBusRequest& request) override {
        pending_ = {request.Address, static_cast<platform::sim::SMBusProtocol>(request.Protocol), request.Read,
                    request.Command, request.Data0, request.Data1,
                    request.Block ? *request.Block : TSMBBlockData{}};
        return true;
    }
    void StartTransaction(const TSMBusRequest&) override { segment_.start(pending_); }
    void WaitForEnd() override {
        pollsLeft_ = BoundedWait(Link(), PollLimit, [this] { return !segment_.busy(); });
    }
    bool DecodeError(const TSMBusRequest&) override {
        using Status = platform::sim::SMBusSegment::Status;
        if (pollsLeft_ == 0) {
            Link().SetLastError(SMBusErrors::TimeoutEnd);
            return false;
        }
        switch (segment_.status()) {
            case Status::Done:
                return true;
            case Status::Collision:
                Link().SetLastError(SMBusErrors::Collision);
                return false;
            case Status::NoAck:
                Link().SetLastError(SMBusErrors::NoAck);
                return false;
            default:
                return false;
        }
    }
    std::uint8_t ResultByte() override { return segment_.data0(); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {segment_.data0(), segment_.data1()}; }
    TSMBBlockData BlockResult() override { return segment_.block(); }

private:
    platform::sim::SMBusSegment& segment_;
    platform::sim::SMBusRequest pending_;
    int pollsLeft_ = 0;
};

}  // namespace testsupport
