#pragma once

// Enciphering and deciphering the legacy data file in place.
//
// An enciphered file is RC2-CBC (zero IV, PKCS#5 padding) of the whole plain
// file, keyed from the MD5 hash of the password. Which RC2 key the hash gives
// depends on the Windows provider that wrote the file; see CipherScheme.

#include <functional>
#include <string>

#include "platform/Status.h"
#include "platform/os/Env.h"

// The ways a Windows machine turned the password hash h into an RC2 key.
enum class CipherScheme {
    kCurrent,  // all 16 bytes of h, 128 effective bits (Windows XP SP1 and later)
    kBase,     // first 5 bytes of h and 11 zero bytes, 40 effective bits (base provider)
    kEarly,    // all 16 bytes of h, 40 effective bits (Windows 2000, XP before SP1)
};

// Called with the name of a temporary file (in the folder of the file being
// deciphered) holding a candidate deciphered text; true accepts it. The legacy database passes its
// plain-journal test here, so that a wrong password whose padding happens to look right is still
// refused.
using PlainTextCheck = std::function<bool(const std::string& plainFileName)>;

// A wrong password is only ever a wrong password: false from the calls
// below. Every other failure, of the file system or of the cryptographic
// service (which cannot supply the cipher, or fails in the middle of a
// stream), throws platform::Error with the system's own reason, and is never
// reported as a wrong password.

// Enciphers the file aFileName of `folder` in place with the key `scheme`
// derives from `password`. The result is built in a new private temporary
// file named after aFileName + "__" and renamed over aFileName; it keeps the
// temporary file's ownership and permissions (the caller gives the journal
// its own back). True means aFileName now holds the enciphered file.
// Failures throw, with aFileName as it was.
bool EncryptFile(platform::Folder& folder, const std::string& aFileName,
                 const std::string& password, CipherScheme scheme = CipherScheme::kCurrent);

// Deciphers the file aFileName of `folder` in place. Tries kCurrent, kBase and kEarly in turn and
// takes the first whose padding is valid and whose text `accept` (when given)
// accepts; on success *opened (when given) tells which scheme it was, so the
// caller can encipher the file again the same way. The deciphered file is
// private (readable by its owner only). False means aFileName is as
// it was: a wrong password, or a file that was never enciphered. Failures
// throw, with aFileName as it was.
bool DecryptFile(platform::Folder& folder, const std::string& aFileName,
                 const std::string& password, const PlainTextCheck& accept = nullptr,
                 CipherScheme* opened = nullptr);

// The same for a file named by its path (tools and tests), its folder opened
// for the call; `accept` is called with a path too.
bool EncryptFile(const std::string& path, const std::string& password,
                 CipherScheme scheme = CipherScheme::kCurrent);
bool DecryptFile(const std::string& path, const std::string& password,
                 const PlainTextCheck& accept = nullptr, CipherScheme* opened = nullptr);

// Deciphers `cipherText` (a whole enciphered file) in memory, trying the
// schemes as DecryptFile does; `accept` (when given) judges each candidate
// text. False for a wrong password. A key whose last block has no valid
// padding is refused before the rest is deciphered, so trying many
// passwords costs little.
bool DecipherText(const std::string& cipherText, const std::string& password,
                  const std::function<bool(const std::string& plain)>& accept, std::string* plain,
                  CipherScheme* opened);

// Puts `plain`, the deciphered text of aFileName, in its place: written to a
// new private temporary file beside it (named as the cipher names its own),
// flushed, and renamed over it. The file is then its owner's alone. Failures
// throw, with aFileName as it was.
void ReplaceWithPlainText(platform::Folder& folder, const std::string& aFileName,
                          const std::string& plain);
