#include "support/FaultInjectionCrypto.h"

namespace platform {
namespace {

class FaultyStream : public CipherStream {
  public:
    FaultyStream(FaultInjectionCrypto& service, std::unique_ptr<CipherStream> base)
        : service_(service), base_(std::move(base)) {}
    Status Update(const void* in, size_t n, void* out, size_t* written) override {
        *written = 0;
        Status status = service_.Begin("update");
        return status.ok() ? base_->Update(in, n, out, written) : status;
    }
    Status Final(void* out, size_t* written) override {
        *written = 0;
        Status status = service_.Begin("final");
        return status.ok() ? base_->Final(out, written) : status;
    }

  private:
    FaultInjectionCrypto& service_;
    std::unique_ptr<CipherStream> base_;
};

}  // namespace

Status FaultInjectionCrypto::Begin(const char* call) {
    if (++count_ != failAt_)
        return Status::OK();
    return Status::Make(
        StatusCode::kIoError,
        std::string("the cryptographic service failed in ") + call + " (injected fault)",
        std::string(), 0, "injected fault");
}

Status FaultInjectionCrypto::Md5(std::string_view data, Md5Digest* digest) {
    Status status = Begin("MD5");
    return status.ok() ? base_.Md5(data, digest) : status;
}

Status FaultInjectionCrypto::CreateRc2(std::string_view key, int effectiveBits, std::string_view iv,
                                       CipherDirection direction,
                                       std::unique_ptr<CipherStream>* cipher) {
    Status status = Begin("setting up RC2");
    std::unique_ptr<CipherStream> base;
    if (status.ok())
        status = base_.CreateRc2(key, effectiveBits, iv, direction, &base);
    if (status.ok())
        *cipher = std::make_unique<FaultyStream>(*this, std::move(base));
    return status;
}

}  // namespace platform
