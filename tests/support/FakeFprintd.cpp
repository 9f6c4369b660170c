#include "FakeFprintd.h"

#include <QTimer>

namespace quillory::test {

namespace {
const QString devicePath = QStringLiteral("/net/reactivated/Fprint/Device/0");
const QString errorPrefix = QStringLiteral("net.reactivated.Fprint.Error.");
} // namespace

QStringList FakeFprintdDevice::ListEnrolledFingers(const QString &)
{
    if (enrolledFingers.isEmpty())
        sendErrorReply(errorPrefix + QStringLiteral("NoEnrolledPrints"),
                       QStringLiteral("Failed to discover prints"));
    return enrolledFingers;
}

void FakeFprintdDevice::Claim(const QString &)
{
    if (claimed) {
        sendErrorReply(errorPrefix + QStringLiteral("AlreadyInUse"),
                       QStringLiteral("Device was already claimed"));
        return;
    }
    claimed = true;
    ++claims;
}

void FakeFprintdDevice::Release()
{
    claimed = false;
    ++releases;
}

void FakeFprintdDevice::VerifyStart(const QString &)
{
    ++verifications;
    // A reader first asks for another touch, then answers.
    QTimer::singleShot(answerDelayMilliseconds, this, [this] {
        emit VerifyStatus(QStringLiteral("verify-retry-scan"), false);
        emit VerifyStatus(verifyResult, true);
    });
}

void FakeFprintdDevice::VerifyStop()
{
}

QDBusObjectPath FakeFprintdManager::GetDefaultDevice()
{
    if (!hasDevice) {
        sendErrorReply(errorPrefix + QStringLiteral("NoSuchDevice"),
                       QStringLiteral("No devices available"));
        return {};
    }
    return QDBusObjectPath(devicePath);
}

FakeFprintd::FakeFprintd()
{
    if (m_bus.address().isEmpty())
        return;
    m_service = m_bus.connect(QStringLiteral("fprintd-service"));
    m_running = m_service.registerObject(QStringLiteral("/net/reactivated/Fprint/Manager"),
                                         &manager, QDBusConnection::ExportAllSlots) &&
                m_service.registerObject(devicePath, &device,
                                         QDBusConnection::ExportAllSlots |
                                             QDBusConnection::ExportAllSignals) &&
                m_service.registerService(QStringLiteral("net.reactivated.Fprint"));
}

FakeFprintd::~FakeFprintd()
{
    m_service.unregisterObject(devicePath);
    m_service.unregisterObject(QStringLiteral("/net/reactivated/Fprint/Manager"));
}

} // namespace quillory::test
