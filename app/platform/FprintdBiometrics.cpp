#include <platform/FprintdBiometrics.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quillory {

namespace {

bool isError(const QDBusMessage &reply)
{
    return reply.type() != QDBusMessage::ReplyMessage;
}

// A reader that does not answer within this time is treated as absent.
constexpr int callTimeoutMilliseconds = 5000;

} // namespace

FprintdBiometrics::FprintdBiometrics(const QDBusConnection &bus) : m_bus(bus)
{
}

FprintdBiometrics::~FprintdBiometrics()
{
    // Leaving a claimed device behind would lock other programs out of the reader.
    if (m_claimed)
        cancelVerify();
}

QString FprintdBiometrics::typeName() const
{
    return isAvailable() ? QStringLiteral("Fingerprint") : QStringLiteral("Biometric");
}

void FprintdBiometrics::call(const QString &path, const QString &interface, const QString &method,
                             const QVariantList &arguments, Reply onReply)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    auto *watcher =
        new QDBusPendingCallWatcher(m_bus.asyncCall(message, callTimeoutMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, onReply = std::move(onReply)] {
                watcher->deleteLater();
                if (onReply)
                    onReply(watcher->reply());
            });
}

void FprintdBiometrics::withDefaultDevice(std::function<void(const QString &)> then,
                                          std::function<void(const QString &)> otherwise)
{
    if (!m_bus.isConnected()) {
        otherwise(QStringLiteral("No system bus"));
        return;
    }
    call(managerPath, managerInterface, QStringLiteral("GetDefaultDevice"), {},
         [then = std::move(then), otherwise = std::move(otherwise)](const QDBusMessage &reply) {
             if (isError(reply) || reply.arguments().isEmpty()) {
                 otherwise(reply.errorMessage());
                 return;
             }
             then(qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path());
         });
}

void FprintdBiometrics::checkAvailability()
{
    withDefaultDevice(
        [this](const QString &devicePath) {
            call(devicePath, deviceInterface, QStringLiteral("ListEnrolledFingers"),
                 {QString()}, // the calling user
                 [this](const QDBusMessage &reply) {
                     setAvailable(!isError(reply) && !reply.arguments().isEmpty() &&
                                  !reply.arguments().constFirst().toStringList().isEmpty());
                 });
        },
        [this](const QString &) { setAvailable(false); });
}

void FprintdBiometrics::verify()
{
    cancelVerify();
    const int attempt = m_attempt;
    withDefaultDevice(
        [this, attempt](const QString &devicePath) {
            if (attempt != m_attempt)
                return;
            call(devicePath, deviceInterface, QStringLiteral("Claim"), {QString()},
                 [this, attempt, devicePath](const QDBusMessage &reply) {
                     if (attempt != m_attempt)
                         return;
                     if (isError(reply)) {
                         finishVerifying(Outcome::Failed, reply.errorMessage());
                         return;
                     }
                     m_claimed = true;
                     m_verifyingDevice = devicePath;
                     startVerifying(devicePath);
                 });
        },
        [this, attempt](const QString &problem) {
            if (attempt == m_attempt)
                finishVerifying(Outcome::Failed, problem);
        });
}

void FprintdBiometrics::startVerifying(const QString &devicePath)
{
    // QtDBus connects bus signals to slots by name only.
    m_bus.connect(service, devicePath, deviceInterface, QStringLiteral("VerifyStatus"), this,
                  SLOT(onVerifyStatus(QString, bool)));
    const int attempt = m_attempt;
    call(devicePath, deviceInterface, QStringLiteral("VerifyStart"), {QStringLiteral("any")},
         [this, attempt](const QDBusMessage &reply) {
             if (attempt == m_attempt && isError(reply))
                 finishVerifying(Outcome::Failed, reply.errorMessage());
         });
}

void FprintdBiometrics::onVerifyStatus(const QString &result, bool done)
{
    // "verify-retry-scan" and its like ask for another touch; only a final answer counts.
    if (!done || m_verifyingDevice.isEmpty())
        return;
    if (result == QLatin1String("verify-match"))
        finishVerifying(Outcome::Matched, QString());
    else if (result == QLatin1String("verify-no-match"))
        finishVerifying(Outcome::NoMatch, QString());
    else
        finishVerifying(Outcome::Failed, result);
}

void FprintdBiometrics::finishVerifying(Outcome outcome, const QString &problem)
{
    release();
    emit verifyFinished(outcome, problem);
}

void FprintdBiometrics::release()
{
    ++m_attempt;
    if (m_verifyingDevice.isEmpty()) {
        m_claimed = false;
        return;
    }
    m_bus.disconnect(service, m_verifyingDevice, deviceInterface, QStringLiteral("VerifyStatus"),
                     this, SLOT(onVerifyStatus(QString, bool)));
    const QString devicePath = m_verifyingDevice;
    m_verifyingDevice.clear();
    if (!m_claimed)
        return;
    m_claimed = false;
    // Stopping a verification that already ended is refused; the release still follows.
    QDBusMessage stop = QDBusMessage::createMethodCall(service, devicePath, deviceInterface,
                                                       QStringLiteral("VerifyStop"));
    m_bus.asyncCall(stop, callTimeoutMilliseconds);
    QDBusMessage releaseCall = QDBusMessage::createMethodCall(service, devicePath, deviceInterface,
                                                              QStringLiteral("Release"));
    m_bus.asyncCall(releaseCall, callTimeoutMilliseconds);
}

void FprintdBiometrics::cancelVerify()
{
    release();
}

std::unique_ptr<Biometrics> Biometrics::create()
{
    return std::make_unique<FprintdBiometrics>();
}

} // namespace quillory
