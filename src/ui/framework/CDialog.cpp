#include "ui/framework/CDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "ui/framework/ControlFactory.h"
#include "ui/framework/DialogLanguage.h"
#include "ui/framework/MessageBox.h"
#include "ui/framework/WindowThread.h"

namespace kestrane {

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : CDialog(dialogTemplate, dialogTemplate, parent) {}

CDialog::CDialog(const DialogTemplate& english, const DialogTemplate& chinese, QWidget* parent)
    : QDialog(parent), english_(&english), chinese_(&chinese), current_(&english) {}

CDialog::~CDialog() {
    DestroyControls();
}

void CDialog::Create() {
    if (created_) return;
    current_ = DialogLanguage() == kLanguageChinese ? chinese_ : english_;
    const DialogTemplate& dialog = *current_;

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (dialog.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(ToQString(dialog.caption));
    setFont(DialogFont(dialog));
    units_ = DialogUnitScale::FromFont(font());
    setFixedSize(units_.X(dialog.width), units_.Y(dialog.height));

    std::vector<QWidget*> groups;
    for (const ControlTemplate& control : dialog.controls) {
        QWidget* widget = CreateControlWidget(control, units_, this);
        widgets_.push_back(widget);
        if (control.kind == ControlKind::GroupBox) groups.push_back(widget);
        if (control.id != kNoId) controls_[control.id] = Entry{widget, control.kind};
        if (auto* button = qobject_cast<QPushButton*>(widget); button && control.id != kNoId) {
            const int id = control.id;
            connect(button, &QPushButton::clicked, this, [this, id] { ButtonClicked(id); });
        }
        if (auto* list = qobject_cast<QComboBox*>(widget); list && control.id != kNoId) {
            const int id = control.id;
            connect(list, &QComboBox::activated, this, [this, id] { SelectionChosen(id); });
        }
    }
    // Group boxes are frames behind the controls that stand on them.
    for (auto it = groups.rbegin(); it != groups.rend(); ++it)
        (*it)->lower();
    for (const ListTemplate& list : dialog.lists)
        FillList(list);

    created_ = true;
    OnInitDialog();
}

int CDialog::DoModal() {
    DestroyControls();
    Create();
    const int result = exec();
    DestroyControls();
    return result;
}

void CDialog::EndDialog(int result) {
    done(result);
}

void CDialog::DestroyControls() {
    for (auto& [timerId, timer] : timers_) {
        timer->stop();
        timer->deleteLater();
    }
    timers_.clear();
    controls_.clear();
    for (QWidget* widget : widgets_)
        delete widget;
    widgets_.clear();
    created_ = false;
}

QWidget* CDialog::Control(int id) const {
    const Entry* entry = Find(id);
    return entry ? entry->widget : nullptr;
}

const CDialog::Entry* CDialog::Find(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

void CDialog::FillList(const ListTemplate& list) {
    for (std::string_view item : list.items)
        AddItem(list.id, item);
    if (list.rangeStep > 0) {
        for (int value = list.rangeFirst; value <= list.rangeLast; value += list.rangeStep) {
            AddItem(list.id, std::to_string(value) + std::string(list.rangeSuffix));
        }
    }
}

void CDialog::SetTimer(int timerId, int intervalMs) {
    CallInWindowThread([&] {
        QTimer*& timer = timers_[timerId];
        if (timer == nullptr) {
            timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, [this, timerId] { OnTimer(timerId); });
        }
        timer->start(intervalMs);
    });
}

void CDialog::KillTimer(int timerId) {
    CallInWindowThread([&] {
        const auto it = timers_.find(timerId);
        if (it == timers_.end()) return;
        // The timer may be the one whose tick is being handled right now.
        it->second->stop();
        it->second->deleteLater();
        timers_.erase(it);
    });
}

bool CDialog::IsTimerRunning(int timerId) const {
    bool running = false;
    CallInWindowThread([&] { running = timers_.count(timerId) != 0; });
    return running;
}

void CDialog::OnTimer(int) {}

intptr_t CDialog::OnMessage(int, intptr_t, intptr_t) {
    return 0;
}

intptr_t CDialog::SendMessage(int message, intptr_t wParam, intptr_t lParam) {
    intptr_t result = 0;
    CallInWindowThread([&] {
        if (created_) result = OnMessage(message, wParam, lParam);
    });
    return result;
}

void CDialog::OnClicked(int id, std::function<void()> handler) {
    clickHandlers_[id] = std::move(handler);
}

void CDialog::Click(int id) {
    CallInWindowThread([&] {
        if (auto* button = qobject_cast<QPushButton*>(Control(id))) button->click();
    });
}

void CDialog::ButtonClicked(int id) {
    const auto it = clickHandlers_.find(id);
    if (it != clickHandlers_.end() && it->second) it->second();
}

void CDialog::OnSelChange(int id, std::function<void()> handler) {
    selChangeHandlers_[id] = std::move(handler);
}

void CDialog::Choose(int id, int index) {
    CallInWindowThread([&] {
        auto* list = qobject_cast<QComboBox*>(Control(id));
        if (list == nullptr || !list->isEnabled() || index < 0 || index >= list->count()) return;
        list->setCurrentIndex(index);
        emit list->activated(index);
    });
}

void CDialog::SelectionChosen(int id) {
    const auto it = selChangeHandlers_.find(id);
    if (it != selChangeHandlers_.end() && it->second) it->second();
}

void CDialog::ShowMessage(const std::string& text, const std::string& detail) {
    CallInWindowThread([&] { ShowMessageBox(this, text, detail); });
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter presses the focused button, or the default button when
            // there is one; it never ends the dialog by itself.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
                button->click();
            } else {
                for (QPushButton* candidate : findChildren<QPushButton*>()) {
                    if (candidate->isDefault() && candidate->isVisible() &&
                        candidate->isEnabled()) {
                        candidate->click();
                        break;
                    }
                }
            }
            event->accept();
            return;
        case Qt::Key_Escape:
            event->accept();
            OnClose();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CDialog::reject() {
    // The close box and the window manager's close reach the dialog here.
    OnClose();
}

}  // namespace kestrane
