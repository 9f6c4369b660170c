#include "Eventually.h"
#include <FakeFprintd.h>
#include <platform/FprintdBiometrics.h>

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::FakeFprintd;

namespace {

bool checkedAvailability(FprintdBiometrics &biometrics)
{
    QSignalSpy answered(&biometrics, &Biometrics::availabilityChanged);
    biometrics.checkAvailability();
    EXPECT_TRUE(!answered.isEmpty() || answered.wait(5000));
    return biometrics.isAvailable();
}

Biometrics::Outcome verified(FprintdBiometrics &biometrics, QString *problem = nullptr)
{
    QSignalSpy finished(&biometrics, &Biometrics::verifyFinished);
    biometrics.verify();
    EXPECT_TRUE(!finished.isEmpty() || finished.wait(5000));
    if (finished.isEmpty())
        return Biometrics::Outcome::Failed;
    if (problem)
        *problem = finished.constFirst().at(1).toString();
    return finished.constFirst().at(0).value<Biometrics::Outcome>();
}

} // namespace

TEST(FprintdBiometricsTest, OffersAReaderOnlyWithEnrolledFingers)
{
    FakeFprintd fprintd;
    ASSERT_TRUE(fprintd.isRunning());
    FprintdBiometrics biometrics(fprintd.client());
    EXPECT_FALSE(checkedAvailability(biometrics));
    EXPECT_EQ(biometrics.typeName(), QStringLiteral("Biometric"));

    fprintd.device.enrolledFingers = {QStringLiteral("right-index-finger")};
    EXPECT_TRUE(checkedAvailability(biometrics));
    EXPECT_EQ(biometrics.typeName(), QStringLiteral("Fingerprint"));

    fprintd.manager.hasDevice = false;
    EXPECT_FALSE(checkedAvailability(biometrics));
}

TEST(FprintdBiometricsTest, NoFprintdOrNoBusMeansNoReader)
{
    test::PrivateBus bus;
    FprintdBiometrics nobody(bus.connect(QStringLiteral("empty")));
    EXPECT_FALSE(checkedAvailability(nobody));
    EXPECT_EQ(verified(nobody), Biometrics::Outcome::Failed);

    FprintdBiometrics disconnected(QDBusConnection(QStringLiteral("never connected")));
    EXPECT_FALSE(checkedAvailability(disconnected));
}

TEST(FprintdBiometricsTest, VerifiesOnceAndReleasesTheReader)
{
    FakeFprintd fprintd;
    ASSERT_TRUE(fprintd.isRunning());
    fprintd.device.enrolledFingers = {QStringLiteral("right-index-finger")};
    FprintdBiometrics biometrics(fprintd.client());
    ASSERT_TRUE(checkedAvailability(biometrics));

    EXPECT_EQ(verified(biometrics), Biometrics::Outcome::Matched);
    fprintd.device.verifyResult = QStringLiteral("verify-no-match");
    EXPECT_EQ(verified(biometrics), Biometrics::Outcome::NoMatch);
    fprintd.device.verifyResult = QStringLiteral("verify-disconnected");
    QString problem;
    EXPECT_EQ(verified(biometrics, &problem), Biometrics::Outcome::Failed);
    EXPECT_EQ(problem, QStringLiteral("verify-disconnected"));

    ASSERT_EVENTUALLY((fprintd.device.releases) == (3), 5000);
    EXPECT_EQ(fprintd.device.claims, 3);
    EXPECT_FALSE(fprintd.device.claimed);

    // A cancelled verification says nothing and frees the reader.
    fprintd.device.answerDelayMilliseconds = 300;
    QSignalSpy finished(&biometrics, &Biometrics::verifyFinished);
    biometrics.verify();
    ASSERT_EVENTUALLY((fprintd.device.verifications) == (4), 5000);
    biometrics.cancelVerify();
    QTest::qWait(500);
    EXPECT_TRUE(finished.isEmpty());
    ASSERT_EVENTUALLY(!fprintd.device.claimed, 5000);
}
