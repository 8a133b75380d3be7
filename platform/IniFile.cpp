#include "platform/IniFile.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Line {
    std::string text;  // without its line end
};

struct IniText {
    std::vector<Line> lines;
    std::string eol = "\r\n";
    bool endsWithEol = true;
};

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const char* b) {
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

void Parse(const std::string& content, IniText* ini) {
    const size_t firstLf = content.find('\n');
    ini->eol = firstLf != std::string::npos && (firstLf == 0 || content[firstLf - 1] != '\r')
                   ? "\n"
                   : "\r\n";
    ini->endsWithEol = content.empty() || content.back() == '\n';
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string text = content.substr(start, end - start);
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        ini->lines.push_back({text});
        start = end + 1;
    }
}

bool Load(const std::string& path, IniText* ini) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        content.append(chunk, got);
    }
    std::fclose(file);
    Parse(content, ini);
    return true;
}

std::string Content(const IniText& ini) {
    std::string content;
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
bool SectionName(const std::string& line, std::string* name) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] != '[') {
        return false;
    }
    const size_t close = t.find(']');
    *name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool KeyAndValue(const std::string& line, std::string* key, std::string* value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
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
    std::string value;
};

Found Find(const IniText& ini, const char* section, const char* key) {
    Found found;
    bool inSection = false;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const std::string& text = ini.lines[i].text;
        std::string name;
        if (SectionName(text, &name)) {
            inSection = SameName(name, section) && found.sectionLine < 0;
            if (inSection) {
                found.sectionLine = found.lastLine = static_cast<long>(i);
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!Trim(text).empty()) {
            found.lastLine = static_cast<long>(i);
        }
        std::string k;
        std::string v;
        if (found.keyLine < 0 && KeyAndValue(text, &k, &v) && SameName(k, key)) {
            found.keyLine = static_cast<long>(i);
            found.value = v;
        }
    }
    return found;
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

uint32_t Read(const IniText* ini, const char* section, const char* key, const char* defaultText,
              char* buffer, uint32_t size) {
    if (ini != nullptr) {
        const Found found = Find(*ini, section, key);
        if (found.keyLine >= 0) {
            return CopyOut(Unquote(found.value), buffer, size);
        }
    }
    std::string fallback = defaultText != nullptr ? defaultText : "";
    while (!fallback.empty() && fallback.back() == ' ') {
        fallback.pop_back();
    }
    return CopyOut(fallback, buffer, size);
}

void Write(IniText* ini, const char* section, const char* key, const char* value) {
    const std::string entry = std::string(key) + "=" + Trim(value);
    const Found found = Find(*ini, section, key);
    if (found.keyLine >= 0) {
        std::string& text = ini->lines[static_cast<size_t>(found.keyLine)].text;
        text = Trim(text.substr(0, text.find('='))) + "=" + Trim(value);
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
    IniText ini;
    const bool loaded = Load(path, &ini);
    return Read(loaded ? &ini : nullptr, section, key, defaultText, buffer, size);
}

bool IniWrite(const std::string& path, const char* section, const char* key, const char* value) {
    IniText ini;
    Load(path, &ini);
    Write(&ini, section, key, value);
    return Save(path, ini);
}

std::vector<IniKeyLine> IniKeyLines(const std::string& path, const char* section) {
    std::vector<IniKeyLine> found;
    IniText ini;
    if (!Load(path, &ini)) {
        return found;
    }
    int sections = 0;
    bool inside = false;
    for (const Line& line : ini.lines) {
        std::string name;
        std::string key;
        std::string value;
        if (SectionName(line.text, &name)) {
            inside = SameName(name, section);
            sections += inside ? 1 : 0;
        } else if (inside && KeyAndValue(line.text, &key, &value)) {
            found.push_back({key, Trim(line.text), sections});
        }
    }
    return found;
}

uint32_t IniReadText(const std::string* content, const char* section, const char* key,
                     const char* defaultText, char* buffer, uint32_t size) {
    IniText ini;
    if (content != nullptr) {
        Parse(*content, &ini);
    }
    return Read(content != nullptr ? &ini : nullptr, section, key, defaultText, buffer, size);
}

void IniWriteText(std::string* content, const char* section, const char* key, const char* value) {
    IniText ini;
    Parse(*content, &ini);
    Write(&ini, section, key, value);
    *content = Content(ini);
}
