// A dialog window built from a template (DialogTemplate.h), with its controls
// addressed by numeric identifier. The object lives as long as its owner; the
// controls exist from Create (or DoModal) until the dialog ends, as a window
// does on the original platform. Every control operation may be called from a
// worker thread: it then runs as a synchronous call in the window thread. An
// operation on a control that does not exist (or while the dialog is closed)
// does nothing and reads as empty, 0 or -1.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ControlAccess.h"
#include "ui/framework/DialogTemplate.h"
#include "ui/framework/DialogUnitScale.h"

class QTimer;

namespace kestrane {

class CDialog : public QDialog, public IControlAccess {
    Q_OBJECT

public:
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    // A dialog with one template.
    explicit CDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    // A dialog with an English and a Chinese template; the language in force
    // (DialogLanguage) when it opens picks one.
    CDialog(const DialogTemplate& english, const DialogTemplate& chinese,
            QWidget* parent = nullptr);
    ~CDialog() override;

    // Builds the controls and runs OnInitDialog; the window is not shown.
    // Does nothing while the controls exist.
    void Create();
    // Create, show modally until EndDialog, then destroy the controls. The
    // timers of other windows keep running meanwhile. Returns the result
    // passed to EndDialog.
    int DoModal();
    void EndDialog(int result);
    // Removes the controls and stops the timers, as when the window is destroyed.
    void DestroyControls();
    bool HasControls() const { return created_; }
    // The template of the open window (the English one while none is open).
    const DialogTemplate& Template() const { return *current_; }
    const DialogUnitScale& Units() const { return units_; }

    // The widget of a control; nullptr when it does not exist. Window thread only.
    QWidget* Control(int id) const;

    // IControlAccess. Text of a drop-down list: the edit field of an editable
    // one, the selected item of a plain one (empty with no selection).
    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool IsEnabled(int id) const override;
    void Enable(int id, bool enabled = true) override;
    bool IsVisible(int id) const override;
    void Show(int id, bool visible = true) override;
    int Selection(int id) const override;
    // An index outside the list (-1 among them) leaves no selection.
    void Select(int id, int index) override;
    int ItemCount(int id) const override;
    std::string ItemText(int id, int index) const override;
    void ShowMessage(const std::string& text, const std::string& detail = {}) override;

    // Sets the text only when it differs byte by byte; true when it was set.
    bool SetTextIfChanged(int id, std::string_view text);
    // The text as a decimal integer: leading blanks skipped, an optional minus
    // sign when isSigned, digits up to the first other character. ok (when
    // given) is false, and the result 0, when no digit is found or the number
    // does not fit.
    int GetInt(int id, bool* ok = nullptr, bool isSigned = true) const;
    void SetInt(int id, int value);
    // Appends an item; a sorted list puts it in its place. Returns its index.
    int AddItem(int id, std::string_view text);
    // Inserts an item at index (the end when index is outside the list), even
    // in a sorted list. Returns its index.
    int InsertItem(int id, int index, std::string_view text);
    void ClearItems(int id);
    void SetPicture(int id, const QPixmap& picture);

    // Numbered timers. Setting a running timer again restarts it with the new
    // interval; killing one that is not running does nothing. OnTimer gets the
    // number. The timers stop when the controls are destroyed.
    void SetTimer(int timerId, int intervalMs);
    void KillTimer(int timerId);
    bool IsTimerRunning(int timerId) const;

    // Sends a user message (for example 0x401) to OnMessage on the window
    // thread and returns its result; from a worker the worker waits for it.
    // A dialog whose window is not open ignores it and 0 is returned.
    intptr_t SendMessage(int message, intptr_t wParam = 0, intptr_t lParam = 0);

    // Routes clicks of button id to handler. May be called before Create.
    void OnClicked(int id, std::function<void()> handler);
    // Clicks button id as the operator would (no effect when it is disabled
    // or does not exist).
    void Click(int id);
    // Routes the operator's choice of an entry in list id to handler; a
    // selection made by Select does not reach it. May be called before Create.
    void OnSelChange(int id, std::function<void()> handler);
    // Chooses entry index of list id as the operator would, so its handler
    // runs (no effect when the list is disabled or the index is outside it).
    void Choose(int id, int index);

protected:
    // Called by Create once the controls exist. The result is kept for the
    // original's contract (false when the dialog set the focus itself).
    virtual bool OnInitDialog() { return true; }
    // The close request: the close box, Escape, the window manager. The
    // default ends the dialog with kIdCancel.
    virtual void OnClose() { EndDialog(kIdCancel); }
    virtual void OnTimer(int timerId);
    virtual intptr_t OnMessage(int message, intptr_t wParam, intptr_t lParam);

    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    struct Entry {
        QWidget* widget = nullptr;
        ControlKind kind = ControlKind::Static;
    };

    const Entry* Find(int id) const;
    void FillList(const ListTemplate& list);
    void ButtonClicked(int id);
    void SelectionChosen(int id);

    const DialogTemplate* english_;
    const DialogTemplate* chinese_;
    const DialogTemplate* current_;
    DialogUnitScale units_{1.5, 1.5};
    bool created_ = false;
    std::map<int, Entry> controls_;
    std::vector<QWidget*> widgets_;  // every control widget, named or not
    std::map<int, QTimer*> timers_;
    std::map<int, std::function<void()>> clickHandlers_;
    std::map<int, std::function<void()>> selChangeHandlers_;
};

}  // namespace kestrane
