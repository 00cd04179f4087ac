#include "platform/ProfileLines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace kestrane::profile {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr size_t kChunkBytes = 64 * 1024;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

ParsedLine ParseLine(std::string_view line, bool firstLine) {
    const size_t mark = (firstLine && line.starts_with(kByteOrderMark)) ? kByteOrderMark.size() : 0;
    const std::string_view text = line.substr(mark);
    ParsedLine parsed;
    const size_t start = text.find_first_not_of(kBlanks);
    if (start == std::string_view::npos || text[start] == ';') return parsed;
    if (text[start] == '[') {
        const size_t close = text.find(']', start + 1);
        parsed.kind = LineKind::Section;
        parsed.name = TrimBlanks(text.substr(start + 1, close == std::string_view::npos
                                                            ? std::string_view::npos
                                                            : close - start - 1));
        return parsed;
    }
    const size_t equals = text.find('=', start);
    if (equals == std::string_view::npos) return parsed;
    parsed.kind = LineKind::Key;
    parsed.name = TrimBlanks(text.substr(start, equals - start));
    const size_t keyEnd = equals > start ? text.find_last_not_of(kBlanks, equals - 1) + 1 : start;
    parsed.keyEnd = keyEnd + mark;
    parsed.value = TrimBlanks(text.substr(equals + 1));
    return parsed;
}

int OpenRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

bool ScanLines(int fd, const std::function<bool(const ScannedLine&)>& onLine) {
    std::vector<char> chunk(kChunkBytes);
    // The judged bytes of the line being read, and one more: a "\r" there may
    // belong to the line end.
    std::string kept;
    uint64_t lineStart = 0;   // relative to where the scan began
    uint64_t lineLength = 0;  // bytes of the line so far, without its "\n"
    char lastByte = 0;
    bool first = true;

    // Ends the current line; newline says whether a "\n" ended it.
    auto finish = [&](bool newline) {
        const bool carriageReturn = lineLength > 0 && lastByte == '\r';
        const uint64_t textLength = carriageReturn ? lineLength - 1 : lineLength;
        kept.resize(
            static_cast<size_t>(std::min<uint64_t>({kept.size(), textLength, kJudgedLineBytes})));
        ScannedLine line;
        line.text = kept;
        line.start = lineStart;
        line.textEnd = lineStart + textLength;
        line.end = lineStart + lineLength + (newline ? 1 : 0);
        line.crlf = carriageReturn && newline;
        line.newline = newline;
        line.first = first;
        const bool more = onLine(line);
        first = false;
        lineStart = line.end;
        lineLength = 0;
        kept.clear();
        return more;
    };

    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        const char* data = chunk.data();
        const auto size = static_cast<size_t>(n);
        size_t pos = 0;
        while (pos < size) {
            const void* found = std::memchr(data + pos, '\n', size - pos);
            const size_t stop =
                found ? static_cast<size_t>(static_cast<const char*>(found) - data) : size;
            const size_t room = kJudgedLineBytes + 1 - kept.size();
            kept.append(data + pos, std::min(stop - pos, room));
            if (stop > pos) lastByte = data[stop - 1];
            lineLength += stop - pos;
            if (!found) break;
            if (!finish(true)) return true;
            pos = stop + 1;
        }
    }
    if (lineLength > 0) finish(false);
    return true;
}

}  // namespace kestrane::profile
