// Time and peak memory of enciphering and deciphering a large data file in
// place. Usage: cipher_bench [megabytes=50] [folder]
// With a folder, the files stay there for comparison with `openssl enc`
// (the command line is printed); without one, a temporary folder is used and
// removed.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert1_1to2_0/FileUtils.h"
#include "platform/crypto/Rc2Cipher.h"
#include "platform/os/Env.h"

namespace {

const char kPassword[] = "bench";

long PeakRssKiB() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A repeatable pseudo-random byte stream, made piece by piece.
class Pattern {
  public:
    void Fill(std::vector<char>& buffer) {
        for (char& c : buffer) {
            x_ = x_ * 6364136223846793005ull + 1442695040888963407ull;
            c = static_cast<char>(x_ >> 56);
        }
    }

  private:
    unsigned long long x_ = 42;
};

constexpr size_t kPiece = 1 << 20;

std::unique_ptr<platform::Folder> FolderOfFile(const std::string& path) {
    std::unique_ptr<platform::Folder> folder;
    platform::Env::Real().OpenFolder(platform::FolderOf(path), &folder);
    return folder;
}

bool WritePattern(const std::string& path, size_t megabytes) {
    std::unique_ptr<platform::Folder> folder = FolderOfFile(path);
    std::unique_ptr<platform::WritableFile> file;
    if (!folder || !folder->CreateNew(platform::NameOf(path), &file).ok())
        return false;
    Pattern pattern;
    std::vector<char> piece(kPiece);
    for (size_t i = 0; i < megabytes; ++i) {
        pattern.Fill(piece);
        if (!file->Write(piece.data(), piece.size()).ok())
            return false;
    }
    return file->Close().ok();
}

bool MatchesPattern(const std::string& path, size_t megabytes) {
    std::unique_ptr<platform::Folder> folder = FolderOfFile(path);
    std::unique_ptr<platform::ReadableFile> file;
    if (!folder || !folder->OpenForRead(platform::NameOf(path), &file).ok())
        return false;
    Pattern pattern;
    std::vector<char> expected(kPiece), got(kPiece);
    for (size_t i = 0; i < megabytes; ++i) {
        pattern.Fill(expected);
        size_t filled = 0;
        while (filled < kPiece) {
            size_t n = 0;
            if (!file->Read(got.data() + filled, kPiece - filled, &n).ok() || n == 0)
                return false;
            filled += n;
        }
        if (got != expected)
            return false;
    }
    size_t n = 0;
    return file->Read(got.data(), 1, &n).ok() && n == 0 && file->Close().ok();
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    std::string folder;
    const bool keep = argc > 2;
    if (keep) {
        folder = argv[2];
    } else {
        char pattern[] = "/tmp/cipher-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            return 1;
        folder = pattern;
    }
    const std::string file = platform::JoinPath(folder, "data");
    if (!WritePattern(file, megabytes)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    if (keep)
        platform::CopyWholeFile(*FolderOfFile(file), "data", "data.plain");
    const long baseline = PeakRssKiB();

    auto start = std::chrono::steady_clock::now();
    const bool enciphered = EncryptFile(file, kPassword);
    const double encipherSeconds = Seconds(start);
    const long afterEncipher = PeakRssKiB();
    if (keep)
        platform::CopyWholeFile(*FolderOfFile(file), "data", "data.ours");

    start = std::chrono::steady_clock::now();
    CipherScheme scheme = CipherScheme::kEarly;
    const bool deciphered = DecryptFile(file, kPassword, nullptr, &scheme);
    const double decipherSeconds = Seconds(start);
    const long afterDecipher = PeakRssKiB();

    const bool intact =
        deciphered && scheme == CipherScheme::kCurrent && MatchesPattern(file, megabytes);
    std::printf("file: %zu MiB\n", megabytes);
    std::printf("encipher: %.3f s (%.1f MiB/s)  %s\n", encipherSeconds, megabytes / encipherSeconds,
                enciphered ? "ok" : "FAILED");
    std::printf("decipher: %.3f s (%.1f MiB/s)  %s\n", decipherSeconds, megabytes / decipherSeconds,
                intact ? "ok, contents intact" : "FAILED");
    std::printf("peak RSS: %ld KiB before, %ld KiB after encipher, %ld KiB after decipher\n",
                baseline, afterEncipher, afterDecipher);

    platform::Md5Digest key{};
    platform::Md5(platform::CryptoLibrary::Instance(), kPassword, &key);
    std::string hex;
    for (unsigned char b : key) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    if (keep) {
        std::printf(
            "compare: /usr/bin/time -v openssl enc -rc2-cbc -provider legacy "
            "-provider default -K %s -iv 0000000000000000 -in %s.plain -out %s.openssl"
            " && cmp %s.ours %s.openssl\n",
            hex.c_str(), file.c_str(), file.c_str(), file.c_str(), file.c_str());
    } else {
        FolderOfFile(file)->RemoveFile("data");
        rmdir(folder.c_str());
    }
    return enciphered && intact ? 0 : 1;
}
