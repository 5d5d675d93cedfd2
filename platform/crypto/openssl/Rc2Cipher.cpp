#include "platform/crypto/Rc2Cipher.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/proverr.h>
#include <openssl/provider.h>

#include <climits>
#include <cstdlib>

namespace platform {
namespace {

const char kUnavailable[] = "the RC2 cipher is not available: ";

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

// The library's own words for its last failure, then a clean error queue so
// that a later failure is not blamed on this one.
struct LibraryError {
    unsigned long code = 0;
    std::string text;
};

LibraryError TakeLibraryError() {
    LibraryError error;
    error.code = ERR_peek_last_error();
    if (error.code != 0) {
        char buffer[256];
        ERR_error_string_n(error.code, buffer, sizeof buffer);
        error.text = buffer;
    }
    ERR_clear_error();
    if (error.text.empty())
        error.text = "no reason given";
    return error;
}

// "<what> (<the library's words>)", of the kind `code`.
Status LibraryFailure(StatusCode code, const std::string& what) {
    const LibraryError error = TakeLibraryError();
    return Status::Make(code, what + " (" + error.text + ")", std::string(),
                        static_cast<long>(error.code), error.text);
}

Status Unavailable(const std::string& why) {
    return Status::Make(StatusCode::kNotSupported, kUnavailable + why);
}

Status Unavailable(const std::string& what, bool withLibraryError) {
    if (!withLibraryError) {
        ERR_clear_error();
        return Unavailable(what);
    }
    return LibraryFailure(StatusCode::kNotSupported, kUnavailable + what);
}

// A deciphered stream that ends badly: the key was not the one it was
// enciphered with. OpenSSL 3 says so from its provider, older code paths
// from the EVP layer.
bool IsBadPadding(unsigned long code) {
    const int library = ERR_GET_LIB(code);
    const int reason = ERR_GET_REASON(code);
    return (library == ERR_LIB_PROV &&
            (reason == PROV_R_BAD_DECRYPT || reason == PROV_R_WRONG_FINAL_BLOCK_LENGTH)) ||
           (library == ERR_LIB_EVP &&
            (reason == EVP_R_BAD_DECRYPT || reason == EVP_R_WRONG_FINAL_BLOCK_LENGTH));
}

// Where libcrypto looks for provider modules when nobody says otherwise.
std::string UsualModulesDirectory() {
    const char* fromEnvironment = std::getenv("OPENSSL_MODULES");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    const char* built = OPENSSL_info(OPENSSL_INFO_MODULES_DIR);
    return built != nullptr ? built : "";
}

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
        status_ = Unavailable("cannot create an OpenSSL library context", true);
        return;
    }
    const std::string directory =
        modulesDirectory.empty() ? UsualModulesDirectory() : modulesDirectory;
    if (!modulesDirectory.empty() &&
        OSSL_PROVIDER_set_default_search_path(h.context.get(), modulesDirectory.c_str()) != 1) {
        status_ =
            Unavailable("cannot search " + Quoted(directory) + " for OpenSSL providers", true);
        return;
    }
    h.legacy.reset(OSSL_PROVIDER_load(h.context.get(), "legacy"));
    if (!h.legacy) {
        status_ = Unavailable("cannot load OpenSSL's \"legacy\" provider from " + Quoted(directory),
                              false);
        return;
    }
    h.standard.reset(OSSL_PROVIDER_load(h.context.get(), "default"));
    if (!h.standard) {
        status_ = Unavailable("cannot load OpenSSL's \"default\" provider", false);
        return;
    }
    h.rc2.reset(EVP_CIPHER_fetch(h.context.get(), "RC2-CBC", nullptr));
    if (!h.rc2) {
        status_ = Unavailable("OpenSSL offers no RC2-CBC", true);
        return;
    }
    h.md5.reset(EVP_MD_fetch(h.context.get(), "MD5", nullptr));
    if (!h.md5) {
        status_ = Unavailable("OpenSSL offers no MD5", true);
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
        return LibraryFailure(StatusCode::kIoError, "cannot compute MD5");
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
        return Status::Make(StatusCode::kNotSupported,
                            "cannot set up RC2: key, effective bits or IV out of range");
    }
    auto context = std::make_unique<Context>();
    context->direction = direction;
    context->ctx.reset(EVP_CIPHER_CTX_new());
    if (!context->ctx)
        return LibraryFailure(StatusCode::kIoError, "cannot set up RC2");
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
        return LibraryFailure(StatusCode::kIoError, "cannot set up RC2");
    }
    cipher->reset(new Rc2Cbc(std::move(context)));
    return Status::OK();
}

Status Rc2Cbc::Update(const void* in, size_t n, void* out, size_t* written) {
    *written = 0;
    if (n > static_cast<size_t>(INT_MAX) - kBlockSize)
        return Status::Make(StatusCode::kNotSupported, "RC2: too many bytes in one step");
    int length = 0;
    if (EVP_CipherUpdate(context_->ctx.get(), static_cast<unsigned char*>(out), &length,
                         static_cast<const unsigned char*>(in), static_cast<int>(n)) != 1) {
        return LibraryFailure(StatusCode::kIoError, "RC2 failed");
    }
    *written = static_cast<size_t>(length);
    return Status::OK();
}

Status Rc2Cbc::Final(void* out, size_t* written) {
    *written = 0;
    int length = 0;
    if (EVP_CipherFinal_ex(context_->ctx.get(), static_cast<unsigned char*>(out), &length) != 1) {
        if (context_->direction == CipherDirection::kDecipher &&
            IsBadPadding(ERR_peek_last_error())) {
            ERR_clear_error();
            return Status::Make(StatusCode::kWrongKey,
                                "the data is not a whole RC2 stream with valid padding");
        }
        return LibraryFailure(StatusCode::kIoError, "RC2 failed");
    }
    *written = static_cast<size_t>(length);
    return Status::OK();
}

}  // namespace platform
