// The main window against a simulated controller on a real pseudo-terminal:
// a temporary settings directory, the simulator on its own thread, the window
// with the simulator's line at the top of its port list, message boxes
// recorded instead of shown.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CMainDlg.h"
#include "protocol/SharedState.h"
#include "sim/SimulatorThread.h"
#include "support/ScratchDir.h"
#include "ui/framework/MessageBox.h"

namespace kestrane::testing {

// How long a window test waits for the simulator and the workers: far more
// than they need, so a loaded machine does not fail a test that is right.
inline constexpr int kGenerous = 15000;

// Runs the event loop until `done` is true or `timeoutMs` has passed; returns
// `done`'s last answer.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for `ms`.
void Pump(int ms);

// A simulator whose values hold still (its clock stopped) after a morning of
// sun, so the window can be compared with the record at any moment.
sim::SimulatorOptions StillMorningController();

class SimulatedWindow {
public:
    explicit SimulatedWindow(sim::SimulatorOptions options, const char* language = "ENGLISH");
    ~SimulatedWindow();

    // False when the simulator could not open its pseudo-terminal.
    bool Started() const { return started_; }
    CMainDlg& Window() { return *window_; }
    sim::SimulatorThread& Simulator() { return simulator_; }
    SharedState& Shared() { return shared_; }
    const std::vector<MessageBoxRecord>& Messages() const { return messages_; }

    // Presses OPEN, then START MONITOR; false when either did not take.
    bool OpenAndStart();
    // True once the engine has decoded every read block at least `cycles` times.
    bool WaitForReadCycles(unsigned cycles, int timeoutMs);
    // Every control a display pass writes, except the PC clock, shows what the
    // formatting of the current record gives. `mismatch` (when given) names
    // the first control that differs.
    bool DisplayMatchesRecord(std::string* mismatch = nullptr) const;
    // The simulator's register `address`.
    uint16_t Register(uint16_t address) const;

private:
    ScratchDir scratch_{"kestrane-road"};
    const std::string dir_ = scratch_.Slashed();
    SharedState shared_;
    sim::SimulatorThread simulator_;
    std::unique_ptr<CMainDlg> window_;
    std::vector<MessageBoxRecord> messages_;
    bool started_ = false;
};

}  // namespace kestrane::testing
