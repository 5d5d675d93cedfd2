// The Windows service gives a 40-bit RC2 key 11 zero bytes of salt, so it
// cannot take a 5-byte key as it is; nor a key of more than 16 bytes.
#include <gtest/gtest.h>

#include "platform/crypto/Rc2Cipher.h"

using platform::CipherDirection;
using platform::CryptoLibrary;
using platform::Rc2Cbc;

TEST(Rc2CbcTest, KeysTheServiceWouldChangeAreRefused) {
    const std::string zeroIv(8, '\0');
    for (size_t length : {1u, 5u, 17u, 128u}) {
        std::unique_ptr<Rc2Cbc> cipher;
        platform::Status status =
            Rc2Cbc::Create(CryptoLibrary::Instance(), std::string(length, 'k'), 40, zeroIv,
                           CipherDirection::kEncipher, &cipher);
        EXPECT_EQ(
            "cannot set up RC2: the Windows cryptographic service takes keys of 6 to 16 "
            "bytes only, not " +
                std::to_string(length),
            status.message());
        EXPECT_EQ(nullptr, cipher);
    }
    std::unique_ptr<Rc2Cbc> cipher;
    EXPECT_TRUE(Rc2Cbc::Create(CryptoLibrary::Instance(), std::string(6, 'k'), 40, zeroIv,
                               CipherDirection::kEncipher, &cipher)
                    .ok());
}
