#pragma once

#include <string>

// The legacy journal marks a lucid passage "[OC]" ... "[/OC]"; the new one
// "<lucid>" ... "</lucid>". Every "[OC]" is converted, then every "[/OC]";
// the markers are not paired, and only the exact upper-case forms count.
std::string ConvertLucidMarkers(const std::string& text);
