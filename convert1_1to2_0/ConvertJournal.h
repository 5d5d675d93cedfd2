#pragma once

#include <string>

// Converts the legacy journal in the current folder into "data.xml" there.
// False when the password does not open the journal ("Wrong password!" has
// been written then, and nothing was changed). Other failures throw, after
// the legacy data file has been put back as it was found.
bool ConvertJournal(std::string password);
