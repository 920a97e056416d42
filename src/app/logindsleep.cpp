#include "app/logindsleep.h"

#include <QDBusMessage>
#include <QDBusReply>

#include "platform/tracesink.h"

namespace {

const QString Login1 = "org.freedesktop.login1";
const QString Login1Path = "/org/freedesktop/login1";
const QString Login1Manager = "org.freedesktop.login1.Manager";

}  // namespace

TLogindSleep::TLogindSleep(platform::Platform& platform, const QDBusConnection& bus)
    : platform_(platform), bus_(bus) {
    if (!bus_.isConnected()) {
        platform::traceLine("No system bus, no suspend and resume events: " +
                            bus_.lastError().message().toStdString());
        return;
    }
    bus_.connect(Login1, Login1Path, Login1Manager, "PrepareForSleep", this, SLOT(PrepareForSleep(bool)));
    platform_.setPowerEventSource(&watch_);
    watch_.start();
}

TLogindSleep::~TLogindSleep() {
    platform_.setPowerEventSource(nullptr);
    if (bus_.isConnected())
        bus_.disconnect(Login1, Login1Path, Login1Manager, "PrepareForSleep", this, SLOT(PrepareForSleep(bool)));
}

void TLogindSleep::PrepareForSleep(bool sleeping) { watch_.prepareForSleep(sleeping); }

bool TLogindSleep::take() {
    QDBusMessage call = QDBusMessage::createMethodCall(Login1, Login1Path, Login1Manager, "Inhibit");
    call << QString("sleep") << QString("Caldavor") << QString("Fans and sensors prepare for the suspend")
         << QString("delay");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus_.call(call);
    if (!reply.isValid()) return false;
    lock_ = reply.value();
    return lock_.isValid();
}

void TLogindSleep::release() { lock_ = QDBusUnixFileDescriptor(); }
