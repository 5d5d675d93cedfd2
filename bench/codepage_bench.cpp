// The legacy texts' way into the document, over a generated journal: widening
// through the chosen code page (against the fixed Windows-1251 table it
// replaces), and the judgement of the code page: in the journal's own page,
// and in a wrong one, where every other page is looked at.
//   codepage_bench [records]   (default 100000)
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "JournalGenerator.h"
#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/DataFile.h"
#include "platform/text/CodePage.h"
#include "platform/text/Cp1251.h"

namespace {

// The best of five passes, in milliseconds.
double Best(const std::function<size_t()>& pass, size_t* sink) {
    double best = 1e300;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        *sink += pass();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        best = ms < best ? ms : best;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    std::string dir = (std::filesystem::temp_directory_path() / "jc-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr)
        return 1;
    GenerateLegacyJournal(dir, count, "");
    int32_t stated = 0;
    std::vector<std::string> places, positions;
    std::vector<TRecord> records;
    QuietReporter reporter;
    {
        std::unique_ptr<platform::Folder> folder;
        if (!platform::Env::Real().OpenFolder(dir, &folder).ok())
            return 1;
        ReadDataFile(*folder, "data", reporter, &stated, &places, &positions, &records);
    }
    std::filesystem::remove_all(dir);

    size_t bytes = 0;
    std::vector<std::string_view> texts;
    for (const TRecord& record : records) {
        bytes += record.text.size();
        texts.push_back(record.text);
    }
    size_t sink = 0;
    const double fixed = Best(
        [&] {
            size_t n = 0;
            for (const TRecord& record : records)
                n += platform::WidenCp1251(record.text).size();
            return n;
        },
        &sink);
    const auto widen = [&](int page) {
        return Best(
            [&] {
                size_t n = 0;
                for (const TRecord& record : records)
                    n += platform::WidenCodePage(record.text, page).size();
                return n;
            },
            &sink);
    };
    const double cp1251 = widen(1251), cp1252 = widen(1252);
    const auto judge = [&](int page) {
        return Best(
            [&] {
                CodePageJudgement judgement(texts);
                return static_cast<size_t>(judgement.BetterPage(page));
            },
            &sink);
    };
    const double own = judge(1251), wrong = judge(1252);
    std::printf("%zu records, %.1f MiB of text (checksum %zu)\n", records.size(),
                static_cast<double>(bytes) / (1 << 20), sink);
    std::printf("%-36s %10s %12s\n", "pass over every record text", "ms", "ns/byte");
    const auto row = [&](const char* what, double ms) {
        std::printf("%-36s %10.2f %12.3f\n", what, ms, ms * 1e6 / static_cast<double>(bytes));
    };
    row("widen, fixed Windows-1251 table", fixed);
    row("widen, code page 1251", cp1251);
    row("widen, code page 1252", cp1252);
    row("judgement in its own code page", own);
    row("judgement in a wrong code page", wrong);
    return 0;
}
