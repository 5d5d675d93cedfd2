#include "platform/crypto/Rc2Cipher.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using platform::CipherDirection;
using platform::CryptoLibrary;
using platform::Md5Digest;
using platform::Rc2Cbc;

using testing_support::FromHex;
using testing_support::ToHex;

namespace {

std::string Md5Hex(const std::string& data) {
    Md5Digest digest{};
    platform::Status status = platform::Md5(CryptoLibrary::Instance(), data, &digest);
    EXPECT_TRUE(status.ok()) << status.message();
    return ToHex(std::string(digest.begin(), digest.end()));
}

const std::string kZeroIv(8, '\0');

// Runs a whole stream through RC2-CBC, fed in pieces of `step` bytes. Returns
// false when Final rejects it, which only a deciphering under the wrong key
// may do, and only as such.
bool RunStream(const std::string& key, int bits, CipherDirection direction, const std::string& in,
               std::string* out, size_t step = 1 << 16) {
    std::unique_ptr<Rc2Cbc> cipher;
    platform::Status status =
        Rc2Cbc::Create(CryptoLibrary::Instance(), key, bits, kZeroIv, direction, &cipher);
    EXPECT_TRUE(status.ok()) << status.message();
    if (!status.ok())
        return false;
    out->clear();
    std::string buffer(step + Rc2Cbc::kBlockSize, '\0');
    for (size_t at = 0; at < in.size(); at += step) {
        size_t n = std::min(step, in.size() - at);
        size_t written = 0;
        EXPECT_TRUE(cipher->Update(in.data() + at, n, &buffer[0], &written).ok());
        EXPECT_LE(written, n + Rc2Cbc::kBlockSize);
        out->append(buffer, 0, written);
    }
    size_t written = 0;
    const platform::Status final = cipher->Final(&buffer[0], &written);
    if (!final.ok()) {
        EXPECT_EQ(CipherDirection::kDecipher, direction) << final.message();
        EXPECT_EQ(platform::StatusCode::kWrongKey, final.code()) << final.message();
        return false;
    }
    EXPECT_LE(written, Rc2Cbc::kBlockSize);
    out->append(buffer, 0, written);
    return true;
}

std::string Encipher(const std::string& keyHex, int bits, const std::string& plainHex) {
    std::string out;
    EXPECT_TRUE(
        RunStream(FromHex(keyHex), bits, CipherDirection::kEncipher, FromHex(plainHex), &out));
    return ToHex(out);
}

}  // namespace

TEST(Md5Test, MatchesTheReferenceDigests) {
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5Hex(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", Md5Hex("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5Hex("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", Md5Hex("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", Md5Hex("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("5ebe2294ecd0e0f08eab7690d2a6ee69", Md5Hex("secret"));
}

// One block under CBC with a zero IV is the block cipher itself; the second
// block of the output is the padding. (Vectors with keys that only OpenSSL
// takes are with its own tests.)
TEST(Rc2CbcTest, FirstBlockMatchesTheRc2ReferenceVectors) {
    struct Vector {
        const char* key;
        int bits;
        const char* plain;
        const char* cipher;
    };
    const Vector vectors[] = {
        {"0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
        {"ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"},
        {"3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"},
        {"88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"},
        {"88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
        {"88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
    };
    for (const Vector& v : vectors) {
        std::string out = Encipher(v.key, v.bits, v.plain);
        ASSERT_EQ(32u, out.size()) << v.key;
        EXPECT_EQ(v.cipher, out.substr(0, 16)) << v.key << " bits " << v.bits;
    }
}

TEST(Rc2CbcTest, MatchesTheWindowsVerifiedVectors) {
    // Default key from an MD5 hash on Windows XP and later: 16 bytes, 128 bits.
    EXPECT_EQ("901c774587dd1c2e", Encipher("3b89723b8ad12e1344d6d097e6b846cd", 128, "1b1c1d1e"));
    // The base provider: 5 hash bytes and 11 zero bytes, 40 effective bits.
    EXPECT_EQ("c09ae42f0a476711fb1887ce0c7507b1",
              Encipher("d5e1a7e9ac0000000000000000000000", 40, "000102030405060708090a0b0c"));
}

TEST(Rc2CbcTest, BlockAlignedInputGetsAWholePaddingBlock) {
    std::string plain;
    for (int i = 0; i < 256; ++i)
        plain.push_back(static_cast<char>(i));
    const std::string key = FromHex("3b89723b8ad12e1344d6d097e6b846cd");
    std::string enciphered, back;
    ASSERT_TRUE(RunStream(key, 128, CipherDirection::kEncipher, plain, &enciphered));
    EXPECT_EQ(264u, enciphered.size());
    // The last plain block, seen through CBC, is eight bytes of 08.
    ASSERT_TRUE(RunStream(key, 128, CipherDirection::kDecipher, enciphered, &back));
    EXPECT_EQ(plain, back);
    std::unique_ptr<Rc2Cbc> cipher;
    ASSERT_TRUE(Rc2Cbc::Create(CryptoLibrary::Instance(), key, 128, enciphered.substr(248, 8),
                               CipherDirection::kDecipher, &cipher)
                    .ok());
    std::string buffer(32, '\0');
    size_t written = 0;
    // Feeding the pad block plus one more block keeps the pad block visible.
    std::string twoBlocks = enciphered.substr(256, 8) + std::string(8, '\0');
    ASSERT_TRUE(cipher->Update(twoBlocks.data(), 16, &buffer[0], &written).ok());
    ASSERT_EQ(8u, written);
    EXPECT_EQ(std::string(8, '\x08'), buffer.substr(0, 8));
}

TEST(Rc2CbcTest, StreamingInAnyPieceSizeGivesTheSameBytes) {
    std::string plain;
    for (int i = 0; i < 1000; ++i)
        plain.push_back(static_cast<char>(i * 7 + 3));
    const std::string key = FromHex("5ebe2294ecd0e0f08eab7690d2a6ee69");
    std::string whole;
    ASSERT_TRUE(RunStream(key, 40, CipherDirection::kEncipher, plain, &whole));
    EXPECT_EQ(1008u, whole.size());
    for (size_t step : {1u, 3u, 8u, 160u, 999u}) {
        std::string pieces, back;
        ASSERT_TRUE(RunStream(key, 40, CipherDirection::kEncipher, plain, &pieces, step));
        EXPECT_EQ(whole, pieces) << step;
        ASSERT_TRUE(RunStream(key, 40, CipherDirection::kDecipher, whole, &back, step));
        EXPECT_EQ(plain, back) << step;
    }
}

TEST(Rc2CbcTest, DecipheringRejectsBrokenStreams) {
    const std::string key = FromHex("d41d8cd98f00b204e9800998ecf8427e");
    std::string enciphered, out;
    ASSERT_TRUE(RunStream(key, 128, CipherDirection::kEncipher, "some plain text", &enciphered));
    // Nothing at all, a partial block, and the right bytes under another key.
    EXPECT_FALSE(RunStream(key, 128, CipherDirection::kDecipher, "", &out));
    EXPECT_FALSE(RunStream(key, 128, CipherDirection::kDecipher, enciphered.substr(0, 12), &out));
    EXPECT_FALSE(RunStream(key, 40, CipherDirection::kDecipher, enciphered, &out));

    std::unique_ptr<Rc2Cbc> cipher;
    ASSERT_TRUE(Rc2Cbc::Create(CryptoLibrary::Instance(), key, 128, kZeroIv,
                               CipherDirection::kDecipher, &cipher)
                    .ok());
    char buffer[16];
    size_t written = 99;
    platform::Status status = cipher->Final(buffer, &written);
    EXPECT_EQ("the data is not a whole RC2 stream with valid padding", status.message());
    EXPECT_EQ(platform::StatusCode::kWrongKey, status.code());
    EXPECT_EQ(0u, written);
}

TEST(Rc2CbcTest, RefusesKeysAndIvsOutOfRange) {
    std::unique_ptr<Rc2Cbc> cipher;
    CryptoLibrary& library = CryptoLibrary::Instance();
    const std::string message = "cannot set up RC2: key, effective bits or IV out of range";
    EXPECT_EQ(
        message,
        Rc2Cbc::Create(library, "", 64, kZeroIv, CipherDirection::kEncipher, &cipher).message());
    EXPECT_EQ(message, Rc2Cbc::Create(library, std::string(129, 'k'), 64, kZeroIv,
                                      CipherDirection::kEncipher, &cipher)
                           .message());
    EXPECT_EQ(
        message,
        Rc2Cbc::Create(library, "key", 0, kZeroIv, CipherDirection::kEncipher, &cipher).message());
    EXPECT_EQ(
        message,
        Rc2Cbc::Create(library, "key", 64, "short", CipherDirection::kEncipher, &cipher).message());
    EXPECT_EQ(nullptr, cipher);
}
