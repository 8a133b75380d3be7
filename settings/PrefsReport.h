// What the reader of Quorvy.ini did with the keys it was given, in words for a front end that
// tells the user: the reasons of PrefsReport and the key lines it passes over.
#pragma once

#include <string>
#include <vector>

#include "settings/Prefs.h"

// Why the reader used something else than a value as written, in words ("not a number"); empty
// for a formula cut to its start and for a value used as written.
std::string ReplacedReason(PrefReplaced why);

// The lines that tell a value the reader did not use as written ("key=text replaced by put
// (reason)") and a key line it passed over ("line ignored (why)"), with the texts as the front
// end shows them.
std::string ReplacedValueLine(const char* key, const std::string& text, const std::string& put,
                              const std::string& reason);
std::string IgnoredKeyLine(const std::string& line, const char* why);

// A key line of [Quorvy] that the reader passes over, which the profile calls cannot list: an
// unknown key, a key given again (the first counts), and every key of a second [Quorvy] section
// (the first section counts). Names match in any case, as the reader matches them.
struct PassedOverKey {
    std::string line;
    const char* why;
};
std::vector<PassedOverKey> PassedOverKeys(const std::string& content);
