// Opening large journals: the engine reads, binds and arranges the whole
// document at construction, so that is where size shows.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "JournalGenerator.h"
#include "core/dream.h"
#include "platform/os/Env.h"

namespace {

std::string MakeJournal(const std::vector<double>& dts) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n<Contents>\r\n"
        "\t<Clocks><clock>time</clock></Clocks>\r\n\t<Types><type>dream</type></Types>\r\n"
        "\t<Places><place>home</place></Places>\r\n"
        "\t<Positions><position>?</position></Positions>\r\n\t<Dreams>\r\n";
    char line[512];
    for (double dt : dts) {
        std::snprintf(line, sizeof line,
                      "\t\t<Dream><dt>%.15g</dt><clock>1</clock><subject></subject><type>0</type>"
                      "<place>0</place><position>0</position><duration>0</duration>"
                      "<clarity>2</clarity><text>Flying over the town at night, then the sea."
                      "</text></Dream>\r\n",
                      dt);
        text += line;
    }
    return text + "\t</Dreams>\r\n</Contents>\r\n";
}

bool Check(bool ok, const char* what) {
    if (!ok)
        std::fprintf(stderr, "engine_bench: %s\n", what);
    return ok;
}

// Opens a journal of the given dates from a fresh folder; returns seconds.
bool Run(const char* name, const std::vector<double>& dts) {
    char pattern[] = "/tmp/engine-bench-XXXXXX";
    if (!Check(::mkdtemp(pattern) != nullptr, "cannot make a folder"))
        return false;
    const std::string folder = pattern;
    platform::Env& env = platform::Env::Real();
    if (!Check(platform::WriteFileAtomically(env, folder + "/data.xml", MakeJournal(dts)).ok(),
               "cannot write the journal") ||
        !Check(::chdir(folder.c_str()) == 0, "cannot enter the folder"))
        return false;

    bool ok = true;
    const auto start = std::chrono::steady_clock::now();
    {
        QuietReporter reporter;
        DreamEngine engine(true, reporter);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ok = Check(engine.DreamCount() == static_cast<int>(dts.size()), "dreams lost");
        double previous = -1e300;
        for (int k = 0; ok && k < engine.DreamCount(); k += 997) {
            const double dt = engine.GetDream(k)->Get_Dt();
            ok = Check(dt >= previous, "dreams out of order");
            previous = dt;
        }
        std::printf("%-38s %7zu dreams  open %.3f s\n", name, dts.size(), seconds);
    }
    env.RemoveFile(folder + "/data.xml");
    env.RemoveFile(folder + "/ini.txt");
    ok = Check(::chdir("/") == 0 && ::rmdir(folder.c_str()) == 0, "cannot clean up") && ok;
    return ok;
}

}  // namespace

int main() {
    const double firstDay = 36526.0;  // dates of some decades of journal keeping
    std::vector<double> ordered(100000);
    for (size_t k = 0; k < ordered.size(); ++k)
        ordered[k] = firstDay + k * 0.25;

    std::mt19937 random(12345);
    std::vector<double> shuffled(20000);
    for (double& dt : shuffled)
        dt = firstDay + (random() % 4000) + (random() % 4) * 0.25;

    std::vector<double> reversed(ordered.rbegin(), ordered.rend());
    std::vector<double> manyTies(100000);
    for (double& dt : manyTies)
        dt = firstDay + (random() % 3000);

    bool ok = Run("date order", ordered);
    ok = Run("random date order (with equal dates)", shuffled) && ok;
    ok = Run("reverse date order", reversed) && ok;
    ok = Run("random order, ~33 dreams a date", manyTies) && ok;
    return ok ? 0 : 1;
}
