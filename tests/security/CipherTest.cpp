#include <security/AesGcm.h>
#include <security/Hkdf.h>
#include <security/SecurityService.h>
#include <security/SymmetricKey.h>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

SymmetricKey keyOf(const QByteArray &bytes)
{
    return *SymmetricKey::fromBytes(bytes);
}

} // namespace

TEST(HkdfTest, AnswersRfc5869TestCaseOne)
{
    const auto okm = Hkdf::sha256(QByteArray(22, '\x0b'), hex("000102030405060708090a0b0c"),
                                  hex("f0f1f2f3f4f5f6f7f8f9"), 42);
    ASSERT_TRUE(okm);
    EXPECT_EQ(okm->toHex(), QByteArray("3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56"
                                       "ecc4c5bf34007208d5b887185865"));
}

// The AES-256 cases of the GCM specification's test vectors, without additional data.
struct GcmCase
{
    const char *name;
    const char *key;
    const char *nonce;
    const char *plaintext;
    const char *ciphertext;
    const char *tag;
};

class GcmKnownAnswerTest : public ::testing::TestWithParam<GcmCase>
{
};

TEST_P(GcmKnownAnswerTest, SealsAndOpensTheSpecifiedBox)
{
    const GcmCase &c = GetParam();
    const SymmetricKey key = keyOf(hex(c.key));
    const QByteArray expected = hex(c.nonce) + hex(c.ciphertext) + hex(c.tag);
    const auto box = AesGcm::seal(key, hex(c.plaintext), hex(c.nonce));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->toHex(), expected.toHex());
    const auto opened = AesGcm::open(key, expected);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->toHex(), hex(c.plaintext).toHex());
}

INSTANTIATE_TEST_SUITE_P(
    GcmSpecification, GcmKnownAnswerTest,
    ::testing::Values(
        GcmCase{"Case13", "0000000000000000000000000000000000000000000000000000000000000000",
                "000000000000000000000000", "", "", "530f8afbc74536b9a963b4f1c4cb738b"},
        GcmCase{"Case14", "0000000000000000000000000000000000000000000000000000000000000000",
                "000000000000000000000000", "00000000000000000000000000000000",
                "cea7403d4d606b6e074ec5d3baf39d18", "d0d1c8a799996bf0265b98b5d48ab919"},
        GcmCase{"Case15", "feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308",
                "cafebabefacedbaddecaf888",
                "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
                "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b391aafd255",
                "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
                "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662898015ad",
                "b094dac5d93471bdec1a502270e3cc6c"}),
    [](const auto &testCase) { return std::string(testCase.param.name); });

TEST(SealedBox, RefusesEveryAlteredByteAndShortBoxesAndSealsWithAFreshNonceEachTime)
{
    const SymmetricKey key = keyOf(QByteArray(32, '\x42'));
    const auto box = AesGcm::seal(key, QByteArrayLiteral("Quillory_Verification"));
    ASSERT_TRUE(box);
    ASSERT_EQ(box->size(), 12 + 21 + 16);
    for (int i = 0; i < box->size(); ++i) {
        QByteArray altered = *box;
        altered[i] = static_cast<char>(altered[i] ^ 0x01);
        EXPECT_FALSE(AesGcm::open(key, altered)) << "byte " << i;
    }
    EXPECT_FALSE(AesGcm::open(key, box->left(box->size() - 1)));
    EXPECT_FALSE(AesGcm::open(key, QByteArray(27, '\0')));
    EXPECT_FALSE(AesGcm::open(key, QByteArray()));
    EXPECT_FALSE(AesGcm::open(keyOf(QByteArray(32, '\x43')), *box));

    // Each seal takes a fresh nonce; large and empty contents come back whole.
    const QByteArray large(3 * 1024 * 1024 + 5, 'x');
    const auto first = AesGcm::seal(key, large);
    const auto second = AesGcm::seal(key, large);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->left(12), second->left(12));
    EXPECT_NE(*first, *second);
    EXPECT_EQ(AesGcm::open(key, *first), large);
    const auto empty = AesGcm::seal(key, QByteArray());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), 28);
    EXPECT_EQ(AesGcm::open(key, *empty), QByteArray());
}

TEST(KeyDerivation, UsesThePassphraseBytesAsTheyAre)
{
    const QByteArray salt(32, '\x11');
    const auto key = SecurityService::deriveKey(QStringLiteral("correct horse"), salt);
    ASSERT_TRUE(key.ok());
    EXPECT_EQ(SecurityService::deriveKey(QStringLiteral("correct horse"), salt).value(),
              key.value());
    EXPECT_FALSE(SecurityService::deriveKey(QStringLiteral("correct horse"), QByteArray(32, '\x12'))
                     .value() == key.value());
    const auto expected = Hkdf::sha256("correct horse", salt, "Quillory_Encryption", 32);
    EXPECT_EQ(key.value().rawBytes(), *expected);

    // "é" as one character and as "e" with a combining accent.
    const auto composed = SecurityService::deriveKey(QStringLiteral("caf\u00e9"), salt);
    const auto decomposed = SecurityService::deriveKey(QStringLiteral("cafe\u0301"), salt);
    EXPECT_FALSE(composed.value() == decomposed.value());

    // Half of a surrogate pair has no UTF-8 form.
    const QString broken = QStringLiteral("pass") + QChar(0xD800);
    const auto refused = SecurityService::deriveKey(broken, salt);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind(), SecurityError::Kind::InvalidPassphrase);
}

TEST(SymmetricKeyTest, TakesOnlyThirtyTwoBytes)
{
    EXPECT_FALSE(SymmetricKey::fromBytes(QByteArray(31, 'a')));
    EXPECT_FALSE(SymmetricKey::fromBytes(QByteArray(33, 'a')));
    QByteArray raw(32, 'k');
    const auto key = SymmetricKey::fromBytes(raw);
    ASSERT_TRUE(key);
    SymmetricKey::wipe(raw);
    EXPECT_TRUE(raw.isEmpty());
    EXPECT_EQ(key->rawBytes(), QByteArray(32, 'k'));
}
