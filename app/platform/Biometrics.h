#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace quillory {

// The device's biometric reader. Every question goes to another process and is answered by
// a signal, so the window never waits on a reader that is slow or absent.
class Biometrics : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Biometrics)

public:
    enum class Outcome { Matched, NoMatch, Failed };

    ~Biometrics() override = default;

    // The implementation for this platform.
    static std::unique_ptr<Biometrics> create();

    // Asks whether a reader exists and the user has enrolled with it; the answer comes as
    // availabilityChanged() and is then kept in isAvailable().
    virtual void checkAvailability() = 0;
    bool isAvailable() const { return m_available; }
    // The reader's kind for labels ("Unlock with ..."); "Biometric" when it is not known.
    virtual QString typeName() const = 0;

    // Asks the user to present their finger (or face); the answer comes as verifyFinished().
    virtual void verify() = 0;
    // Gives up a verification under way; verifyFinished() is not sent for it.
    virtual void cancelVerify() = 0;

signals:
    void availabilityChanged(bool available);
    // `problem` says what went wrong when the outcome is Failed.
    void verifyFinished(quillory::Biometrics::Outcome outcome, const QString &problem);

protected:
    Biometrics() = default;
    void setAvailable(bool available)
    {
        m_available = available;
        emit availabilityChanged(available);
    }

private:
    bool m_available = false;
};

} // namespace quillory
