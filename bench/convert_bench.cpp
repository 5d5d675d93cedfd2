// End-to-end conversion of generated legacy journals: time, records per
// second and the peak memory of the converting process.
//   convert_bench [records ...]   (default: 10000 100000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "JournalGenerator.h"
#include "convert1_1to2_0/Program.h"

int main(int argc, char** argv) {
    std::vector<size_t> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::strtoul(argv[i], nullptr, 10));
    if (counts.empty())
        counts = {10000, 100000};
    std::printf("%10s %10s %14s %12s %12s\n", "records", "seconds", "records/s", "peak MiB",
                "data MiB");
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
            if (::chdir(dir.c_str()) != 0)
                ::_exit(127);
            std::istringstream in;
            QuietReporter reporter;
            const char* args[] = {"convert1_1to2_0", "benchmark"};
            ::_exit(RunProgram(2, args, in, reporter));
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
        std::printf("%10zu %10.2f %14.0f %12.1f %12.1f\n", count, seconds, count / seconds,
                    usage.ru_maxrss / 1024.0, dataMiB);
        std::filesystem::remove_all(dir);
    }
    return 0;
}
