#include "convert1_1to2_0/LucidMarkers.h"

namespace {

// Replaces every occurrence, scanning on from just past each match. The new
// tags hold no "[", so a match can never begin inside a replacement, and one
// left-to-right pass is the same as searching again from match + 2.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string result;
    result.reserve(text.size() + text.size() / 8);
    size_t start = 0;
    for (size_t match; (match = text.find(from, start)) != std::string::npos;) {
        result.append(text, start, match - start);
        result += to;
        start = match + from.size();
    }
    result.append(text, start, std::string::npos);
    return result;
}

}  // namespace

std::string ConvertLucidMarkers(const std::string& text) {
    return ReplaceAll(ReplaceAll(text, "[OC]", "<lucid>"), "[/OC]", "</lucid>");
}
