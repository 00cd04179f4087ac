// The lines of an INI file as the profile reader and writer see them: read
// from a descriptor in one pass with memory bounded whatever the file's size,
// and classified as section, key or other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrane::profile {

// A line is judged by at most its first this many bytes, so a damaged or
// foreign file with a line of any length costs no more memory than this. A
// write still copies such a line whole.
constexpr size_t kJudgedLineBytes = 64 * 1024;

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, blanks trimmed
    size_t keyEnd = 0;       // keys: offset in the line just past the key's last character
    std::string_view value;  // keys: blanks trimmed
};

// Classifies one line (without its line end). The first line of a file may
// begin with a UTF-8 byte-order mark, which is not part of its text.
ParsedLine ParseLine(std::string_view line, bool firstLine);

struct ScannedLine {
    std::string_view text;  // without its line end; only the first kJudgedLineBytes
    uint64_t start = 0;     // file offset of the line's first byte
    uint64_t textEnd = 0;   // file offset where its line end begins
    uint64_t end = 0;       // file offset just past its line end
    bool crlf = false;      // the line ends in "\r\n"
    bool newline = false;   // the line ends in "\n": false only for a last line
    bool first = false;     // the file's first line
};

// Opens path for reading when it is a regular file. -1 with errno set
// otherwise: ENOENT when it does not exist, EINVAL for a directory, a device
// or a pipe, which are never read as settings (a pipe could block the reader
// and a device never end).
int OpenRegularFile(const std::string& path);

// Calls onLine for every line from fd's current position to the end of the
// file, until onLine returns false. A line ends at "\n" (a "\r" before it
// belongs to the line end) or at the end of the file (where a final "\r" is
// the line end). False when reading fails.
bool ScanLines(int fd, const std::function<bool(const ScannedLine&)>& onLine);

std::string_view TrimBlanks(std::string_view text);
// ASCII letters compare without regard to case, every other byte as it is.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kestrane::profile
