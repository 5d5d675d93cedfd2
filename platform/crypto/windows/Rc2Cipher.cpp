// MD5 and RC2-CBC from the Windows cryptographic service (CryptoAPI), the
// same service that enciphered the journals in the first place.
#include <windows.h>  // with the CryptoAPI

#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/crypto/Rc2Cipher.h"
#include "platform/os/windows/UniqueHandle.h"
#include "platform/os/windows/WindowsText.h"

namespace platform {
namespace {

const char kUnavailable[] = "the RC2 cipher is not available: ";

// The RC2 keys the service takes as they are.
constexpr size_t kShortestKey = 6;
constexpr size_t kLongestKey = 16;

// The kind of a failure of the service: one that says the provider lacks
// what is asked of it is "not supported"; anything else (no memory, a
// provider that fails) is an error of the system. Neither is ever a wrong key.
StatusCode KindOfServiceError(DWORD code) {
    switch (code) {
        case static_cast<DWORD>(NTE_BAD_ALGID):
        case static_cast<DWORD>(NTE_BAD_PROV_TYPE):
        case static_cast<DWORD>(NTE_PROV_TYPE_NOT_DEF):
        case static_cast<DWORD>(NTE_PROV_TYPE_ENTRY_BAD):
        case static_cast<DWORD>(NTE_PROV_DLL_NOT_FOUND):
        case static_cast<DWORD>(NTE_PROVIDER_DLL_FAIL):
        case static_cast<DWORD>(NTE_KEYSET_NOT_DEF):
        case static_cast<DWORD>(NTE_NOT_SUPPORTED):
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return StatusCode::kNotSupported;
        default:
            return StatusCode::kIoError;
    }
}

// "<what> failed (<the service's words>)" for the failure `code` of the call
// named `what`, of the kind `kind`.
Status ServiceFailed(StatusCode kind, const std::string& what, DWORD code) {
    const std::string text = WindowsErrorText(code);
    return Status::Make(kind, what + " failed (" + text + ")", std::string(),
                        static_cast<long>(code), text);
}

// The same for the last failure, of the kind its code stands for.
Status CallFailed(const std::string& what) {
    const DWORD code = GetLastError();
    return ServiceFailed(KindOfServiceError(code), what, code);
}

Status WrongKey() {
    return Status::Make(StatusCode::kWrongKey,
                        "the data is not a whole RC2 stream with valid padding");
}

// What a key blob of the PLAINTEXTKEYBLOB kind holds: the raw key bytes,
// taken as they are (deriving a key from a hash cannot express every scheme).
struct PlainKeyBlob {
    BLOBHEADER header;
    DWORD size;
    BYTE key[kLongestKey];
};

}  // namespace

struct CryptoLibrary::Handles {
    CryptProvider provider;
};

// The enhanced provider offers RC2 keys of up to 128 bits; a verify-only
// context needs no key container, so nothing is written to the user's
// profile. `modulesDirectory` means nothing here: the service is part of
// the system.
CryptoLibrary::CryptoLibrary(const std::string& /*modulesDirectory*/) : handles_(new Handles) {
    if (!CryptAcquireContextW(handles_->provider.out(), nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT)) {
        const DWORD code = GetLastError();
        handles_->provider.release();  // nothing was acquired
        // Without its provider the service offers nothing the program needs.
        status_ = ServiceFailed(StatusCode::kNotSupported,
                                kUnavailable + std::string("CryptAcquireContext"), code);
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
    CryptHash hash;
    if (!CryptCreateHash(library.handles_->provider.get(), CALG_MD5, 0, 0, hash.out()))
        return CallFailed("cannot compute MD5: CryptCreateHash");
    const BYTE* p = reinterpret_cast<const BYTE*>(data.data());
    size_t left = data.size();
    do {  // an empty text is hashed too: its digest is that of nothing
        const DWORD n = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
        if (!CryptHashData(hash.get(), p, n, 0))
            return CallFailed("cannot compute MD5: CryptHashData");
        p += n;
        left -= n;
    } while (left > 0);
    DWORD size = static_cast<DWORD>(digest->size());
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest->data(), &size, 0) ||
        size != digest->size()) {
        return CallFailed("cannot compute MD5: CryptGetHashParam");
    }
    return Status::OK();
}

// The service enciphers whole blocks except in the final call, so a partial
// block waits in `pending` for the next Update. Deciphering also keeps the
// last whole block back: the final call must have it to check and strip the
// padding, and a final call with no data at all is refused here rather than
// made (some versions of the service fail badly on it).
struct Rc2Cbc::Context {
    CryptKey key;
    CipherDirection direction = CipherDirection::kEncipher;
    std::vector<BYTE> pending;
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
    // The service takes RC2 keys of 40 to 128 bits, and gives a key of 40
    // bits 11 zero bytes of salt (whatever the flags say), which would make
    // it another key than the one asked for.
    if (key.size() < kShortestKey || key.size() > kLongestKey) {
        return Status::Make(StatusCode::kNotSupported,
                            "cannot set up RC2: the Windows cryptographic service takes keys of " +
                                std::to_string(kShortestKey) + " to " +
                                std::to_string(kLongestKey) + " bytes only, not " +
                                std::to_string(key.size()));
    }
    PlainKeyBlob blob{};
    blob.header.bType = PLAINTEXTKEYBLOB;
    blob.header.bVersion = CUR_BLOB_VERSION;
    blob.header.aiKeyAlg = CALG_RC2;
    blob.size = static_cast<DWORD>(key.size());
    std::memcpy(blob.key, key.data(), key.size());
    auto context = std::make_unique<Context>();
    context->direction = direction;
    const DWORD blobSize = static_cast<DWORD>(offsetof(PlainKeyBlob, key) + key.size());
    const BOOL imported =
        CryptImportKey(library.handles_->provider.get(), reinterpret_cast<const BYTE*>(&blob),
                       blobSize, 0, 0, context->key.out());
    const DWORD importError = GetLastError();
    SecureZeroMemory(&blob, sizeof blob);
    if (!imported) {
        context->key.release();  // nothing was imported
        return ServiceFailed(KindOfServiceError(importError), "cannot set up RC2: CryptImportKey",
                             importError);
    }
    // The key schedule is made again with the effective length; CBC and
    // PKCS#5 padding are the service's defaults for a block cipher, and are
    // set all the same, so nothing here depends on a default.
    DWORD bits = static_cast<DWORD>(effectiveBits);
    DWORD mode = CRYPT_MODE_CBC;
    DWORD padding = PKCS5_PADDING;
    if (!CryptSetKeyParam(context->key.get(), KP_EFFECTIVE_KEYLEN, reinterpret_cast<BYTE*>(&bits),
                          0))
        return CallFailed("cannot set up RC2: setting the effective key length");
    if (!CryptSetKeyParam(context->key.get(), KP_MODE, reinterpret_cast<BYTE*>(&mode), 0) ||
        !CryptSetKeyParam(context->key.get(), KP_PADDING, reinterpret_cast<BYTE*>(&padding), 0) ||
        !CryptSetKeyParam(context->key.get(), KP_IV,
                          reinterpret_cast<BYTE*>(const_cast<char*>(iv.data())), 0)) {
        return CallFailed("cannot set up RC2: CryptSetKeyParam");
    }
    cipher->reset(new Rc2Cbc(std::move(context)));
    return Status::OK();
}

Status Rc2Cbc::Update(const void* in, size_t n, void* out, size_t* written) {
    *written = 0;
    if (n > static_cast<size_t>(INT_MAX) - kBlockSize)
        return Status::Make(StatusCode::kNotSupported, "RC2: too many bytes in one step");
    Context& c = *context_;
    const size_t total = c.pending.size() + n;
    // Whole blocks only; when deciphering, at least one byte stays behind,
    // so the last block is left for Final.
    size_t now = total / kBlockSize * kBlockSize;
    if (c.direction == CipherDirection::kDecipher && now == total && now > 0)
        now -= kBlockSize;
    BYTE* o = static_cast<BYTE*>(out);
    const BYTE* i = static_cast<const BYTE*>(in);
    if (now > 0) {
        const size_t fromPending = c.pending.size();  // never more than `now`
        std::memcpy(o, c.pending.data(), fromPending);
        std::memcpy(o + fromPending, i, now - fromPending);
        c.pending.assign(i + (now - fromPending), i + n);
        DWORD length = static_cast<DWORD>(now);
        const BOOL done =
            c.direction == CipherDirection::kEncipher
                ? CryptEncrypt(c.key.get(), 0, FALSE, 0, o, &length, static_cast<DWORD>(now))
                : CryptDecrypt(c.key.get(), 0, FALSE, 0, o, &length);
        if (!done)
            return CallFailed("RC2");
        *written = length;
    } else {
        c.pending.insert(c.pending.end(), i, i + n);
    }
    return Status::OK();
}

Status Rc2Cbc::Final(void* out, size_t* written) {
    *written = 0;
    Context& c = *context_;
    BYTE* o = static_cast<BYTE*>(out);
    if (c.direction == CipherDirection::kEncipher) {
        // The final call pads to a whole block, out of no data too.
        BYTE block[2 * kBlockSize];
        DWORD length = static_cast<DWORD>(c.pending.size());
        std::memcpy(block, c.pending.data(), c.pending.size());
        c.pending.clear();
        if (!CryptEncrypt(c.key.get(), 0, TRUE, 0, block, &length, sizeof block))
            return CallFailed("RC2");
        if (length > kBlockSize)
            return Status::Make(StatusCode::kIoError, "RC2 failed (the final block is too long)");
        std::memcpy(o, block, length);
        *written = length;
        return Status::OK();
    }
    // Only the end of the stream tells a wrong key: a stream that is not
    // whole blocks, or a last block whose padding is not valid
    // (NTE_BAD_DATA). Any other failure is the service's own.
    const bool wholeBlock = c.pending.size() == kBlockSize;
    BYTE block[kBlockSize];
    DWORD length = static_cast<DWORD>(c.pending.size());
    if (wholeBlock)
        std::memcpy(block, c.pending.data(), kBlockSize);
    c.pending.clear();
    if (!wholeBlock)
        return WrongKey();
    if (!CryptDecrypt(c.key.get(), 0, TRUE, 0, block, &length)) {
        const DWORD code = GetLastError();
        if (code == static_cast<DWORD>(NTE_BAD_DATA))
            return WrongKey();
        return ServiceFailed(KindOfServiceError(code), "RC2", code);
    }
    std::memcpy(o, block, length);
    *written = length;
    return Status::OK();
}

}  // namespace platform
