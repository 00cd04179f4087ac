#include "ui/framework/ControlFactory.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <array>

namespace kestrane {

namespace {

// Fonts that draw both scripts of the windows, tried in this order when the
// template's own font is not installed.
constexpr std::array<const char*, 5> kFallbackFamilies = {
    "Noto Sans Mono CJK SC", "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
    "Droid Sans Fallback"};

// Items a drop-down list shows before it scrolls.
constexpr int kVisibleListItems = 15;

Qt::Alignment HorizontalAlignment(uint32_t styleBits) {
    if (styleBits & style::kCenter) return Qt::AlignHCenter;
    if (styleBits & style::kRight) return Qt::AlignRight;
    return Qt::AlignLeft;
}

// Height a control needs to show one line of its font without clipping.
int NeededHeight(const ControlTemplate& control, const QFontMetrics& metrics) {
    switch (control.kind) {
        case ControlKind::Static:
            return metrics.height() + ((control.style & style::kSunken) ? 2 : 0);
        case ControlKind::Edit:
        case ControlKind::DropDownList:
        case ControlKind::SortedDropDownList:
        case ControlKind::EditableDropDown:
        case ControlKind::PushButton:
            return metrics.height() + 4;
        default:
            return 0;
    }
}

// The template's rectangle, made tall enough for the font, growing evenly up
// and down so that rows stay centred where they were designed.
QRect ControlRect(const ControlTemplate& control, const DialogUnitScale& units,
                  const QFontMetrics& metrics) {
    QRect rect = units.Rect(control.x, control.y, control.width, control.height);
    if (control.kind == ControlKind::Static && (control.style & style::kWordWrap)) return rect;
    const int needed = NeededHeight(control, metrics);
    if (rect.height() < needed) {
        const int grow = needed - rect.height();
        rect.adjust(0, -(grow / 2), 0, grow - grow / 2);
    }
    if (control.kind == ControlKind::Rule && rect.height() < 2) rect.setHeight(2);
    return rect;
}

QWidget* CreateStatic(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(ToQString(control.text), parent);
    label->setTextFormat(Qt::PlainText);
    const Qt::Alignment vertical =
        (control.style & style::kVCenter) ? Qt::AlignVCenter : Qt::AlignTop;
    label->setAlignment(HorizontalAlignment(control.style) | vertical);
    label->setWordWrap((control.style & style::kWordWrap) != 0);
    if (control.style & style::kSunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QWidget* CreatePicture(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    if (!control.text.empty()) label->setPixmap(QPixmap(ToQString(control.text)));
    return label;
}

QWidget* CreateEdit(const ControlTemplate& control, QWidget* parent) {
    auto* edit = new QLineEdit(ToQString(control.text), parent);
    edit->setAlignment(HorizontalAlignment(control.style) | Qt::AlignVCenter);
    edit->setReadOnly((control.style & style::kReadOnly) != 0);
    if (control.style & style::kNumber) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QWidget* CreateButton(const ControlTemplate& control, QWidget* parent) {
    auto* button = new QPushButton(ToQString(control.text), parent);
    button->setAutoDefault(false);
    button->setDefault((control.style & style::kDefault) != 0);
    return button;
}

QWidget* CreateList(const ControlTemplate& control, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setMaxVisibleItems(kVisibleListItems);
    if (control.kind == ControlKind::EditableDropDown) {
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setEditText(ToQString(control.text));
    }
    return list;
}

QWidget* CreateRule(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return line;
}

}  // namespace

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont DialogFont(const DialogTemplate& dialogTemplate) {
    QString family = ToQString(dialogTemplate.fontFamily);
    if (!QFontDatabase::hasFamily(family)) {
        for (const char* fallback : kFallbackFamilies) {
            if (QFontDatabase::hasFamily(fallback)) {
                family = fallback;
                break;
            }
        }
    }
    QFont font(family);
    font.setPointSize(dialogTemplate.pointSize);
    return font;
}

QWidget* CreateControlWidget(const ControlTemplate& control, const DialogUnitScale& units,
                             QWidget* parent) {
    QWidget* widget = nullptr;
    switch (control.kind) {
        case ControlKind::Static:
            widget = CreateStatic(control, parent);
            break;
        case ControlKind::Picture:
            widget = CreatePicture(control, parent);
            break;
        case ControlKind::Edit:
            widget = CreateEdit(control, parent);
            break;
        case ControlKind::PushButton:
            widget = CreateButton(control, parent);
            break;
        case ControlKind::GroupBox:
            widget = new QGroupBox(ToQString(control.text), parent);
            break;
        case ControlKind::DropDownList:
        case ControlKind::SortedDropDownList:
        case ControlKind::EditableDropDown:
            widget = CreateList(control, parent);
            break;
        case ControlKind::Rule:
            widget = CreateRule(parent);
            break;
    }
    if (control.id != kNoId) widget->setObjectName(QString::number(control.id));
    widget->setGeometry(ControlRect(control, units, QFontMetrics(parent->font())));
    widget->setEnabled((control.style & style::kDisabled) == 0);
    widget->setVisible((control.style & style::kHidden) == 0);
    return widget;
}

}  // namespace kestrane
