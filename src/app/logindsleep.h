#pragma once
// The native system's suspends and resumes: logind announces them on the
// system bus (PrepareForSleep), and a delay inhibitor lets the suspend
// sequence finish before the machine sleeps. The announcements reach the
// window as power events of the platform.

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include "platform/sleepwatch.h"

class TLogindSleep : public QObject, private platform::SleepDelayLock {
    Q_OBJECT

public:
    // Installs itself as the platform's power-event source. Without a system
    // bus it writes one trace line and delivers nothing.
    explicit TLogindSleep(platform::Platform& platform, const QDBusConnection& bus = QDBusConnection::systemBus());
    ~TLogindSleep() override;
    TLogindSleep(const TLogindSleep&) = delete;
    TLogindSleep& operator=(const TLogindSleep&) = delete;

private slots:
    void PrepareForSleep(bool sleeping);

private:
    bool take() override;
    void release() override;

    platform::Platform& platform_;
    QDBusConnection bus_;
    platform::SleepWatch watch_{*this};
    QDBusUnixFileDescriptor lock_;  // the inhibitor lasts as long as this descriptor
};
