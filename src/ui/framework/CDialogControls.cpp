// The control operations of CDialog, by identifier.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <climits>

#include "ui/framework/CDialog.h"
#include "ui/framework/ControlFactory.h"
#include "ui/framework/WindowThread.h"

namespace kestrane {

namespace {

QString WidgetText(const QWidget* widget) {
    if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(widget)) return group->title();
    if (auto* list = qobject_cast<const QComboBox*>(widget)) {
        if (list->isEditable()) return list->currentText();
        return list->currentIndex() < 0 ? QString() : list->itemText(list->currentIndex());
    }
    return {};
}

void SetWidgetText(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        // The edit field of an editable list; a plain list selects the item
        // with that text, as its field can show nothing else.
        if (list->isEditable()) {
            list->setEditText(text);
        } else {
            list->setCurrentIndex(list->findText(text, Qt::MatchFixedString));
        }
    }
}

// Leading decimal number of a text, in the manner of the original platform's
// integer reader.
int ParseInt(const std::string& text, bool* ok, bool isSigned) {
    size_t pos = text.find_first_not_of(' ');
    bool negative = false;
    if (pos != std::string::npos && isSigned && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    long long value = 0;
    bool digits = false;
    const long long limit = isSigned ? (negative ? -(long long)INT_MIN : INT_MAX) : UINT_MAX;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        digits = true;
        value = value * 10 + (text[pos] - '0');
        if (value > limit) {
            if (ok) *ok = false;
            return 0;
        }
    }
    if (ok) *ok = digits;
    if (!digits) return 0;
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::string CDialog::Text(int id) const {
    std::string text;
    CallInWindowThread([&] {
        if (const QWidget* widget = Control(id)) text = WidgetText(widget).toStdString();
    });
    return text;
}

void CDialog::SetText(int id, const std::string& text) {
    CallInWindowThread([&] {
        if (QWidget* widget = Control(id)) SetWidgetText(widget, ToQString(text));
    });
}

bool CDialog::SetTextIfChanged(int id, std::string_view text) {
    bool changed = false;
    CallInWindowThread([&] {
        QWidget* widget = Control(id);
        if (widget == nullptr) return;
        const QString wanted = ToQString(text);
        if (WidgetText(widget) == wanted) return;
        SetWidgetText(widget, wanted);
        changed = true;
    });
    return changed;
}

int CDialog::GetInt(int id, bool* ok, bool isSigned) const {
    return ParseInt(Text(id), ok, isSigned);
}

void CDialog::SetInt(int id, int value) {
    SetText(id, std::to_string(value));
}

bool CDialog::IsEnabled(int id) const {
    bool enabled = false;
    CallInWindowThread([&] {
        if (const QWidget* widget = Control(id)) enabled = widget->isEnabled();
    });
    return enabled;
}

void CDialog::Enable(int id, bool enabled) {
    CallInWindowThread([&] {
        if (QWidget* widget = Control(id)) widget->setEnabled(enabled);
    });
}

bool CDialog::IsVisible(int id) const {
    bool visible = false;
    CallInWindowThread([&] {
        // Shown as far as the control itself goes, whether or not the window is.
        if (const QWidget* widget = Control(id)) visible = !widget->isHidden();
    });
    return visible;
}

void CDialog::Show(int id, bool visible) {
    CallInWindowThread([&] {
        if (QWidget* widget = Control(id)) widget->setVisible(visible);
    });
}

int CDialog::Selection(int id) const {
    int index = -1;
    CallInWindowThread([&] {
        if (auto* list = qobject_cast<const QComboBox*>(Control(id))) index = list->currentIndex();
    });
    return index;
}

void CDialog::Select(int id, int index) {
    CallInWindowThread([&] {
        auto* list = qobject_cast<QComboBox*>(Control(id));
        if (list == nullptr) return;
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    });
}

int CDialog::ItemCount(int id) const {
    int count = 0;
    CallInWindowThread([&] {
        if (auto* list = qobject_cast<const QComboBox*>(Control(id))) count = list->count();
    });
    return count;
}

std::string CDialog::ItemText(int id, int index) const {
    std::string text;
    CallInWindowThread([&] {
        auto* list = qobject_cast<const QComboBox*>(Control(id));
        if (list != nullptr && index >= 0 && index < list->count()) {
            text = list->itemText(index).toStdString();
        }
    });
    return text;
}

int CDialog::AddItem(int id, std::string_view text) {
    int index = -1;
    CallInWindowThread([&] {
        const Entry* entry = Find(id);
        auto* list = entry ? qobject_cast<QComboBox*>(entry->widget) : nullptr;
        if (list == nullptr) return;
        index = list->count();
        if (entry->kind == ControlKind::SortedDropDownList) {
            const QString item = ToQString(text);
            for (int i = 0; i < list->count(); ++i) {
                if (QString::compare(item, list->itemText(i), Qt::CaseInsensitive) < 0) {
                    index = i;
                    break;
                }
            }
        }
        index = InsertItem(id, index, text);
    });
    return index;
}

int CDialog::InsertItem(int id, int index, std::string_view text) {
    int at = -1;
    CallInWindowThread([&] {
        auto* list = qobject_cast<QComboBox*>(Control(id));
        if (list == nullptr) return;
        at = index >= 0 && index <= list->count() ? index : list->count();
        // Inserting never selects the new item, as on the original platform.
        const int selected = list->currentIndex();
        const QString editText = list->currentText();
        list->insertItem(at, ToQString(text));
        list->setCurrentIndex(selected < 0 ? -1 : (selected >= at ? selected + 1 : selected));
        if (list->isEditable()) list->setEditText(editText);
    });
    return at;
}

void CDialog::ClearItems(int id) {
    CallInWindowThread([&] {
        if (auto* list = qobject_cast<QComboBox*>(Control(id))) list->clear();
    });
}

void CDialog::SetPicture(int id, const QPixmap& picture) {
    CallInWindowThread([&] {
        if (auto* label = qobject_cast<QLabel*>(Control(id))) label->setPixmap(picture);
    });
}

}  // namespace kestrane
