#include "core/DocumentTemplate.h"

#include "core/StringTable.h"
#include "platform/Env.h"
#include "platform/TextMode.h"

std::string BuildDocumentTemplate() {
    auto s = [](int id) { return LoadStringTableEntry(id); };
    // Line 9 is indented with eight spaces, not two tabs: that is how the
    // journal's template has always been, byte for byte.
    return "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\n"
           "<Contents>\n"
           "\t<Clocks>\n"
           "\t\t<clock>" +
           s(2) +
           "</clock>\n"
           "\t\t<clock>" +
           s(3) +
           "</clock>\n"
           "\t\t<clock>" +
           s(4) +
           "</clock>\n"
           "\t\t<clock>" +
           s(5) +
           "</clock>\n"
           "\t\t<clock>" +
           s(6) +
           "</clock>\n"
           "        <clock>" +
           s(7) +
           "</clock>\n"
           "\t</Clocks>\n"
           "\t<Types>\n"
           "\t\t<type>" +
           s(8) +
           "</type>\n"
           "\t\t<type>" +
           s(9) +
           "</type>\n"
           "\t\t<type>" +
           s(10) +
           "</type>\n"
           "\t</Types>\n"
           "\t<Places>\n"
           "\t\t<place>" +
           s(11) +
           "</place>\n"
           "\t</Places>\n"
           "\t<Positions>\n"
           "\t\t<position>" +
           s(12) +
           "</position>\n"
           "\t\t<position>" +
           s(13) +
           "</position>\n"
           "\t\t<position>" +
           s(14) +
           "</position>\n"
           "\t\t<position>" +
           s(15) +
           "</position>\n"
           "\t\t<position>" +
           s(16) +
           "</position>\n"
           "\t</Positions>\n"
           "\t<Dreams>\n"
           "\t</Dreams>\n"
           "</Contents>";
}

platform::Status WriteDocumentTemplate(const std::string& path) {
    return platform::WriteFileAtomically(platform::Env::Current(), path,
                                         platform::ToTextMode(BuildDocumentTemplate()));
}
