#include "net/cvxap.h"

#include <QHostAddress>
#include <QUdpSocket>

#include "base/cvformat.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t IdCharacters = 16;

// The first 16 characters, never half a UTF-8 sequence; control characters
// and braces would break the message's block structure.
std::string XapId(const std::string& name) {
    std::string id;
    std::size_t characters = 0;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (!continuation && ++characters > IdCharacters) break;
        id += byte < 0x20 || byte == 0x7F || c == '{' || c == '}' ? '_' : c;
    }
    return id;
}

std::string XapFormat(const char* picture, std::initializer_list<cvformat::FormatArg> args) {
    return cvformat::Format(picture, args, cvformat::Invariant());
}

}  // namespace

std::string BroadcastAddressOf(const std::string& hostAddress) {
    std::size_t dot = std::string::npos;
    for (int found = 0; found < 3; ++found) {
        dot = hostAddress.find('.', dot + 1);
        if (dot == std::string::npos) return hostAddress;
    }
    return hostAddress.substr(0, dot + 1) + "255";
}

void TUdpXapTransport::Send(const std::string& localAddress, const std::string& destination, std::uint16_t port,
                            const std::string& datagram) {
    const QHostAddress local(QString::fromStdString(localAddress));
    const QHostAddress target(QString::fromStdString(destination));
    if (local.isNull() || target.isNull()) return;
    QUdpSocket socket;
    if (!socket.bind(local, 0, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) return;
    socket.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()), target, port);
}

TCaldavorXAP::TCaldavorXAP(const TReadingSlots& readingSlots, const TSensorList& sensors, std::uint16_t port,
                           std::unique_ptr<TXapTransport> transport)
    : slots_(readingSlots), sensors_(sensors), port_(port), transport_(std::move(transport)) {
    platform::Platform& machine = platform::current();
    settings_.HostName = machine.computerName();
    settings_.HostIP = machine.ipv4Address();
    settings_.BroadcastIP = BroadcastAddressOf(settings_.HostIP);
    timer_.setInterval(FirstIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { HeartbeatTimer(); });
    timer_.start();
}

void TCaldavorXAP::SetSettings(const TXapSettings& settings) {
    settings_ = settings;
    if (!settings_.Enabled && timer_.interval() != FirstIntervalMs) timer_.start(FirstIntervalMs);
}

// The socket sends at once, so no earlier datagram is ever still under way.
void TCaldavorXAP::Broadcast(const std::string& msg) {
    transport_->Send(settings_.HostIP, settings_.BroadcastIP, port_, msg);
}

void TCaldavorXAP::HeartbeatTimer() {
    timer_.stop();
    if (settings_.Enabled) {
        Broadcast(BuildHeartbeat());
        timer_.setInterval(HeartbeatInterval * 1000);
    }
    timer_.start();
}

std::string TCaldavorXAP::Header(const std::string& firstLine, const std::string& xapClass) const {
    return firstLine + "\n{\nv=12\nhop=1\n" + XapFormat("uid=%.8x\n", {settings_.UID}) + "class=" + xapClass +
           "\nsource=Nostrel.Caldavor." + settings_.HostName + "\n";
}

std::string TCaldavorXAP::BuildHeartbeat() const {
    return Header("xAP-hbeat", "xap-hbeat.alive") + "interval=60\n}\n";
}

std::string TCaldavorXAP::BuildPCStatusMessage(int selection) {
    std::string msg = Header("xAP-header", "PC.status") + "}\n";
    // A block that would make the datagram too long is left out; a later,
    // shorter one may still fit.
    const auto append = [&msg](const std::string& block) {
        if (msg.size() + block.size() < MaxMessageBytes) msg += block;
    };
    if (selection & 1) {
        for (std::size_t i = 0; i < slots_.TempSlots.size(); ++i) {
            const TTempReadingData& slot = slots_.TempSlots[i];
            if (!slot.Active) continue;
            const double value = SlotStats(sensors_, TReadingKind::Temp, slot).Last();
            append(XapFormat("temp.%d\n{\nid=%s\ncurr=%.1f\nwant=%d\nwarn=%d\n}\n",
                             {static_cast<int>(i) + 1, XapId(slot.Name), value, slot.Wanted, slot.Warning}));
        }
    }
    if (selection & 2) {
        for (std::size_t i = 0; i < slots_.FanSlots.size(); ++i) {
            const TReadingData& slot = slots_.FanSlots[i];
            if (!slot.Active) continue;
            const double value = SlotStats(sensors_, TReadingKind::Fan, slot).Last();
            append(XapFormat("fan.%d\n{\nid=%s\ncurr=%.0f\n}\n", {static_cast<int>(i) + 1, XapId(slot.Name), value}));
        }
    }
    return msg;
}
