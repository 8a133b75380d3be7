#include "platform/IniFile.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// The byte-order mark some editors put at the start of a UTF-8 file: not part of the first line.
constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";

struct Line {
    std::string text;  // without its line end
};

struct IniText {
    std::vector<Line> lines;
    std::string eol = "\r\n";
    bool endsWithEol = true;
    bool bom = false;
};

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string_view WithoutBom(std::string_view content) {
    return content.substr(0, kUtf8Bom.size()) == kUtf8Bom ? content.substr(kUtf8Bom.size())
                                                          : content;
}

// Each line of the content, without its line end (LF or CRLF), with its number from 0.
template <typename Visit>
void ForEachLine(std::string_view content, Visit visit) {
    size_t start = 0;
    long index = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        end = end == std::string_view::npos ? content.size() : end;
        std::string_view text = content.substr(start, end - start);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        visit(text, index++);
        start = end + 1;
    }
}

void Parse(const std::string& whole, IniText* ini) {
    const std::string_view content = WithoutBom(whole);
    ini->bom = content.size() != whole.size();
    const size_t firstLf = content.find('\n');
    ini->eol = firstLf != std::string::npos && (firstLf == 0 || content[firstLf - 1] != '\r')
                   ? "\n"
                   : "\r\n";
    ini->endsWithEol = content.empty() || content.back() == '\n';
    ForEachLine(content,
                [ini](std::string_view text, long) { ini->lines.push_back({std::string(text)}); });
}

}  // namespace

bool IniNamesMatch(std::string_view a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool IniLoad(const std::string& path, std::string* content) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    struct stat st;
    if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        content->reserve(static_cast<size_t>(st.st_size));
    }
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        content->append(chunk, got);
    }
    std::fclose(file);
    return true;
}

namespace {

bool Load(const std::string& path, IniText* ini) {
    std::string content;
    if (!IniLoad(path, &content)) {
        return false;
    }
    Parse(content, ini);
    return true;
}

std::string Content(const IniText& ini) {
    std::string content(ini.bom ? kUtf8Bom : "");
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        content += ini.lines[i].text;
        if (i + 1 < ini.lines.size() || ini.endsWithEol) {
            content += ini.eol;
        }
    }
    return content;
}

bool Save(const std::string& path, const IniText& ini) {
    const std::string content = Content(ini);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
}

// The section name of a "[name]" line, or false.
bool SectionName(std::string_view line, std::string_view* name) {
    const std::string_view t = Trim(line);
    if (t.empty() || t[0] != '[') {
        return false;
    }
    const size_t close = t.find(']');
    *name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return true;
}

bool KeyAndValue(std::string_view line, std::string_view* key, std::string_view* value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    *key = Trim(line.substr(0, eq));
    *value = Trim(line.substr(eq + 1));
    return true;
}

struct Found {
    long sectionLine = -1;  // the "[section]" line
    long lastLine = -1;     // the last non-blank line of that section
    long keyLine = -1;
    std::string_view value;  // in the text the lines were given from
};

// Where a key stands, from the lines given one at a time in file order: the first section of
// that name, its first line of that key.
class KeyFinder {
  public:
    KeyFinder(const char* section, const char* key) : section_(section), key_(key) {}

    void Take(std::string_view text, long index) {
        std::string_view name;
        if (SectionName(text, &name)) {
            inSection_ = IniNamesMatch(name, section_) && found_.sectionLine < 0;
            if (inSection_) {
                found_.sectionLine = found_.lastLine = index;
            }
            return;
        }
        if (!inSection_ || Trim(text).empty()) {
            return;
        }
        found_.lastLine = index;
        std::string_view k;
        std::string_view v;
        if (found_.keyLine < 0 && KeyAndValue(text, &k, &v) && IniNamesMatch(k, key_)) {
            found_.keyLine = index;
            found_.value = v;
        }
    }
    const Found& found() const { return found_; }

  private:
    const char* section_;
    const char* key_;
    bool inSection_ = false;
    Found found_;
};

Found Find(const IniText& ini, const char* section, const char* key) {
    KeyFinder finder(section, key);
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        finder.Take(ini.lines[i].text, static_cast<long>(i));
    }
    return finder.found();
}

// The same search over the text of a file, without copying its lines.
Found FindInContent(std::string_view content, const char* section, const char* key) {
    KeyFinder finder(section, key);
    ForEachLine(WithoutBom(content),
                [&finder](std::string_view text, long index) { finder.Take(text, index); });
    return finder.found();
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

uint32_t CopyOut(std::string_view text, char* buffer, uint32_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

// The value of the key in the content, or the default without its trailing blanks when the
// content (a null one reads as a missing file) does not give the key.
uint32_t Read(const std::string* content, const char* section, const char* key,
              const char* defaultText, char* buffer, uint32_t size) {
    if (content != nullptr) {
        const Found found = FindInContent(*content, section, key);
        if (found.keyLine >= 0) {
            return CopyOut(Unquote(found.value), buffer, size);
        }
    }
    std::string_view fallback = defaultText != nullptr ? defaultText : "";
    while (!fallback.empty() && fallback.back() == ' ') {
        fallback.remove_suffix(1);
    }
    return CopyOut(fallback, buffer, size);
}

void Write(IniText* ini, const char* section, const char* key, const char* value) {
    const std::string trimmed(Trim(value));
    const std::string entry = std::string(key) + "=" + trimmed;
    const Found found = Find(*ini, section, key);
    if (found.keyLine >= 0) {
        std::string& text = ini->lines[static_cast<size_t>(found.keyLine)].text;
        text = std::string(Trim(std::string_view(text).substr(0, text.find('=')))) + "=" + trimmed;
    } else if (found.sectionLine >= 0) {
        ini->lines.insert(ini->lines.begin() + found.lastLine + 1, {entry});
        ini->endsWithEol = true;
    } else {
        if (!ini->lines.empty() && !Trim(ini->lines.back().text).empty()) {
            ini->lines.push_back({""});
        }
        ini->lines.push_back({"[" + std::string(section) + "]"});
        ini->lines.push_back({entry});
        ini->endsWithEol = true;
    }
}

}  // namespace

uint32_t IniRead(const std::string& path, const char* section, const char* key,
                 const char* defaultText, char* buffer, uint32_t size) {
    std::string content;
    const bool loaded = IniLoad(path, &content);
    return Read(loaded ? &content : nullptr, section, key, defaultText, buffer, size);
}

bool IniWrite(const std::string& path, const char* section, const char* key, const char* value) {
    IniText ini;
    Load(path, &ini);
    Write(&ini, section, key, value);
    return Save(path, ini);
}

std::vector<IniKeyLine> IniKeyLines(const std::string& content, const char* section) {
    std::vector<IniKeyLine> found;
    int sections = 0;
    bool inside = false;
    ForEachLine(WithoutBom(content), [&](std::string_view text, long) {
        std::string_view name;
        std::string_view key;
        std::string_view value;
        if (SectionName(text, &name)) {
            inside = IniNamesMatch(name, section);
            sections += inside ? 1 : 0;
        } else if (inside && KeyAndValue(text, &key, &value)) {
            found.push_back({key, Trim(text), sections});
        }
    });
    return found;
}

uint32_t IniReadText(const std::string* content, const char* section, const char* key,
                     const char* defaultText, char* buffer, uint32_t size) {
    return Read(content, section, key, defaultText, buffer, size);
}

void IniWriteText(std::string* content, const char* section, const char* key, const char* value) {
    IniText ini;
    Parse(*content, &ini);
    Write(&ini, section, key, value);
    *content = Content(ini);
}
