#include "doctor/SearchProgressLine.h"

#include <unistd.h>

#include <cstdio>

namespace kestrane {

SearchProgressLine::SearchProgressLine() : terminal_(::isatty(STDERR_FILENO) == 1) {}

SearchProgressLine::~SearchProgressLine() {
    End();
}

void SearchProgressLine::Show(const SearchProgress& p) {
    if (terminal_) {
        std::fprintf(stderr, "\r  searching: %u baud, address %d (probe %d, %.1f s)\033[K", p.baud,
                     p.address, p.probes, p.elapsedSeconds);
        shown_ = true;
    } else if (p.baud != lastBaud_) {
        std::fprintf(stderr, "  searching: %u baud from address %d (probe %d, %.1f s)\n", p.baud,
                     p.address, p.probes, p.elapsedSeconds);
    }
    lastBaud_ = p.baud;
    std::fflush(stderr);
}

void SearchProgressLine::End() {
    if (shown_) std::fputs("\r\033[K", stderr);
    shown_ = false;
}

}  // namespace kestrane
