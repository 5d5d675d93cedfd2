#include "convert1_1to2_0/FileUtils.h"

#include <memory>
#include <vector>

#include "platform/Env.h"
#include "platform/Fatal.h"
#include "platform/Rc2Cipher.h"

using platform::CipherDirection;
using platform::Env;
using platform::Md5Digest;
using platform::Rc2Cbc;
using platform::Status;

namespace {

const char kSource[] = "convert1_1to2_0/FileUtils";
const char kRenameCheck[] = "rename(TmpfName,aFileName)==0";

// One fixed buffer per call, whatever the file's size.
constexpr size_t kChunkSize = 1 << 16;

std::string TempName(const std::string& aFileName) {
    return aFileName + "__";
}

Md5Digest HashPassword(const std::string& password) {
    Md5Digest hash{};
    Status status = platform::Md5(platform::CryptoLibrary::Instance(), password, &hash);
    if (!status.ok())
        throw CipherUnavailable(status.message());
    return hash;
}

std::unique_ptr<Rc2Cbc> MakeCipher(CipherScheme scheme, const Md5Digest& hash,
                                   CipherDirection direction) {
    std::string key(reinterpret_cast<const char*>(hash.data()), hash.size());
    int effectiveBits = 40;
    switch (scheme) {
        case CipherScheme::kCurrent:
            effectiveBits = 128;
            break;
        case CipherScheme::kBase:
            // The base provider keeps 40 bits of the hash and pads the
            // 16-byte key with zero bytes; a 5-byte key would be another cipher.
            key.replace(5, std::string::npos, 11, '\0');
            break;
        case CipherScheme::kEarly:
            break;
    }
    std::unique_ptr<Rc2Cbc> cipher;
    Status status = Rc2Cbc::Create(platform::CryptoLibrary::Instance(), key, effectiveBits,
                                   std::string(Rc2Cbc::kBlockSize, '\0'), direction, &cipher);
    if (!status.ok())
        throw CipherUnavailable(status.message());
    return cipher;
}

enum class Outcome {
    kDone,      // the whole file went through; the result is flushed and closed
    kRejected,  // deciphering: not a whole stream with valid padding under this key
    kFailed,    // a file operation failed
};

struct Buffers {
    std::vector<char> in = std::vector<char>(kChunkSize);
    std::vector<char> out = std::vector<char>(kChunkSize + Rc2Cbc::kBlockSize);
};

// Streams `from` through `cipher` into `to`, which is created or truncated.
// *created tells whether `to` was opened (and so may need removing);
// *length is the number of bytes read from `from`; *failure says what went
// wrong when the outcome is kFailed.
Outcome Transform(Env& env, const std::string& from, const std::string& to, Rc2Cbc& cipher,
                  Buffers& buffers, bool* created, uint64_t* length, Status* failure) {
    *length = 0;
    auto failed = [failure](Status status) {
        *failure = std::move(status);
        return Outcome::kFailed;
    };
    std::unique_ptr<platform::ReadableFile> in;
    Status status = env.OpenForRead(from, &in);
    if (!status.ok())
        return failed(status);
    std::unique_ptr<platform::WritableFile> out;
    status = env.OpenForWrite(to, &out);
    if (!status.ok())
        return failed(status);
    *created = true;
    for (;;) {
        size_t got = 0;
        status = in->Read(buffers.in.data(), buffers.in.size(), &got);
        if (!status.ok())
            return failed(status);
        if (got == 0)
            break;
        *length += got;
        size_t written = 0;
        status = cipher.Update(buffers.in.data(), got, buffers.out.data(), &written);
        if (!status.ok())
            return failed(status);
        if (written > 0 && !(status = out->Write(buffers.out.data(), written)).ok())
            return failed(status);
    }
    size_t written = 0;
    const bool rejected = !cipher.Final(buffers.out.data(), &written).ok();
    if (!rejected) {
        if (written > 0 && !(status = out->Write(buffers.out.data(), written)).ok())
            return failed(status);
        // The result must be on disk before it takes the original's name.
        if (!(status = out->Flush()).ok())
            return failed(status);
    }
    if (!(status = out->Close()).ok() || !(status = in->Close()).ok())
        return failed(status);
    return rejected ? Outcome::kRejected : Outcome::kDone;
}

}  // namespace

bool EncryptFile(const std::string& aFileName, const std::string& password, CipherScheme scheme) {
    std::unique_ptr<Rc2Cbc> cipher =
        MakeCipher(scheme, HashPassword(password), CipherDirection::kEncipher);
    Env& env = Env::Current();
    const std::string tmpfName = TempName(aFileName);
    Buffers buffers;
    bool created = false;
    uint64_t length = 0;
    Status failure;
    if (Transform(env, aFileName, tmpfName, *cipher, buffers, &created, &length, &failure) !=
        Outcome::kDone) {
        // Only enciphered bytes were written, so a leftover is harmless and
        // the next run overwrites it.
        if (created)
            env.RemoveFile(tmpfName);
        throw platform::IoError(failure);
    }
    // Renaming over the original replaces it atomically: at every moment the
    // file is there, either plain or enciphered.
    JC_FATAL_CHECK(env.RenameFile(tmpfName, aFileName).ok(), kRenameCheck, kSource, 218);
    return true;
}

bool DecryptFile(const std::string& aFileName, const std::string& password,
                 const PlainTextCheck& accept, CipherScheme* opened) {
    const Md5Digest hash = HashPassword(password);
    Env& env = Env::Current();
    const std::string tmpfName = TempName(aFileName);
    Buffers buffers;
    bool created = false;
    for (CipherScheme scheme :
         {CipherScheme::kCurrent, CipherScheme::kBase, CipherScheme::kEarly}) {
        std::unique_ptr<Rc2Cbc> cipher = MakeCipher(scheme, hash, CipherDirection::kDecipher);
        uint64_t length = 0;
        Status failure;
        Outcome outcome =
            Transform(env, aFileName, tmpfName, *cipher, buffers, &created, &length, &failure);
        if (outcome == Outcome::kFailed) {
            // A file that cannot be read is no wrong password: say what failed.
            if (created)
                JC_FATAL_CHECK(env.RemoveFile(tmpfName).ok(), "remove(TmpfName)==0", kSource, 316);
            throw platform::IoError(failure);
        }
        if (outcome == Outcome::kDone) {
            bool accepted = true;
            if (accept) {
                try {
                    accepted = accept(tmpfName);
                } catch (...) {
                    env.RemoveFile(tmpfName);  // deciphered text must not linger
                    throw;
                }
            }
            if (accepted) {
                const Status renamed = env.RenameFile(tmpfName, aFileName);
                if (!renamed.ok())
                    env.RemoveFile(tmpfName);  // deciphered text must not linger
                JC_FATAL_CHECK(renamed.ok(), kRenameCheck, kSource, 312);
                if (opened != nullptr)
                    *opened = scheme;
                return true;
            }
        }
        // No key gives whole blocks: not enciphered at all, so no need to try the others.
        if (length == 0 || length % Rc2Cbc::kBlockSize != 0)
            break;
    }
    // The temporary file may hold text deciphered with a wrong key, or part of
    // the right one; neither may stay behind.
    if (created)
        JC_FATAL_CHECK(env.RemoveFile(tmpfName).ok(), "remove(TmpfName)==0", kSource, 316);
    return false;
}
