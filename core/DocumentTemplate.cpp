#include "core/DocumentTemplate.h"

#include "core/StringTable.h"
#include "platform/os/Env.h"
#include "platform/text/TextMode.h"

namespace {

// One line of the template: fixed text, then the string table entry `id`
// (none when 0), then fixed text.
struct Line {
    const char* before;
    int id;
    const char* after;
};

// Line 9 is indented with eight spaces, not two tabs: the journal's template
// has always been so, and new documents stay byte for byte the same.
const Line kLines[] = {
    {"<?xml version=\"1.0\" encoding=\"Windows-1251\"?>", 0, ""},
    {"<Contents>", 0, ""},
    {"\t<Clocks>", 0, ""},
    {"\t\t<clock>", 2, "</clock>"},
    {"\t\t<clock>", 3, "</clock>"},
    {"\t\t<clock>", 4, "</clock>"},
    {"\t\t<clock>", 5, "</clock>"},
    {"\t\t<clock>", 6, "</clock>"},
    {"        <clock>", 7, "</clock>"},
    {"\t</Clocks>", 0, ""},
    {"\t<Types>", 0, ""},
    {"\t\t<type>", 8, "</type>"},
    {"\t\t<type>", 9, "</type>"},
    {"\t\t<type>", 10, "</type>"},
    {"\t</Types>", 0, ""},
    {"\t<Places>", 0, ""},
    {"\t\t<place>", 11, "</place>"},
    {"\t</Places>", 0, ""},
    {"\t<Positions>", 0, ""},
    {"\t\t<position>", 12, "</position>"},
    {"\t\t<position>", 13, "</position>"},
    {"\t\t<position>", 14, "</position>"},
    {"\t\t<position>", 15, "</position>"},
    {"\t\t<position>", 16, "</position>"},
    {"\t</Positions>", 0, ""},
    {"\t<Dreams>", 0, ""},
    {"\t</Dreams>", 0, ""},
    {"</Contents>", 0, ""},
};

}  // namespace

std::string BuildDocumentTemplate() {
    std::string text;
    for (const Line& line : kLines) {
        if (!text.empty())
            text.push_back('\n');  // none after the last line
        text += line.before;
        if (line.id != 0)
            text += LoadStringTableEntry(line.id);
        text += line.after;
    }
    return text;
}

platform::Status WriteDocumentTemplate(platform::Folder& folder, const std::string& name) {
    return platform::WriteFileAtomically(folder, name,
                                         platform::ToTextMode(BuildDocumentTemplate()));
}
