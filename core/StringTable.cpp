#include "core/StringTable.h"

namespace {

struct Entry {
    int id;
    const char* text;
};

const Entry kEntries[] = {
    {2, "time"}, {3, "morning"}, {4, "day"},     {5, "evening"},    {6, "night"},
    {7, "?"},    {8, "dream"},   {9, "lucid"},   {10, "OOBE"},      {11, "home"},
    {12, "?"},   {13, "back"},   {14, "venter"}, {15, "left side"}, {16, "right side"},
};

}  // namespace

std::string LoadStringTableEntry(int id, size_t bufferSize) {
    for (const Entry& entry : kEntries) {
        if (entry.id != id)
            continue;
        std::string text(entry.text);
        if (bufferSize == 0)
            return std::string();
        if (text.size() > bufferSize - 1)
            text.resize(bufferSize - 1);
        return text;
    }
    return std::string();
}
