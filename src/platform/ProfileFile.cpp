#include "platform/ProfileFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "platform/FileReplace.h"
#include "platform/ProfileLines.h"
#include "platform/ProfileSnapshot.h"

namespace kestrane {
namespace {

using profile::EqualIgnoringCase;
using profile::LineKind;
using profile::TrimBlanks;

constexpr size_t kCopyChunkBytes = 64 * 1024;

// One change to the old file's bytes: text goes in at `at`, and the old bytes
// from `at` up to `resume` are left out.
struct Edit {
    uint64_t at = 0;
    uint64_t resume = 0;
    std::string lineEndFirst;  // completes a last line that ends at `at` without "\n"
    std::string text;
};

// What a line needs before another line can follow it: nothing after "\n";
// only the "\n" after a final "\r", which a reader would otherwise take for
// part of the next line; the file's line end after a final line without one.
std::string LineEndFor(const profile::ScannedLine& line, const std::string& newline) {
    if (line.newline) return {};
    return line.end > line.textEnd ? "\n" : newline;
}

// One entry of a write, and what the scan of the old file found for it.
struct Target {
    std::string section;  // blanks trimmed
    std::string key;      // blanks trimmed
    std::string value;
    bool inSection = false;       // the scan is in a section of this name
    bool inFirstSection = false;  // ... in the first one
    bool sectionSeen = false;
    uint64_t insertAt = 0;  // just past the last non-blank line of the first section
    std::string insertLineEndFirst;
    std::optional<uint64_t> valueAt;  // the key's line: just past the key name
    uint64_t valueEnd = 0;            // ... and where its line end begins
};

struct Plan {
    std::vector<Edit> edits;  // in file order
    std::string newline = "\n";
};

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

bool IsWritable(const ProfileEntry& entry) {
    const std::string_view section = TrimBlanks(entry.section);
    const std::string_view key = TrimBlanks(entry.key);
    return !section.empty() && !key.empty() && !HasLineBreak(entry.section) &&
           !HasLineBreak(entry.key) && !HasLineBreak(entry.value) &&
           entry.section.find(']') == std::string::npos &&
           entry.key.find('=') == std::string::npos && key.front() != '[' && key.front() != ';';
}

// The entries with trimmed names, one per key: a repeated key keeps its first
// place and takes its last value.
std::vector<Target> TargetsOf(const std::vector<ProfileEntry>& entries) {
    std::vector<Target> targets;
    for (const ProfileEntry& entry : entries) {
        Target target;
        target.section = TrimBlanks(entry.section);
        target.key = TrimBlanks(entry.key);
        target.value = entry.value;
        auto same = std::find_if(targets.begin(), targets.end(), [&](const Target& t) {
            return EqualIgnoringCase(t.section, target.section) &&
                   EqualIgnoringCase(t.key, target.key);
        });
        if (same != targets.end()) {
            same->value = target.value;
        } else {
            targets.push_back(std::move(target));
        }
    }
    return targets;
}

// Finds, in one pass over the old file (fd < 0: none), where each entry goes:
// into its key's line where GetProfileString finds that key; else after the
// last non-blank line of the first section of its name, before the blank lines
// that separate it from the next; else into a new section at the end.
std::optional<Plan> PlanEdits(int fd, std::vector<Target> targets) {
    Plan plan;
    uint64_t fileEnd = 0;
    std::string lastLineEnd;  // what the last line needs before new lines follow it
    if (fd >= 0) {
        const bool read = profile::ScanLines(fd, [&](const profile::ScannedLine& line) {
            if (line.first && line.crlf) plan.newline = "\r\n";
            fileEnd = line.end;
            lastLineEnd = LineEndFor(line, plan.newline);
            const profile::ParsedLine parsed = profile::ParseLine(line.text, line.first);
            const bool blank = TrimBlanks(line.text).empty();
            for (Target& t : targets) {
                if (parsed.kind == LineKind::Section) {
                    t.inSection = EqualIgnoringCase(parsed.name, t.section);
                    t.inFirstSection = t.inSection && !t.sectionSeen;
                    t.sectionSeen = t.sectionSeen || t.inSection;
                }
                if (t.inFirstSection && !blank) {
                    t.insertAt = line.end;
                    t.insertLineEndFirst = LineEndFor(line, plan.newline);
                }
                if (parsed.kind == LineKind::Key && t.inSection && !t.valueAt &&
                    EqualIgnoringCase(parsed.name, t.key)) {
                    t.valueAt = line.start + parsed.keyEnd;
                    t.valueEnd = line.textEnd;
                }
            }
            return true;
        });
        if (!read) return std::nullopt;
    }

    std::vector<std::string> newSections;  // in the order the entries name them
    for (const Target& t : targets) {
        if (t.valueAt) {
            plan.edits.push_back(Edit{*t.valueAt, t.valueEnd, {}, "=" + t.value});
        } else if (t.sectionSeen) {
            plan.edits.push_back(Edit{t.insertAt, t.insertAt, t.insertLineEndFirst,
                                      t.key + "=" + t.value + plan.newline});
        } else if (std::none_of(newSections.begin(), newSections.end(), [&](const std::string& s) {
                       return EqualIgnoringCase(s, t.section);
                   })) {
            newSections.push_back(t.section);
        }
    }
    Edit append{fileEnd, fileEnd, lastLineEnd, {}};
    for (const std::string& section : newSections) {
        append.text += "[" + section + "]" + plan.newline;
        for (const Target& t : targets) {
            if (!t.valueAt && !t.sectionSeen && EqualIgnoringCase(t.section, section))
                append.text += t.key + "=" + t.value + plan.newline;
        }
    }
    if (!append.text.empty()) plan.edits.push_back(std::move(append));
    std::stable_sort(plan.edits.begin(), plan.edits.end(),
                     [](const Edit& a, const Edit& b) { return a.at < b.at; });
    return plan;
}

// Copies in's bytes from `from` up to `to` (to the end of the file when `to`
// is nullopt). False when a read or write fails, or when the file ends before
// `to`: it changed since it was planned.
bool CopyRange(int in, int out, uint64_t from, std::optional<uint64_t> to) {
    std::vector<char> chunk(kCopyChunkBytes);
    while (!to || from < *to) {
        const size_t want =
            to ? static_cast<size_t>(std::min<uint64_t>(chunk.size(), *to - from)) : chunk.size();
        const ssize_t n = ::pread(in, chunk.data(), want, static_cast<off_t>(from));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return !to;
        if (!WriteAll(out, std::string_view(chunk.data(), static_cast<size_t>(n)))) return false;
        from += static_cast<uint64_t>(n);
    }
    return true;
}

bool WriteEdited(int in, int out, const Plan& plan) {
    uint64_t pos = 0;
    std::optional<uint64_t> lineEndGivenAt;
    for (const Edit& edit : plan.edits) {
        if (in >= 0 && !CopyRange(in, out, pos, edit.at)) return false;
        if (!edit.lineEndFirst.empty() && lineEndGivenAt != edit.at) {
            if (!WriteAll(out, edit.lineEndFirst)) return false;
            lineEndGivenAt = edit.at;
        }
        if (!WriteAll(out, edit.text)) return false;
        pos = edit.resume;
    }
    return in < 0 || CopyRange(in, out, pos, std::nullopt);
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path) {
    return ProfileSnapshot(path, {{section, key}}).Get(section, key, defaultValue);
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return WriteProfileStrings({{section, key, value}}, path);
}

bool WriteProfileStrings(const std::vector<ProfileEntry>& entries, const std::string& path) {
    if (!std::all_of(entries.begin(), entries.end(), IsWritable)) return false;
    if (entries.empty()) return true;
    const int in = profile::OpenRegularFile(path);
    if (in < 0 && errno != ENOENT) return false;  // never overwrite a file we could not read
    const std::optional<Plan> plan = PlanEdits(in, TargetsOf(entries));
    const bool written =
        plan && ReplaceFile(path, [&](int out) { return WriteEdited(in, out, *plan); });
    if (in >= 0) ::close(in);
    return written;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

int LeadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(begin, &end, 10);
    if (end == begin) return 0;
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}

}  // namespace kestrane
