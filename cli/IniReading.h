// quorvy-plot's --ini FILE: read as the program reads Quorvy.ini at start, with what the reader
// put in place of each value it could not use as written, and the files the tool refuses.
#pragma once

#include <string>
#include <vector>

#include "cli/Options.h"

struct IniReading {
    std::vector<std::string> replaced;  // one line per value replaced or ignored
    std::string refusal;                // why the file is refused; empty when it is not
};

// Reads path into gPrefs. A key that an option gives again is not told about; the formula is
// checked only when it is the one used (formulaGiven is false).
IniReading ReadIniFile(const std::string& path, const CliOptions& o, bool formulaGiven);
