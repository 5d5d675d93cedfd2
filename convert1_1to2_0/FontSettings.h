#pragma once

#include "platform/Reporter.h"

class TIni;
class TIniFile;

// Carries the dream and lucid-passage fonts of the older release's settings
// into the newer release's, when the newer file is being created by this run:
// an existing one belongs to the newer release and keeps every value. Only
// values the legacy file gave are carried; the rest keep the newer defaults.
// The language is not carried: the two releases code it differently. A font
// name the newer release could not read is left out, with a warning.
void CarryFontSettings(const TIniFile& legacy, TIni& settings, platform::Reporter& reporter);
