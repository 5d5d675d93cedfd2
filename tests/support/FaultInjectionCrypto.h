#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/crypto/Rc2Cipher.h"

namespace platform {

// A CryptoService for tests: passes every call to a base service, counts
// them (hashing, making a cipher, each Update and each Final), and makes the
// N-th fail as a failing provider would: an error of the service, never a
// wrong key.
class FaultInjectionCrypto : public CryptoService {
  public:
    explicit FaultInjectionCrypto(CryptoService& base) : base_(base) {}

    void FailAt(uint64_t n) { failAt_ = n; }
    uint64_t CallCount() const { return count_; }

    Status Md5(std::string_view data, Md5Digest* digest) override;
    Status CreateRc2(std::string_view key, int effectiveBits, std::string_view iv,
                     CipherDirection direction, std::unique_ptr<CipherStream>* cipher) override;

    // Used by the streams this service hands out: the failure for this call,
    // or OK.
    Status Begin(const char* call);

  private:
    CryptoService& base_;
    uint64_t count_ = 0;
    uint64_t failAt_ = 0;
};

}  // namespace platform
