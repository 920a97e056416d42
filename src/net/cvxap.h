#pragma once
// The xAP sender: a heartbeat every 60 seconds and, when the main tick asks,
// a "PC.status" message with the temperatures and fan speeds, each as one
// UDP datagram to the broadcast address. Silent while disabled.

#include <cstdint>
#include <memory>
#include <string>

#include <QTimer>

#include "core/cvreadingslots.h"
#include "core/cvservices.h"

// 192.168.1.20 gives 192.168.1.255; a text with fewer than three dots stays.
std::string BroadcastAddressOf(const std::string& hostAddress);

// How a datagram leaves: a UDP socket in the program, a recorder in tests.
class TXapTransport {
public:
    virtual ~TXapTransport() = default;
    // From localAddress (any port) to destination:port; failures stay silent.
    virtual void Send(const std::string& localAddress, const std::string& destination, std::uint16_t port,
                      const std::string& datagram) = 0;
};

// A socket bound for each datagram and closed after it.
class TUdpXapTransport : public TXapTransport {
public:
    void Send(const std::string& localAddress, const std::string& destination, std::uint16_t port,
              const std::string& datagram) override;
};

class TCaldavorXAP : public TXapSender {
public:
    static constexpr std::uint16_t XapPort = 3639;
    static constexpr int FirstIntervalMs = 250;
    static constexpr int HeartbeatInterval = 60;  // seconds
    static constexpr std::size_t MaxMessageBytes = 1450;

    // The readings are read when a status is built; they must outlive the sender.
    TCaldavorXAP(const TReadingSlots& readingSlots, const TSensorList& sensors, std::uint16_t port = XapPort,
                 std::unique_ptr<TXapTransport> transport = std::make_unique<TUdpXapTransport>());

    TXapSettings Settings() const override { return settings_; }
    // A disable takes the heartbeat back to its first interval, so the next
    // enable beats at once.
    void SetSettings(const TXapSettings& settings) override;
    void Broadcast(const std::string& msg) override;
    // Selection: bit 0 temperatures, bit 1 fans.
    std::string BuildPCStatusMessage(int selection) override;
    std::string BuildHeartbeat() const;

    // The timer's handler.
    void HeartbeatTimer();
    int TimerInterval() const { return timer_.interval(); }
    bool TimerActive() const { return timer_.isActive(); }

private:
    std::string Header(const std::string& firstLine, const std::string& xapClass) const;

    const TReadingSlots& slots_;
    const TSensorList& sensors_;
    std::uint16_t port_;
    std::unique_ptr<TXapTransport> transport_;
    TXapSettings settings_;
    QTimer timer_;
};
