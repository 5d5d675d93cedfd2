#pragma once

// MD5 and RC2-CBC from the system's crypto library: OpenSSL 3 libcrypto
// (platform/openssl), or the Windows cryptographic service (platform/windows).
// With OpenSSL, RC2 lives in the "legacy" provider, which is not loaded by
// default, so the cipher works in a library context of its own with the
// "legacy" and "default" providers loaded explicitly; the rest of the process
// is unaffected. On Windows the library is a context of the enhanced
// provider, which takes RC2 keys of 6 to 16 bytes as they are.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Status.h"

namespace platform {

using Md5Digest = std::array<uint8_t, 16>;

// A library context with what MD5 and RC2 need (OpenSSL's providers, or a
// provider context of the Windows service). Loading happens once, in the
// constructor; a context that failed to load stays failed and says why.
class CryptoLibrary {
  public:
    // Loads OpenSSL's providers from `modulesDirectory`, or from the crypto
    // library's usual place when it is empty. Windows has no such place.
    explicit CryptoLibrary(const std::string& modulesDirectory = std::string());
    ~CryptoLibrary();
    CryptoLibrary(const CryptoLibrary&) = delete;
    CryptoLibrary& operator=(const CryptoLibrary&) = delete;

    // The process-wide context, made on first use.
    static CryptoLibrary& Instance();

    // OK, or why MD5 or RC2 cannot be had.
    const Status& status() const { return status_; }

  private:
    friend class Rc2Cbc;
    friend Status Md5(CryptoLibrary& library, std::string_view data, Md5Digest* digest);
    struct Handles;
    std::unique_ptr<Handles> handles_;
    Status status_;
};

// MD5 of `data`. Fails only when the library cannot supply MD5.
Status Md5(CryptoLibrary& library, std::string_view data, Md5Digest* digest);

enum class CipherDirection { kEncipher, kDecipher };

// One cipher stream: Update as often as needed, then Final once.
class CipherStream {
  public:
    static constexpr size_t kBlockSize = 8;

    virtual ~CipherStream() = default;
    // Processes n bytes; writes at most n + kBlockSize bytes to `out` and
    // tells how many in *written. A failure is the library's, never a key's.
    virtual Status Update(const void* in, size_t n, void* out, size_t* written) = 0;
    // Ends the stream; writes at most kBlockSize bytes. When deciphering, a
    // failure of the kind StatusCode::kWrongKey means the stream is not a
    // whole number of blocks or its padding is not valid: it was not
    // enciphered with this key. Any other failure is the library's.
    virtual Status Final(void* out, size_t* written) = 0;
};

// One RC2-CBC stream with PKCS#5 padding.
class Rc2Cbc final : public CipherStream {
  public:
    // `key` goes to the RC2 key schedule as it is (any length from 1 to 128
    // bytes with OpenSSL, 6 to 16 on Windows); `effectiveBits` is RC2's
    // effective key length (1 to 1024); `iv` is kBlockSize bytes. Fails when
    // the library cannot supply RC2 or refuses the key.
    static Status Create(CryptoLibrary& library, std::string_view key, int effectiveBits,
                         std::string_view iv, CipherDirection direction,
                         std::unique_ptr<Rc2Cbc>* cipher);
    ~Rc2Cbc() override;
    Rc2Cbc(const Rc2Cbc&) = delete;
    Rc2Cbc& operator=(const Rc2Cbc&) = delete;

    Status Update(const void* in, size_t n, void* out, size_t* written) override;
    Status Final(void* out, size_t* written) override;

  private:
    struct Context;
    explicit Rc2Cbc(std::unique_ptr<Context> context);
    std::unique_ptr<Context> context_;
};

// Where the program gets MD5 and RC2 from: the system's crypto library
// (CryptoLibrary::Instance()), unless a test installed another to make the
// library fail where it wants, as it does with the Env.
class CryptoService {
  public:
    virtual ~CryptoService() = default;
    virtual Status Md5(std::string_view data, Md5Digest* digest) = 0;
    virtual Status CreateRc2(std::string_view key, int effectiveBits, std::string_view iv,
                             CipherDirection direction, std::unique_ptr<CipherStream>* cipher) = 0;

    static CryptoService& Current();
    static CryptoService& Real();

  private:
    friend class ScopedCryptoService;
    static CryptoService* current_;
};

// Installs a CryptoService for the lifetime of this object (tests).
class ScopedCryptoService {
  public:
    explicit ScopedCryptoService(CryptoService& service) : previous_(CryptoService::current_) {
        CryptoService::current_ = &service;
    }
    ~ScopedCryptoService() { CryptoService::current_ = previous_; }
    ScopedCryptoService(const ScopedCryptoService&) = delete;
    ScopedCryptoService& operator=(const ScopedCryptoService&) = delete;

  private:
    CryptoService* previous_;
};

}  // namespace platform
