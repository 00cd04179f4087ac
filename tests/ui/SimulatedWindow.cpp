#include "SimulatedWindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "monitor/ControlIds.h"
#include "monitor/MonitorFormat.h"
#include "platform/ProfileFile.h"

namespace kestrane::testing {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs) return done();
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

sim::SimulatorOptions StillMorningController() {
    sim::SimulatorOptions options;
    options.daySeconds = 0;
    sim::SimDateTime::FromParts(2026, 6, 1, 11, 0, 0, &options.start);
    return options;
}

SimulatedWindow::SimulatedWindow(sim::SimulatorOptions options, const char* language)
    : simulator_(options) {
    const std::string ini = dir_ + CMainDlg::kSettingsFileName;
    WriteProfileString("SysLanguage", "Language", language, ini);
    WriteProfileString("COMSET", "ADDR", std::to_string(options.address), ini);
    WriteProfileString("Colour", "BackColour", "1", ini);
    SetMessageBoxHook([this](const MessageBoxRecord& record) { messages_.push_back(record); });

    std::string error;
    started_ = simulator_.Start(&error);
    // A morning of sun before the clock stops, so the values are not all zero.
    simulator_.WithDevice([](sim::SimDevice& device) { device.Advance(3 * 3600); });
    window_ = std::make_unique<CMainDlg>(shared_, dir_);
    // A simulator with a link of its own is listed by it, so a second one can
    // take its place on the same path (an adapter plugged in again).
    window_->SetExtraPorts({options.linkPath.empty() ? simulator_.DevicePath() : options.linkPath});
    window_->Create();
    window_->show();
}

SimulatedWindow::~SimulatedWindow() {
    if (window_->isVisible()) window_->close();
    window_.reset();
    simulator_.Stop();
    SetMessageBoxHook({});
}

bool SimulatedWindow::OpenAndStart() {
    window_->Click(id::kOpenButton);
    if (!window_->serialPort.IsOpen()) return false;
    window_->Click(id::kMonitorButton);
    return window_->IsTimerRunning(CMainDlg::kEngineTimer);
}

bool SimulatedWindow::WaitForReadCycles(unsigned cycles, int timeoutMs) {
    return WaitUntil([&] { return window_->engine.CompleteReadCycles() >= cycles; }, timeoutMs);
}

bool SimulatedWindow::DisplayMatchesRecord(std::string* mismatch) const {
    const auto texts = FormatMonitorTexts(shared_.data, LocalTime{}, shared_.IsEnglish());
    for (const ControlText& expected : texts) {
        if (expected.id == id::kPcDateTime) continue;
        const std::string shown = window_->Text(expected.id);
        if (shown != expected.text) {
            if (mismatch)
                *mismatch = std::to_string(expected.id) + " shows \"" + shown + "\", not \"" +
                            expected.text + "\"";
            return false;
        }
    }
    return true;
}

uint16_t SimulatedWindow::Register(uint16_t address) const {
    return simulator_.Registers(address, 1).front();
}

}  // namespace kestrane::testing
