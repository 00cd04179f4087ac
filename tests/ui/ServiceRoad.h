// Helpers of the service road tests: a service dialog of the real window run
// while the test acts inside it, and a log of what the window shows meanwhile.
#pragma once

#include <QTimer>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ServiceDialogTestSupport.h"
#include "SimulatedWindow.h"
#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "ui/framework/CDialog.h"

namespace kestrane::testing {

// Appends `value` unless it repeats the last one.
template <typename T>
void Note(std::vector<T>& seen, const T& value) {
    if (seen.empty() || seen.back() != value) seen.push_back(value);
}

// True when `wanted` occurs in `seen` in this order, not necessarily adjacent.
template <typename T>
bool InOrder(const std::vector<T>& seen, const std::vector<T>& wanted) {
    auto at = seen.begin();
    for (const T& value : wanted) {
        at = std::find(at, seen.end(), value);
        if (at == seen.end()) return false;
        ++at;
    }
    return true;
}

// The message line's texts, one entry per change, until `done`.
inline bool FollowMessageLine(CMainDlg& window, std::vector<std::string>& texts,
                              const std::function<bool()>& done, int timeoutMs) {
    return WaitUntil(
        [&] {
            Note(texts, window.Text(id::kMessageLine));
            return done();
        },
        timeoutMs);
}

}  // namespace kestrane::testing
