#include "platform/crypto/Rc2Cipher.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/provider.h>

#include <climits>
#include <cstdlib>

namespace platform {
namespace {

struct LibCtxFree {
    void operator()(OSSL_LIB_CTX* p) const { OSSL_LIB_CTX_free(p); }
};
struct ProviderUnload {
    void operator()(OSSL_PROVIDER* p) const { OSSL_PROVIDER_unload(p); }
};
struct CipherFree {
    void operator()(EVP_CIPHER* p) const { EVP_CIPHER_free(p); }
};
struct MdFree {
    void operator()(EVP_MD* p) const { EVP_MD_free(p); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
};

// The library's own words for the last failure, then a clean error queue so
// that a later failure is not blamed on this one.
std::string TakeLibraryError() {
    unsigned long code = ERR_peek_last_error();
    std::string text;
    if (code != 0) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        text = buffer;
    }
    ERR_clear_error();
    return text.empty() ? "no reason given" : text;
}

// Where libcrypto looks for provider modules when nobody says otherwise.
std::string UsualModulesDirectory() {
    const char* fromEnvironment = std::getenv("OPENSSL_MODULES");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    const char* built = OPENSSL_info(OPENSSL_INFO_MODULES_DIR);
    return built != nullptr ? built : "";
}

const char kUnavailable[] = "the RC2 cipher is not available: ";

}  // namespace

struct CryptoLibrary::Handles {
    // Members are destroyed bottom up: algorithms, then providers, then the context.
    std::unique_ptr<OSSL_LIB_CTX, LibCtxFree> context;
    std::unique_ptr<OSSL_PROVIDER, ProviderUnload> legacy;
    std::unique_ptr<OSSL_PROVIDER, ProviderUnload> standard;
    std::unique_ptr<EVP_CIPHER, CipherFree> rc2;
    std::unique_ptr<EVP_MD, MdFree> md5;
};

CryptoLibrary::CryptoLibrary(const std::string& modulesDirectory) : handles_(new Handles) {
    Handles& h = *handles_;
    h.context.reset(OSSL_LIB_CTX_new());
    if (!h.context) {
        status_ =
            Status::Error(kUnavailable + std::string("cannot create an OpenSSL library context (") +
                          TakeLibraryError() + ")");
        return;
    }
    const std::string directory =
        modulesDirectory.empty() ? UsualModulesDirectory() : modulesDirectory;
    if (!modulesDirectory.empty() &&
        OSSL_PROVIDER_set_default_search_path(h.context.get(), modulesDirectory.c_str()) != 1) {
        status_ = Status::Error(kUnavailable + std::string("cannot search \"") + directory +
                                "\" for OpenSSL providers (" + TakeLibraryError() + ")");
        return;
    }
    h.legacy.reset(OSSL_PROVIDER_load(h.context.get(), "legacy"));
    if (!h.legacy) {
        ERR_clear_error();
        status_ = Status::Error(kUnavailable + std::string("cannot load OpenSSL's \"legacy\" ") +
                                "provider from \"" + directory + "\"");
        return;
    }
    h.standard.reset(OSSL_PROVIDER_load(h.context.get(), "default"));
    if (!h.standard) {
        ERR_clear_error();
        status_ = Status::Error(kUnavailable + std::string("cannot load OpenSSL's \"default\" ") +
                                "provider");
        return;
    }
    h.rc2.reset(EVP_CIPHER_fetch(h.context.get(), "RC2-CBC", nullptr));
    if (!h.rc2) {
        status_ = Status::Error(kUnavailable + std::string("OpenSSL offers no RC2-CBC (") +
                                TakeLibraryError() + ")");
        return;
    }
    h.md5.reset(EVP_MD_fetch(h.context.get(), "MD5", nullptr));
    if (!h.md5) {
        status_ = Status::Error(kUnavailable + std::string("OpenSSL offers no MD5 (") +
                                TakeLibraryError() + ")");
        return;
    }
}

CryptoLibrary::~CryptoLibrary() = default;

CryptoLibrary& CryptoLibrary::Instance() {
    static CryptoLibrary library;
    return library;
}

Status Md5(CryptoLibrary& library, std::string_view data, Md5Digest* digest) {
    if (!library.status().ok())
        return library.status();
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), digest->data(), &size, library.handles_->md5.get(),
                   nullptr) != 1 ||
        size != digest->size()) {
        return Status::Error("cannot compute MD5 (" + TakeLibraryError() + ")");
    }
    return Status::OK();
}

struct Rc2Cbc::Context {
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx;
    CipherDirection direction = CipherDirection::kEncipher;
};

Rc2Cbc::Rc2Cbc(std::unique_ptr<Context> context) : context_(std::move(context)) {}
Rc2Cbc::~Rc2Cbc() = default;

Status Rc2Cbc::Create(CryptoLibrary& library, std::string_view key, int effectiveBits,
                      std::string_view iv, CipherDirection direction,
                      std::unique_ptr<Rc2Cbc>* cipher) {
    if (!library.status().ok())
        return library.status();
    if (key.empty() || key.size() > 128 || effectiveBits < 1 || effectiveBits > 1024 ||
        iv.size() != kBlockSize) {
        return Status::Error("cannot set up RC2: key, effective bits or IV out of range");
    }
    auto context = std::make_unique<Context>();
    context->direction = direction;
    context->ctx.reset(EVP_CIPHER_CTX_new());
    if (!context->ctx)
        return Status::Error("cannot set up RC2 (" + TakeLibraryError() + ")");
    const int enc = direction == CipherDirection::kEncipher ? 1 : 0;
    size_t keyLength = key.size();
    size_t keyBits = static_cast<size_t>(effectiveBits);
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_size_t(OSSL_CIPHER_PARAM_KEYLEN, &keyLength),
        OSSL_PARAM_construct_size_t(OSSL_CIPHER_PARAM_RC2_KEYBITS, &keyBits),
        OSSL_PARAM_construct_end(),
    };
    // The key schedule uses the effective bits, so they and the key length
    // must be in place before the key is given.
    EVP_CIPHER_CTX* ctx = context->ctx.get();
    if (EVP_CipherInit_ex2(ctx, library.handles_->rc2.get(), nullptr, nullptr, enc, params) != 1 ||
        EVP_CipherInit_ex2(ctx, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                           reinterpret_cast<const unsigned char*>(iv.data()), enc, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 1) != 1) {
        return Status::Error("cannot set up RC2 (" + TakeLibraryError() + ")");
    }
    cipher->reset(new Rc2Cbc(std::move(context)));
    return Status::OK();
}

Status Rc2Cbc::Update(const void* in, size_t n, void* out, size_t* written) {
    *written = 0;
    if (n > static_cast<size_t>(INT_MAX) - kBlockSize)
        return Status::Error("RC2: too many bytes in one step");
    int length = 0;
    if (EVP_CipherUpdate(context_->ctx.get(), static_cast<unsigned char*>(out), &length,
                         static_cast<const unsigned char*>(in), static_cast<int>(n)) != 1) {
        return Status::Error("RC2 failed (" + TakeLibraryError() + ")");
    }
    *written = static_cast<size_t>(length);
    return Status::OK();
}

Status Rc2Cbc::Final(void* out, size_t* written) {
    *written = 0;
    int length = 0;
    if (EVP_CipherFinal_ex(context_->ctx.get(), static_cast<unsigned char*>(out), &length) != 1) {
        if (context_->direction == CipherDirection::kEncipher)
            return Status::Error("RC2 failed (" + TakeLibraryError() + ")");
        ERR_clear_error();
        return Status::Error("the data is not a whole RC2 stream with valid padding");
    }
    *written = static_cast<size_t>(length);
    return Status::OK();
}

}  // namespace platform
