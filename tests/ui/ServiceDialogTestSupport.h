// Helpers of the service dialog tests: running a modal dialog while the test
// acts inside it, and the keys an operator presses.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <functional>

#include "ui/framework/CDialog.h"

namespace kestrane::testing {

// Runs the event loop until done() holds or a generous bound passes.
inline bool WaitFor(const std::function<bool()>& done, int boundMs = 5000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > boundMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void SendKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// Runs dialog modally; `inside` runs once the dialog is open and must end it.
// A dialog that `inside` leaves open is closed after a while with the close
// box, so a faulty test fails instead of hanging. Returns the modal result.
inline int RunModal(CDialog& dialog, const std::function<void()>& inside) {
    QTimer::singleShot(0, &dialog, inside);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&] { dialog.close(); });
    guard.start(10000);
    return dialog.DoModal();
}

}  // namespace kestrane::testing
