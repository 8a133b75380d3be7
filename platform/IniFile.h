// A portable private-profile store: key=value lines in [sections] of a text file, read and
// written the way the Windows profile calls do (names matched without regard to case, blanks
// around names and values trimmed, matching quotes removed on read, first duplicate wins, other
// lines kept untouched, CRLF line ends in new files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

uint32_t IniRead(const std::string& path, const char* section, const char* key,
                 const char* defaultText, char* buffer, uint32_t size);
// False when the file could not be written.
bool IniWrite(const std::string& path, const char* section, const char* key, const char* value);

// Every key line of the sections with that name, in file order, as the reader sees it: the key,
// the line without its surrounding blanks, and which of those sections holds it (1 for the first,
// the one the reader uses). Empty when the file cannot be read.
struct IniKeyLine {
    std::string key;
    std::string line;
    int section;
};
std::vector<IniKeyLine> IniKeyLines(const std::string& path, const char* section);

// The same rules on the text of a file held in memory (a page keeps it in the browser's storage).
// A null content reads as a missing file; writing to an empty content creates it.
uint32_t IniReadText(const std::string* content, const char* section, const char* key,
                     const char* defaultText, char* buffer, uint32_t size);
void IniWriteText(std::string* content, const char* section, const char* key, const char* value);
