// Helpers of the service dialog tests: running a modal dialog while the test
// acts inside it, and the keys an operator presses.
#pragma once

#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <functional>
#include <string>

#include "app/CMainDlg.h"
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

// Clicks `button` of the window; `inside` runs in the service dialog it
// opens, which is then closed with its close box unless `inside` ended it.
// Returns the identifier of the dialog that opened, 0 when none did.
inline int RunServiceDialog(CMainDlg& window, int button,
                            const std::function<void(CDialog&)>& inside) {
    int opened = 0;
    bool looked = false;
    QTimer::singleShot(0, &window, [&] {
        looked = true;
        for (CDialog* dialog : window.findChildren<CDialog*>(Qt::FindDirectChildrenOnly)) {
            if (!dialog->HasControls()) continue;
            opened = dialog->Template().id;
            if (inside) inside(*dialog);
            if (dialog->HasControls()) dialog->close();
        }
    });
    window.Click(button);
    WaitFor([&] { return looked; });
    return opened;
}

// A pseudo-terminal whose slave end a window can open as a serial port.
class PseudoTerminal {
public:
    PseudoTerminal() {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
            path_ = name;
            ::close(slave);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal() {
        if (master_ >= 0) ::close(master_);
    }
    const std::string& Path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

}  // namespace kestrane::testing
