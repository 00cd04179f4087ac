#include "platform/ProfileFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <sstream>
#include <vector>

namespace kestrane {

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsSection(const std::string& line, std::string* name) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') return false;
    const size_t close = trimmed.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(trimmed.substr(1, close - 1));
    return true;
}

bool IsKey(const std::string& line, const std::string& key, std::string* value) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos || !SameName(Trim(line.substr(0, equals)), key)) return false;
    *value = Trim(line.substr(equals + 1));
    return true;
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path) {
    std::string current;
    bool inSection = false;
    for (const std::string& line : ReadLines(path)) {
        std::string name;
        std::string value;
        if (IsSection(line, &name)) {
            inSection = SameName(name, section);
        } else if (inSection && IsKey(line, key, &value)) {
            return value;
        }
    }
    return defaultValue;
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    std::vector<std::string> lines = ReadLines(path);
    const std::string entry = key + "=" + value;
    bool inSection = false;
    int sectionEnd = -1;
    bool done = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name;
        std::string old;
        if (IsSection(lines[i], &name)) {
            if (inSection) break;
            inSection = SameName(name, section);
            if (inSection) sectionEnd = static_cast<int>(i) + 1;
        } else if (inSection && IsKey(lines[i], key, &old)) {
            lines[i] = entry;
            done = true;
        } else if (inSection && !Trim(lines[i]).empty()) {
            sectionEnd = static_cast<int>(i) + 1;
        }
    }
    if (!done && sectionEnd >= 0) {
        lines.insert(lines.begin() + sectionEnd, entry);
    } else if (!done) {
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
    }
    std::ofstream out(path, std::ios::trunc);
    for (const std::string& line : lines)
        out << line << "\r\n";
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int LeadingNumber(const std::string& text) {
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min<long long>(value * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(value);
}

}  // namespace kestrane
