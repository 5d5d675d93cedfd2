// Builds a journal document of N dreams through the binding, saves it,
// reloads it and reads every dream's fields by index; prints each phase's
// time and the peak memory. Usage: document_bench [dreams] [folder]
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/DocumentTemplate.h"
#include "core/DreamBinding.h"
#include "platform/os/Env.h"
#include "platform/text/PathText.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::u16string TextOf(int i) {
    std::u16string text = u"Мне снилось, что я лечу над городом <lucid>и понимаю, что сплю</lucid>";
    text += u"\r\nзапись № " + platform::PathToWide(std::to_string(i));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string folder = argc > 2 ? argv[2] : "";
    if (folder.empty()) {
        char pattern[] = "/tmp/document-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
    }
    const std::string path = platform::JoinPath(folder, "data.xml");
    const std::u16string widePath = platform::PathToWide(path);
    try {
        std::unique_ptr<platform::Folder> open;
        platform::Status written = platform::Env::Real().OpenFolder(folder, &open);
        if (written.ok())
            written = WriteDocumentTemplate(*open, "data.xml");
        if (!written.ok()) {
            std::fprintf(stderr, "%s\n", written.message().c_str());
            return 1;
        }
        auto start = Clock::now();
        auto doc = TXMLDocument::Create(widePath);
        IXMLContentsTypePtr contents = BindContents(doc);
        IXMLDreamsTypePtr dreams = contents->Get_Dreams();
        for (int i = 0; i < count; ++i) {
            IXMLDreamTypePtr dream = dreams->Add();
            dream->Set_Dt(39448.0 + i / 3.0);
            dream->Set_Clock(i % 6);
            dream->Set_Subject(u"");
            dream->Set_Type(i % 3);
            dream->Set_Place(i % 4);
            dream->Set_Position(i % 5);
            dream->Set_Duration(0);
            dream->Set_Clarity(i % 10);
            dream->Set_Text(TextOf(i));
        }
        const double build = SecondsSince(start);
        const long buildRss = PeakRssKiB();

        start = Clock::now();
        doc->SaveToFile(widePath);
        const double save = SecondsSince(start);
        const long saveRss = PeakRssKiB();
        dreams.reset();
        contents.reset();
        doc.reset();

        start = Clock::now();
        doc = TXMLDocument::Create(widePath);
        contents = BindContents(doc);
        const double reload = SecondsSince(start);
        const long reloadRss = PeakRssKiB();

        start = Clock::now();
        dreams = contents->Get_Dreams();
        const int read = dreams->Get_Count();
        long long checksum = 0;
        for (int i = 0; i < read; ++i) {
            IXMLDreamTypePtr dream = dreams->Get_Dream(i);
            checksum +=
                static_cast<long long>(dream->Get_Dt()) + dream->Get_Clock() + dream->Get_Type() +
                dream->Get_Place() + dream->Get_Position() + dream->Get_Clarity() +
                dream->Get_Duration() +
                static_cast<long long>(dream->Get_Subject().size() + dream->Get_Text().size());
        }
        const double readAll = SecondsSince(start);
        if (read != count || dreams->Get_Dream(count - 1)->Get_Text() != TextOf(count - 1)) {
            std::fprintf(stderr, "read back %d dreams of %d, or the last one differs\n", read,
                         count);
            return 1;
        }
        std::printf("dreams %d  file %s\n", count, path.c_str());
        std::printf("build  %.3f s  (peak RSS %ld MiB)\n", build, buildRss / 1024);
        std::printf("save   %.3f s  (peak RSS %ld MiB)\n", save, saveRss / 1024);
        std::printf("reload %.3f s  (peak RSS %ld MiB)\n", reload, reloadRss / 1024);
        std::printf("read   %.3f s  (peak RSS %ld MiB)\n", readAll, PeakRssKiB() / 1024);
        std::printf("checksum %lld\n", checksum);
    } catch (const XmlError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    if (argc <= 2) {
        std::remove(path.c_str());
        rmdir(folder.c_str());
    }
    return 0;
}
