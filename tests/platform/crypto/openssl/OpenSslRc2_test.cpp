// What only the OpenSSL backend has: RC2 keys of any length from 1 to 128
// bytes, and providers loaded from a folder.
#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/Rc2Cipher.h"
#include "support/TestSupport.h"

using platform::CipherDirection;
using platform::CryptoLibrary;
using platform::Md5Digest;
using platform::Rc2Cbc;
using testing_support::FromHex;

namespace {

const std::string kZeroIv(8, '\0');

// The first enciphered block of one zero block.
std::string FirstBlock(const std::string& keyHex, int bits) {
    std::unique_ptr<Rc2Cbc> cipher;
    platform::Status status = Rc2Cbc::Create(CryptoLibrary::Instance(), FromHex(keyHex), bits,
                                             kZeroIv, CipherDirection::kEncipher, &cipher);
    EXPECT_TRUE(status.ok()) << status.message();
    if (!status.ok())
        return "";
    unsigned char out[16];
    size_t written = 0;
    EXPECT_TRUE(cipher->Update(std::string(8, '\0').data(), 8, out, &written).ok());
    EXPECT_EQ(8u, written);
    std::string hex;
    for (size_t i = 0; i < written; ++i) {
        hex.push_back("0123456789abcdef"[out[i] >> 4]);
        hex.push_back("0123456789abcdef"[out[i] & 15]);
    }
    return hex;
}

}  // namespace

TEST(Rc2CbcTest, KeysOfOneAndOfMoreThanSixteenBytesMatchTheReferenceVectors) {
    EXPECT_EQ("61a8a244adacccf0", FirstBlock("88", 64));
    // A 5-byte key is another cipher than the base provider's key of 5
    // bytes and 11 zero bytes.
    EXPECT_NE(FirstBlock("d5e1a7e9ac0000000000000000000000", 40), FirstBlock("d5e1a7e9ac", 40));
    EXPECT_EQ(
        "5b78d3a43dfff1f1",
        FirstBlock("88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129));
}

TEST(CryptoLibraryTest, SaysSoWhenTheLegacyProviderCannotBeLoaded) {
    testing_support::TempDir empty;
    CryptoLibrary library(empty.path());
    ASSERT_FALSE(library.status().ok());
    const std::string expected =
        "the RC2 cipher is not available: cannot load OpenSSL's "
        "\"legacy\" provider from \"" +
        empty.path() + "\"";
    EXPECT_EQ(expected, library.status().message());

    Md5Digest digest{};
    EXPECT_EQ(expected, platform::Md5(library, "x", &digest).message());
    std::unique_ptr<Rc2Cbc> cipher;
    EXPECT_EQ(
        expected,
        Rc2Cbc::Create(library, "key", 64, kZeroIv, CipherDirection::kEncipher, &cipher).message());
    EXPECT_EQ(nullptr, cipher);
    // The process-wide library is not disturbed by a failing one.
    EXPECT_TRUE(CryptoLibrary::Instance().status().ok());
}
