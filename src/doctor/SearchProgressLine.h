// The address search's progress on stderr: on a terminal one line rewritten
// in place; elsewhere one line per rate, so a log stays short.
#pragma once

#include "doctor/AddressSearch.h"

namespace kestrane {

class SearchProgressLine {
public:
    SearchProgressLine();
    ~SearchProgressLine();
    SearchProgressLine(const SearchProgressLine&) = delete;
    SearchProgressLine& operator=(const SearchProgressLine&) = delete;

    void Show(const SearchProgress& p);
    // Clears the line on a terminal, so the next output starts clean.
    void End();

private:
    bool terminal_;
    bool shown_ = false;
    unsigned lastBaud_ = 0;
};

}  // namespace kestrane
