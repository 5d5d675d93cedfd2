#include "convert1_1to2_0/FileUtils.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "core/JournalFiles.h"
#include "platform/crypto/Rc2Cipher.h"
#include "platform/os/Env.h"
#include "platform/os/Interrupt.h"

using platform::CipherDirection;
using platform::CipherStream;
using platform::CryptoService;
using platform::Env;
using platform::Folder;
using platform::Md5Digest;
using platform::Status;
using platform::StatusCode;

namespace {

// One fixed buffer per call, whatever the file's size.
constexpr size_t kChunkSize = 1 << 16;

std::string TempName(const std::string& aFileName) {
    return aFileName + journal_files::kCipherTempSuffix;
}

// The cryptographic service failing is never a wrong password: it ends the
// run with the service's own reason.
Md5Digest HashPassword(const std::string& password) {
    Md5Digest hash{};
    platform::ThrowIfFailed(CryptoService::Current().Md5(password, &hash));
    return hash;
}

std::unique_ptr<CipherStream> MakeCipher(
    CipherScheme scheme, const Md5Digest& hash, CipherDirection direction,
    std::string_view iv = std::string_view("\0\0\0\0\0\0\0\0", CipherStream::kBlockSize)) {
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
    std::unique_ptr<CipherStream> cipher;
    platform::ThrowIfFailed(
        CryptoService::Current().CreateRc2(key, effectiveBits, iv, direction, &cipher));
    return cipher;
}

// True when the last block of `cipherText` (whole blocks, at least two)
// ends in valid padding under this key: in CBC it needs only the block
// before it. A wrong key fails here all but once in a few hundred times, so
// the whole text is deciphered for the right key alone.
bool PaddingFits(const std::string& cipherText, CipherScheme scheme, const Md5Digest& hash) {
    const size_t block = CipherStream::kBlockSize;
    const std::string_view last(cipherText.data() + cipherText.size() - block, block);
    std::unique_ptr<CipherStream> cipher =
        MakeCipher(scheme, hash, CipherDirection::kDecipher,
                   std::string_view(cipherText.data() + cipherText.size() - 2 * block, block));
    char out[2 * CipherStream::kBlockSize];
    size_t written = 0;
    platform::ThrowIfFailed(cipher->Update(last.data(), last.size(), out, &written));
    const Status final = cipher->Final(out + written, &written);
    if (final.Is(StatusCode::kWrongKey))
        return false;
    platform::ThrowIfFailed(final);
    return true;
}

enum class Outcome {
    kDone,      // the whole file went through; the result is flushed and closed
    kRejected,  // deciphering: not a whole stream with valid padding under this key
    kFailed,    // a file operation failed
};

struct Buffers {
    std::vector<char> in = std::vector<char>(kChunkSize);
    std::vector<char> out = std::vector<char>(kChunkSize + CipherStream::kBlockSize);
};

// Streams `from` through `cipher` into a new private temporary file beside
// `from` (its name starts with `from` + "__"). *temp tells its path once it
// exists (the caller removes or renames it); *length is the number of bytes
// read from `from`; *failure says what went wrong when the outcome is
// kFailed.
Outcome Transform(Folder& folder, const std::string& from, CipherStream& cipher, Buffers& buffers,
                  std::string* temp, uint64_t* length, Status* failure) {
    *length = 0;
    auto failed = [failure](Status status) {
        *failure = std::move(status);
        return Outcome::kFailed;
    };
    std::unique_ptr<platform::ReadableFile> in;
    Status status = folder.OpenForRead(from, &in);
    if (!status.ok())
        return failed(status);
    std::unique_ptr<platform::WritableFile> out;
    status = folder.CreateTemp(TempName(from), temp, &out);
    if (!status.ok()) {
        temp->clear();
        return failed(status);
    }
    for (;;) {
        platform::CheckForInterrupt();
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
    status = cipher.Final(buffers.out.data(), &written);
    const bool rejected = status.Is(StatusCode::kWrongKey);
    if (!status.ok() && !rejected)
        return failed(status);
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

// A temporary file that is removed when it goes out of scope, unless it has
// taken its place. Deciphered text must not linger, so a removal that fails
// is reported, with the name to delete by hand.
class TempFile {
  public:
    explicit TempFile(Folder& folder) : folder_(folder) {}
    // Every normal path removes or renames the file itself; this one is
    // for an exception passing through (an interrupt, a failing check).
    ~TempFile() { Remove(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::string* path() { return &path_; }
    // One attempt: a file that cannot be removed is reported, not retried.
    Status Remove() {
        if (path_.empty())
            return Status::OK();
        Status status = folder_.RemoveFile(path_);
        path_.clear();
        return status;
    }
    // Renames the file over `target`; it is then no longer this object's.
    Status RenameTo(const std::string& target) {
        Status status = folder_.RenameFile(path_, target);
        if (status.ok())
            path_.clear();
        return status;
    }

  private:
    Folder& folder_;
    std::string path_;  // the name of the file in the folder
};

// Deciphered text must not linger: a temporary file that cannot be removed
// is named in the message, for the user to delete.
Status CannotRemove(const Status& removal) {
    return Status::Make(removal.code(), removal.message() + " (delete it by hand)", removal.path(),
                        removal.systemCode(), removal.systemText());
}

// Throws platform::Error for `status` once the temporary file is gone (or said to
// be there).
[[noreturn]] void Fail(const Status& status, TempFile& temp) {
    const Status removed = temp.Remove();
    if (!removed.ok())
        throw platform::Error(status.Adding(CannotRemove(removed).message()));
    throw platform::Error(status);
}

}  // namespace

bool EncryptFile(Folder& folder, const std::string& aFileName, const std::string& password,
                 CipherScheme scheme) {
    std::unique_ptr<CipherStream> cipher =
        MakeCipher(scheme, HashPassword(password), CipherDirection::kEncipher);
    Buffers buffers;
    TempFile temp(folder);
    uint64_t length = 0;
    Status failure;
    if (Transform(folder, aFileName, *cipher, buffers, temp.path(), &length, &failure) !=
        Outcome::kDone)
        Fail(failure, temp);
    // Renaming over the original replaces it atomically: at every moment the
    // file is there, either plain or enciphered.
    const Status renamed = temp.RenameTo(aFileName);
    if (!renamed.ok())
        Fail(renamed, temp);
    return true;
}

bool DecipherText(const std::string& cipherText, const std::string& password,
                  const std::function<bool(const std::string& plain)>& accept, std::string* plain,
                  CipherScheme* opened) {
    if (cipherText.empty() || cipherText.size() % CipherStream::kBlockSize != 0)
        return false;  // no key gives whole blocks
    const Md5Digest hash = HashPassword(password);
    for (CipherScheme scheme :
         {CipherScheme::kCurrent, CipherScheme::kBase, CipherScheme::kEarly}) {
        if (cipherText.size() >= 2 * CipherStream::kBlockSize &&
            !PaddingFits(cipherText, scheme, hash))
            continue;
        std::unique_ptr<CipherStream> cipher = MakeCipher(scheme, hash, CipherDirection::kDecipher);
        plain->assign(cipherText.size() + CipherStream::kBlockSize, '\0');
        size_t written = 0, last = 0;
        platform::ThrowIfFailed(
            cipher->Update(cipherText.data(), cipherText.size(), &(*plain)[0], &written));
        const Status final = cipher->Final(&(*plain)[written], &last);
        if (final.Is(StatusCode::kWrongKey))
            continue;
        platform::ThrowIfFailed(final);
        plain->resize(written + last);
        if (!accept || accept(*plain)) {
            *opened = scheme;
            return true;
        }
    }
    plain->clear();
    return false;
}

void ReplaceWithPlainText(Folder& folder, const std::string& aFileName, const std::string& plain) {
    TempFile temp(folder);
    std::unique_ptr<platform::WritableFile> out;
    Status status = folder.CreateTemp(TempName(aFileName), temp.path(), &out);
    if (!status.ok()) {
        temp.path()->clear();
        throw platform::Error(status);
    }
    for (size_t done = 0; done < plain.size(); done += kChunkSize) {
        platform::CheckForInterrupt();
        status = out->Write(plain.data() + done, std::min(kChunkSize, plain.size() - done));
        if (!status.ok())
            Fail(status, temp);
    }
    // The text must be on disk before it takes the original's name.
    if (!(status = out->Flush()).ok() || !(status = out->Close()).ok() ||
        !(status = temp.RenameTo(aFileName)).ok())
        Fail(status, temp);
}

bool DecryptFile(Folder& folder, const std::string& aFileName, const std::string& password,
                 const PlainTextCheck& accept, CipherScheme* opened) {
    const Md5Digest hash = HashPassword(password);
    Buffers buffers;
    for (CipherScheme scheme :
         {CipherScheme::kCurrent, CipherScheme::kBase, CipherScheme::kEarly}) {
        std::unique_ptr<CipherStream> cipher = MakeCipher(scheme, hash, CipherDirection::kDecipher);
        // The temporary file may hold text deciphered with a wrong key, or
        // part of the right one; neither may stay behind.
        TempFile temp(folder);
        uint64_t length = 0;
        Status failure;
        Outcome outcome =
            Transform(folder, aFileName, *cipher, buffers, temp.path(), &length, &failure);
        // A file that cannot be read is no wrong password: say what failed.
        if (outcome == Outcome::kFailed)
            Fail(failure, temp);
        if (outcome == Outcome::kDone && (!accept || accept(*temp.path()))) {
            const Status renamed = temp.RenameTo(aFileName);
            if (!renamed.ok())
                Fail(renamed, temp);
            if (opened != nullptr)
                *opened = scheme;
            return true;
        }
        const Status removed = temp.Remove();
        if (!removed.ok())
            throw platform::Error(CannotRemove(removed));
        // No key gives whole blocks: not enciphered at all, so no need to try the others.
        if (length == 0 || length % CipherStream::kBlockSize != 0)
            break;
    }
    return false;
}

namespace {

std::unique_ptr<Folder> FolderOfFile(const std::string& path) {
    std::unique_ptr<Folder> folder;
    platform::ThrowIfFailed(Env::Current().OpenFolder(platform::FolderOf(path), &folder));
    return folder;
}

}  // namespace

bool EncryptFile(const std::string& path, const std::string& password, CipherScheme scheme) {
    return EncryptFile(*FolderOfFile(path), platform::NameOf(path), password, scheme);
}

bool DecryptFile(const std::string& path, const std::string& password, const PlainTextCheck& accept,
                 CipherScheme* opened) {
    const std::string folder = platform::FolderOf(path);
    PlainTextCheck byPath;
    if (accept)
        byPath = [&](const std::string& name) { return accept(platform::JoinPath(folder, name)); };
    return DecryptFile(*FolderOfFile(path), platform::NameOf(path), password, byPath, opened);
}
