// A portable private-profile store: key=value lines in [sections] of a text file, read and
// written the way the Windows profile calls do (names matched without regard to case, blanks
// around names and values trimmed, matching quotes removed on read, first duplicate wins, other
// lines kept untouched, CRLF line ends in new files, a UTF-8 byte-order mark kept in front of the
// first line and not part of it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

uint32_t IniRead(const std::string& path, const char* section, const char* key,
                 const char* defaultText, char* buffer, uint32_t size);
// False when the file could not be written.
bool IniWrite(const std::string& path, const char* section, const char* key, const char* value);

// Section and key names match without regard to ASCII case, as the Windows calls match them.
bool IniNamesMatch(std::string_view a, const char* b);

// The whole text of a file; false when it cannot be opened.
bool IniLoad(const std::string& path, std::string* content);

// Every key line of the sections with that name in the text of a file, in file order, as the
// reader sees it: the key, the line without its surrounding blanks, and which of those sections
// holds it (1 for the first, the one the reader uses). The key and the line are views into the
// text, which must outlive them: a line may be as long as the file.
struct IniKeyLine {
    std::string_view key;
    std::string_view line;
    int section;
};
std::vector<IniKeyLine> IniKeyLines(const std::string& content, const char* section);

// The same rules on the text of a file held in memory (a page keeps it in the browser's storage).
// A null content reads as a missing file; writing to an empty content creates it.
uint32_t IniReadText(const std::string* content, const char* section, const char* key,
                     const char* defaultText, char* buffer, uint32_t size);
void IniWriteText(std::string* content, const char* section, const char* key, const char* value);
