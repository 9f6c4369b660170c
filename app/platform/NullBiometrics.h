#pragma once

#include <platform/Biometrics.h>

namespace quillory {

// A device without a reader: never available, and every verification fails.
class NullBiometrics final : public Biometrics
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NullBiometrics)

public:
    NullBiometrics() = default;
    void checkAvailability() override { setAvailable(false); }
    QString typeName() const override { return QStringLiteral("Biometric"); }
    void verify() override
    {
        emit verifyFinished(Outcome::Failed, QStringLiteral("No biometric reader"));
    }
    void cancelVerify() override {}
};

} // namespace quillory
