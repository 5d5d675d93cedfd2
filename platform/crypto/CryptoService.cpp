#include "platform/crypto/Rc2Cipher.h"

namespace platform {
namespace {

// The system's crypto library, as the program uses it.
class LibraryService : public CryptoService {
  public:
    Status Md5(std::string_view data, Md5Digest* digest) override {
        return platform::Md5(CryptoLibrary::Instance(), data, digest);
    }
    Status CreateRc2(std::string_view key, int effectiveBits, std::string_view iv,
                     CipherDirection direction, std::unique_ptr<CipherStream>* cipher) override {
        std::unique_ptr<Rc2Cbc> rc2;
        Status status =
            Rc2Cbc::Create(CryptoLibrary::Instance(), key, effectiveBits, iv, direction, &rc2);
        if (status.ok())
            *cipher = std::move(rc2);
        return status;
    }
};

}  // namespace

CryptoService* CryptoService::current_ = nullptr;

CryptoService& CryptoService::Current() {
    return current_ != nullptr ? *current_ : Real();
}

CryptoService& CryptoService::Real() {
    static LibraryService service;
    return service;
}

}  // namespace platform
