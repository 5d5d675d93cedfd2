// End-to-end conversion of generated legacy journals: time, records per
// second and the peak memory of the converting program (started as a user
// starts it), against the floor no converter can go below: deciphering and
// enciphering the data file with the openssl command, and parsing and saving
// the new document with xmllint (the floor is left out where either command
// is missing).
//   convert_bench [records ...]   (default: 10000 100000)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "JournalGenerator.h"
#include "platform/crypto/Rc2Cipher.h"

namespace {

// Seconds a shell command takes; negative when it fails.
double Timed(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The floor for the conversion just made in `dir`: its journal as found
// ("_data") deciphered and enciphered again, its document parsed and saved.
double Floor(const std::string& dir, const std::string& password) {
    platform::Md5Digest hash{};
    if (!platform::CryptoService::Real().Md5(password, &hash).ok())
        return -1;
    std::string key;
    for (uint8_t byte : hash) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        key += hex;
    }
    const std::string rc2 = "openssl enc -rc2-cbc -K " + key +
                            " -iv 0000000000000000 -provider legacy -provider default ";
    const double seconds[] = {
        Timed(rc2 + "-d -in '" + dir + "/_data' -out '" + dir + "/floor.plain'"),
        Timed(rc2 + "-e -in '" + dir + "/floor.plain' -out '" + dir + "/floor.enc'"),
        Timed("xmllint --output '" + dir + "/floor.xml' '" + dir + "/data.xml'"),
    };
    double total = 0;
    for (double part : seconds) {
        if (part < 0)
            return -1;
        total += part;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::strtoul(argv[i], nullptr, 10));
    if (counts.empty())
        counts = {10000, 100000};
    std::printf("%10s %10s %14s %12s %12s %10s %8s\n", "records", "seconds", "records/s",
                "peak MiB", "data MiB", "floor s", "x floor");
    for (size_t count : counts) {
        std::string dir = (std::filesystem::temp_directory_path() / "jc-bench-XXXXXX").string();
        if (::mkdtemp(dir.data()) == nullptr)
            return 1;
        GenerateLegacyJournal(dir, count, "benchmark");
        const double dataMiB =
            static_cast<double>(std::filesystem::file_size(dir + "/data")) / (1 << 20);
        const auto start = std::chrono::steady_clock::now();
        std::fflush(stdout);  // or the child prints what is buffered again
        pid_t pid = ::fork();
        if (pid == 0) {
            // The program as a user starts it, with a heap of its own (a
            // forked copy of this one would share the generator's pages).
            const int null = ::open("/dev/null", O_RDWR);
            if (::chdir(dir.c_str()) != 0 || null < 0 || ::dup2(null, 0) < 0 ||
                ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0)
                ::_exit(127);
            ::execl(JC_CONVERTER_PATH, "convert1_1to2_0", "benchmark", nullptr);
            ::_exit(127);
        }
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "conversion of %zu records failed\n", count);
            return 1;
        }
        const double floor = Floor(dir, "benchmark");
        std::printf("%10zu %10.2f %14.0f %12.1f %12.1f", count, seconds, count / seconds,
                    usage.ru_maxrss / 1024.0, dataMiB);
        if (floor > 0)
            std::printf(" %10.2f %8.2f\n", floor, seconds / floor);
        else
            std::printf(" %10s %8s\n", "-", "-");
        std::filesystem::remove_all(dir);
    }
    return 0;
}
