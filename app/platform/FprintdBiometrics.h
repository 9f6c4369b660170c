#pragma once

#include <platform/Biometrics.h>

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <functional>

class QDBusPendingCall;
class QDBusMessage;

namespace quillory {

// Fingerprint readers through fprintd (net.reactivated.Fprint on the system bus): available
// when the default device has fingers enrolled for this user; a verification claims the
// device, waits for its final VerifyStatus and releases it again.
class FprintdBiometrics final : public Biometrics
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FprintdBiometrics)

public:
    explicit FprintdBiometrics(const QDBusConnection &bus = QDBusConnection::systemBus());
    ~FprintdBiometrics() override;

    static inline const QString service = QStringLiteral("net.reactivated.Fprint");
    static inline const QString managerPath = QStringLiteral("/net/reactivated/Fprint/Manager");
    static inline const QString managerInterface = QStringLiteral("net.reactivated.Fprint.Manager");
    static inline const QString deviceInterface = QStringLiteral("net.reactivated.Fprint.Device");

    void checkAvailability() override;
    QString typeName() const override;
    void verify() override;
    void cancelVerify() override;

private slots:
    void onVerifyStatus(const QString &result, bool done);

private:
    using Reply = std::function<void(const QDBusMessage &reply)>;
    void call(const QString &path, const QString &interface, const QString &method,
              const QVariantList &arguments, Reply onReply);
    void withDefaultDevice(std::function<void(const QString &devicePath)> then,
                           std::function<void(const QString &problem)> otherwise);
    void startVerifying(const QString &devicePath);
    void finishVerifying(Outcome outcome, const QString &problem);
    void release();

    QDBusConnection m_bus;
    QString m_verifyingDevice;
    bool m_claimed = false;
    // Bumped by each verify() and cancelVerify(), so answers to an earlier one are dropped.
    int m_attempt = 0;
};

} // namespace quillory
