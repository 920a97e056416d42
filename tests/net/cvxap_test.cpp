#include "net/cvxap.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "core/fakesensor.h"
#include "support/testmachine.h"

namespace {

struct TDatagram {
    std::string Local, Destination;
    std::uint16_t Port = 0;
    std::string Bytes;
};

// Keeps what would have left, so addresses that are not ours never reach the wire.
class TRecordingTransport : public TXapTransport {
public:
    explicit TRecordingTransport(std::vector<TDatagram>& sent) : sent_(sent) {}
    void Send(const std::string& local, const std::string& destination, std::uint16_t port,
              const std::string& datagram) override {
        sent_.push_back({local, destination, port, datagram});
    }

private:
    std::vector<TDatagram>& sent_;
};

const std::string StatusHeader =
    "xAP-header\n{\nv=12\nhop=1\nuid=FF671100\nclass=PC.status\nsource=Nostrel.Caldavor.THISPC\n}\n";

class Xap : public ::testing::Test {
protected:
    Xap() {
        machine->identity().computerName = "THISPC";
        machine->identity().ipv4 = "10.0.0.7";
        platform::LocaleInfo locale = machine->locale();
        locale.decimalSeparator = ',';
        machine->setLocale(locale);
    }
    std::unique_ptr<TCaldavorXAP> Recorded() {
        return std::make_unique<TCaldavorXAP>(readingSlots, sensors, TCaldavorXAP::XapPort,
                                              std::make_unique<TRecordingTransport>(sent));
    }
    TTempReadingData& AddTemp(const std::string& name, int sensor, int reading, bool active = true) {
        TTempReadingData& slot = readingSlots.TempSlots.emplace_back();
        slot.Name = name;
        slot.SensorIndex = sensor;
        slot.ReadingIndex = reading;
        slot.Active = active;
        return slot;
    }
    void AddFan(const std::string& name, int sensor, int reading, bool active = true) {
        TReadingData& slot = readingSlots.FanSlots.emplace_back();
        slot.Name = name;
        slot.SensorIndex = sensor;
        slot.ReadingIndex = reading;
        slot.Active = active;
    }

    testsupport::TestMachine machine;
    TSensorList sensors;
    TReadingSlots readingSlots;
    std::vector<TDatagram> sent;
};

TEST(BroadcastAddress, TheHostPartAfterTheThirdDotBecomes255) {
    const std::pair<const char*, const char*> cases[] = {
        {"192.168.1.20", "192.168.1.255"}, {"10.0.0.7", "10.0.0.255"}, {"127.0.0.1", "127.0.0.255"},
        {"1.2.3.", "1.2.3.255"},           {"10.0", "10.0"},           {"", ""},
        {"a.b.c.d.e", "a.b.c.255"}};
    for (const auto& [host, broadcast] : cases) EXPECT_EQ(BroadcastAddressOf(host), broadcast) << host;
}

TEST_F(Xap, DefaultsComeFromTheMachine) {
    const TXapSettings settings = Recorded()->Settings();
    EXPECT_FALSE(settings.Enabled);
    EXPECT_EQ(settings.UID, 0xFF671100u);
    EXPECT_EQ(settings.HostName, "THISPC");
    EXPECT_EQ(settings.HostIP, "10.0.0.7");
    EXPECT_EQ(settings.BroadcastIP, "10.0.0.255");
}

TEST_F(Xap, HeartbeatBytes) {
    auto xap = Recorded();
    EXPECT_EQ(xap->BuildHeartbeat(),
              "xAP-hbeat\n{\nv=12\nhop=1\nuid=FF671100\nclass=xap-hbeat.alive\nsource=Nostrel.Caldavor.THISPC\n"
              "interval=60\n}\n");
    TXapSettings settings = xap->Settings();
    settings.UID = 0x1234;
    xap->SetSettings(settings);
    EXPECT_NE(xap->BuildHeartbeat().find("\nuid=00001234\n"), std::string::npos);
}

// Slot numbers keep their gaps, ids are cut to 16 characters and cleaned,
// numbers use a point under a comma locale, an unsampled slot sends 0.
TEST_F(Xap, StatusCarriesTheActiveSlotsOfTheSelection) {
    auto& board = coretest::AddFakeSensor(sensors, "board", {{"t1", "t2"}, {"f1"}, {}, {}});
    coretest::AddFakeSensor(sensors, "idle", {{"t"}, {"f"}, {}, {}});
    board.Sample(TReadingKind::Temp, {41.5, 40.04});
    board.Sample(TReadingKind::Fan, {2512.6});
    TTempReadingData& cpu = AddTemp("CPU", 0, 1);
    cpu.Wanted = 45;
    cpu.Warning = 60;
    AddTemp("hidden", 0, 2, false);
    AddTemp("Motherboard temperature", 1, 1);
    AddTemp("{Disk}\n1\x7F", 0, 2);
    AddTemp("\xC3\x84\xC3\x96\xC3\x9C" "abcdefghijklm\xE2\x82\xAC" "x", 0, 2);  // 18 characters, 22 bytes
    AddFan("CPU fan", 0, 1);
    AddFan("hidden", 0, 1, false);
    AddFan("Case", 1, 1);
    auto xap = Recorded();

    const std::string temps =
        "temp.1\n{\nid=CPU\ncurr=41.5\nwant=45\nwarn=60\n}\n"
        "temp.3\n{\nid=Motherboard temp\ncurr=0.0\nwant=0\nwarn=0\n}\n"
        "temp.4\n{\nid=_Disk__1_\ncurr=40.0\nwant=0\nwarn=0\n}\n"
        "temp.5\n{\nid=\xC3\x84\xC3\x96\xC3\x9C" "abcdefghijklm\ncurr=40.0\nwant=0\nwarn=0\n}\n";
    const std::string fans = "fan.1\n{\nid=CPU fan\ncurr=2513\n}\nfan.3\n{\nid=Case\ncurr=0\n}\n";
    EXPECT_EQ(xap->BuildPCStatusMessage(3), StatusHeader + temps + fans);
    EXPECT_EQ(xap->BuildPCStatusMessage(1), StatusHeader + temps);
    EXPECT_EQ(xap->BuildPCStatusMessage(2), StatusHeader + fans);
    EXPECT_EQ(xap->BuildPCStatusMessage(0), StatusHeader);
}

// A block that would make the datagram reach 1450 bytes is skipped; the
// shorter fan block after it still goes.
TEST_F(Xap, StatusStaysBelow1450Bytes) {
    coretest::AddFakeSensor(sensors, "board", {{"t"}, {"f"}, {}, {}});
    for (int i = 0; i < 40; ++i) AddTemp("Temperature slot " + std::to_string(i), 0, 1);
    AddFan("F", 0, 1);
    const std::string msg = Recorded()->BuildPCStatusMessage(3);
    EXPECT_LT(msg.size(), 1450u);

    const std::string tempBlock = "temp.NN\n{\nid=Temperature slot\ncurr=0.0\nwant=0\nwarn=0\n}\n";
    const std::string fanBlock = "fan.1\n{\nid=F\ncurr=0\n}\n";
    ASSERT_TRUE(msg.ends_with(fanBlock));
    int temps = 0;
    for (std::size_t at = 0; (at = msg.find("temp.", at)) != std::string::npos; ++at) ++temps;
    EXPECT_GT(temps, 10);
    EXPECT_LT(temps, 40);
    EXPECT_NE(msg.find("temp." + std::to_string(temps) + "\n"), std::string::npos);  // the first ones, in order
    EXPECT_GE(msg.size() - fanBlock.size() + tempBlock.size(), 1450u);  // the next one would not fit
}

TEST_F(Xap, HeartbeatTimerWaitsForEnablingThenBeatsEveryMinute) {
    auto xap = Recorded();
    EXPECT_TRUE(xap->TimerActive());
    EXPECT_EQ(xap->TimerInterval(), 250);
    xap->HeartbeatTimer();
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(xap->TimerInterval(), 250);

    TXapSettings settings = xap->Settings();
    settings.Enabled = true;
    xap->SetSettings(settings);
    xap->HeartbeatTimer();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Bytes, xap->BuildHeartbeat());
    EXPECT_EQ(sent[0].Local, "10.0.0.7");
    EXPECT_EQ(sent[0].Destination, "10.0.0.255");
    EXPECT_EQ(sent[0].Port, 3639);
    EXPECT_EQ(xap->TimerInterval(), 60000);
    EXPECT_TRUE(xap->TimerActive());

    settings.Enabled = false;
    xap->SetSettings(settings);
    EXPECT_EQ(xap->TimerInterval(), 250) << "a later enable beats at once";
    EXPECT_TRUE(xap->TimerActive());
}

// Runs the event loop until a datagram arrives: the milliseconds it took, or
// -1 when none came within the limit.
qint64 MsUntilDatagram(QUdpSocket& listener, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs) {
        QCoreApplication::processEvents();
        if (listener.hasPendingDatagrams() || listener.waitForReadyRead(5)) {
            listener.receiveDatagram();
            return clock.elapsed();
        }
    }
    return -1;
}

// The heartbeat timer as it runs, datagrams on loopback.
TEST_F(Xap, EnableDisableEnableBeatsWithinAQuarterSecondEachTime) {
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 0));
    TCaldavorXAP xap(readingSlots, sensors, listener.localPort());
    TXapSettings settings = xap.Settings();
    settings.HostIP = settings.BroadcastIP = "127.0.0.1";
    settings.Enabled = true;
    xap.SetSettings(settings);
    // 250 ms at most, with room for a loaded machine.
    const qint64 first = MsUntilDatagram(listener, 2000);
    EXPECT_GE(first, 0);
    EXPECT_LT(first, 1000);

    settings.Enabled = false;
    xap.SetSettings(settings);
    EXPECT_EQ(MsUntilDatagram(listener, 600), -1) << "silent while disabled";

    settings.Enabled = true;
    xap.SetSettings(settings);
    const qint64 again = MsUntilDatagram(listener, 3000);
    EXPECT_GE(again, 0) << "not a minute later";
    EXPECT_LT(again, 1000);
}

// The real socket on loopback, at a port of the test's own.
TEST_F(Xap, OneDatagramReachesAListenerOnLoopback) {
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 0));
    TCaldavorXAP xap(readingSlots, sensors, listener.localPort());
    TXapSettings settings = xap.Settings();
    settings.HostIP = "192.0.2.99";  // not this machine's: nothing is sent
    settings.BroadcastIP = "127.0.0.1";
    xap.SetSettings(settings);
    xap.Broadcast("lost");
    settings.HostIP = "not an address";
    xap.SetSettings(settings);
    xap.Broadcast("lost too");

    settings.HostIP = "127.0.0.1";
    xap.SetSettings(settings);
    const std::string heartbeat = xap.BuildHeartbeat();
    xap.Broadcast(heartbeat);
    ASSERT_TRUE(listener.hasPendingDatagrams() || listener.waitForReadyRead(5000));
    const QNetworkDatagram datagram = listener.receiveDatagram();
    EXPECT_EQ(datagram.data().toStdString(), heartbeat);
    EXPECT_EQ(datagram.senderAddress(), QHostAddress(QHostAddress::LocalHost));
    EXPECT_FALSE(listener.hasPendingDatagrams());
}

}  // namespace
