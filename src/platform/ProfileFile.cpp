#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

namespace kestrane {
namespace {

constexpr const char* kBlanks = " \t";
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

struct Line {
    std::string text;        // without its line end
    std::string terminator;  // "\n", "\r\n" or "" for a last line without one
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string name;   // section or key name, blanks trimmed
    size_t keyEnd = 0;  // for keys: offset just past the key's last character
    std::string value;  // for keys: blanks trimmed
};

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

ParsedLine Parse(const std::string& raw, bool firstLine) {
    std::string text = raw;
    if (firstLine && text.rfind(kByteOrderMark, 0) == 0) text.erase(0, 3);
    ParsedLine parsed;
    size_t start = text.find_first_not_of(kBlanks);
    if (start == std::string::npos || text[start] == ';') return parsed;
    if (text[start] == '[') {
        size_t close = text.find(']', start + 1);
        parsed.kind = LineKind::Section;
        parsed.name = Trim(text.substr(
            start + 1, close == std::string::npos ? std::string::npos : close - start - 1));
        return parsed;
    }
    size_t equals = text.find('=', start);
    if (equals == std::string::npos) return parsed;
    parsed.kind = LineKind::Key;
    parsed.name = Trim(text.substr(start, equals - start));
    size_t keyLast = equals > start ? text.find_last_not_of(kBlanks, equals - 1) : start;
    // keyEnd counts in the raw line, which may begin with a byte-order mark.
    parsed.keyEnd = (equals > start ? keyLast + 1 : start) + (raw.size() - text.size());
    parsed.value = Trim(text.substr(equals + 1));
    return parsed;
}

// Reads path into lines. nullopt when it exists but cannot be read; an empty
// vector when it does not exist.
std::optional<std::vector<Line>> ReadLines(const std::string& path) {
    std::vector<Line> lines;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return lines;
        return std::nullopt;
    }
    std::string content;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            content.append(chunk, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    size_t pos = 0;
    while (pos < content.size()) {
        size_t newline = content.find('\n', pos);
        Line line;
        if (newline == std::string::npos) {
            line.text = content.substr(pos);
            pos = content.size();
        } else {
            line.text = content.substr(pos, newline - pos);
            line.terminator = "\n";
            pos = newline + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.terminator = line.terminator.empty() ? "\r" : "\r\n";
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string Truncated(std::string text) {
    if (text.size() > kProfileValueMaxLength) text.resize(kProfileValueMaxLength);
    return text;
}

std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes content to a temporary file beside path and renames it over path.
bool ReplaceFile(const std::string& path, const std::string& content) {
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;  // a symbolic link stays a link to the new contents
        std::free(resolved);
    }
    mode_t mode = 0;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = WriteAll(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

bool NamesAreWritable(const std::string& section, const std::string& key,
                      const std::string& value) {
    std::string trimmedSection = Trim(section);
    std::string trimmedKey = Trim(key);
    return !trimmedSection.empty() && !trimmedKey.empty() && !HasLineBreak(section) &&
           !HasLineBreak(key) && !HasLineBreak(value) && section.find(']') == std::string::npos &&
           key.find('=') == std::string::npos && trimmedKey.front() != '[' &&
           trimmedKey.front() != ';';
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path) {
    std::string fallback = defaultValue;
    size_t last = fallback.find_last_not_of(kBlanks);
    fallback.resize(last == std::string::npos ? 0 : last + 1);
    fallback = Truncated(fallback);

    std::optional<std::vector<Line>> lines = ReadLines(path);
    if (!lines) return fallback;
    std::string wantedSection = Trim(section);
    std::string wantedKey = Trim(key);
    bool inSection = false;
    for (size_t i = 0; i < lines->size(); ++i) {
        ParsedLine parsed = Parse((*lines)[i].text, i == 0);
        if (parsed.kind == LineKind::Section) {
            inSection = EqualIgnoringCase(parsed.name, wantedSection);
        } else if (inSection && parsed.kind == LineKind::Key &&
                   EqualIgnoringCase(parsed.name, wantedKey)) {
            return Truncated(Unquoted(parsed.value));
        }
    }
    return fallback;
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    if (!NamesAreWritable(section, key, value)) return false;
    std::optional<std::vector<Line>> read = ReadLines(path);
    if (!read) return false;  // never overwrite a file we could not read
    std::vector<Line>& lines = *read;
    std::string newline = (!lines.empty() && lines.front().terminator == "\r\n") ? "\r\n" : "\n";
    std::string wantedSection = Trim(section);
    std::string wantedKey = Trim(key);
    std::vector<ParsedLine> parsed;
    for (size_t i = 0; i < lines.size(); ++i)
        parsed.push_back(Parse(lines[i].text, i == 0));

    // The key is replaced where GetProfileString finds it.
    std::optional<size_t> keyLine;
    std::optional<size_t> sectionLine;
    bool inSection = false;
    for (size_t i = 0; i < lines.size() && !keyLine; ++i) {
        if (parsed[i].kind == LineKind::Section) {
            inSection = EqualIgnoringCase(parsed[i].name, wantedSection);
            if (inSection && !sectionLine) sectionLine = i;
        } else if (inSection && parsed[i].kind == LineKind::Key &&
                   EqualIgnoringCase(parsed[i].name, wantedKey)) {
            keyLine = i;
        }
    }

    Line entry{wantedKey + "=" + value, newline};
    if (keyLine) {
        lines[*keyLine].text =
            lines[*keyLine].text.substr(0, parsed[*keyLine].keyEnd) + "=" + value;
    } else if (sectionLine) {
        // A new key goes after the last non-blank line of the first section
        // of that name, before the blank lines that separate it from the next.
        size_t last = *sectionLine;
        for (size_t i = last + 1; i < lines.size() && parsed[i].kind != LineKind::Section; ++i) {
            if (!Trim(lines[i].text).empty()) last = i;
        }
        if (lines[last].terminator.empty()) lines[last].terminator = newline;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, entry);
    } else {
        if (!lines.empty() && lines.back().terminator.empty()) lines.back().terminator = newline;
        lines.push_back(Line{"[" + wantedSection + "]", newline});
        lines.push_back(entry);
    }

    std::string content;
    for (const Line& line : lines)
        content += line.text + line.terminator;
    return ReplaceFile(path, content);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

int LeadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(begin, &end, 10);
    if (end == begin) return 0;
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}

}  // namespace kestrane
