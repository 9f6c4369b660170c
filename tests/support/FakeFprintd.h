#pragma once

#include "PrivateBus.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>

namespace quillory::test {

// fprintd's default device, as far as Quillory talks to it.
class FakeFprintdDevice final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.reactivated.Fprint.Device")

public:
    QStringList enrolledFingers;
    // The final VerifyStatus a verification ends with ("verify-match", "verify-no-match", ...).
    QString verifyResult = QStringLiteral("verify-match");
    int answerDelayMilliseconds = 20;
    bool claimed = false;
    int claims = 0;
    int releases = 0;
    int verifications = 0;

public slots:
    QStringList ListEnrolledFingers(const QString &username);
    void Claim(const QString &username);
    void Release();
    void VerifyStart(const QString &finger);
    void VerifyStop();

signals:
    void VerifyStatus(const QString &result, bool done);
};

class FakeFprintdManager final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.reactivated.Fprint.Manager")

public:
    bool hasDevice = true;

public slots:
    QDBusObjectPath GetDefaultDevice();
};

// A small fprintd on a bus of the test's own, standing in for the system bus: tests cannot
// enrol a finger on a real reader.
class FakeFprintd final
{
public:
    FakeFprintd();
    ~FakeFprintd();
    FakeFprintd(const FakeFprintd &) = delete;
    FakeFprintd &operator=(const FakeFprintd &) = delete;

    // The connection the code under test uses as its system bus.
    QDBusConnection client() { return m_bus.connect(QStringLiteral("fprintd-client")); }
    bool isRunning() const { return m_running; }

    FakeFprintdManager manager;
    FakeFprintdDevice device;

private:
    PrivateBus m_bus;
    QDBusConnection m_service{QString()};
    bool m_running = false;
};

} // namespace quillory::test
