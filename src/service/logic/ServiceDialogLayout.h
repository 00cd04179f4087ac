// The four service dialogs as data: caption, size and font per language, and
// each control with its identifier, kind, proposed position and size in dialog
// units, its text in both languages and its style. The dialog templates of the
// window are built from these tables; nothing here needs widgets.
#pragma once

#include <cstdint>
#include <span>

namespace kestrane {

// Identifier of a control nothing refers to (a plain label).
constexpr int kNoControlId = -1;

enum class ServiceControlKind : uint8_t {
    Static,            // text label
    Edit,              // single-line edit box
    PushButton,        // button
    GroupBox,          // frame; its title is a separate static above it
    EditableDropDown,  // list with an edit field the operator may type into
};

// Style bits; they take the values of the dialog layer's style bits of the
// same names.
namespace service::style {
constexpr unsigned kNone = 0;
constexpr unsigned kCenter = 1u << 0;    // text centred horizontally
constexpr unsigned kRight = 1u << 1;     // text right-aligned
constexpr unsigned kSunken = 1u << 6;    // static drawn in a sunken frame (a value field)
constexpr unsigned kWordWrap = 1u << 8;  // static text wraps onto further lines
constexpr unsigned kDefault = 1u << 9;   // the button Enter presses
}  // namespace service::style

struct ServiceControl {
    int id;
    ServiceControlKind kind;
    // Top-left corner and size in dialog units; a drop-down list's height is
    // that of the closed box.
    int x, y, w, h;
    const char* english;  // UTF-8
    const char* chinese;  // UTF-8
    unsigned style;
};

// A drop-down list filled with the numbers first to last when its dialog opens.
struct ServiceListRange {
    int id;
    int first;
    int last;
};

struct ServiceDialogVariant {
    const char* caption;
    int width, height;  // client area in dialog units
    const char* fontFamily;
    int pointSize;
    std::span<const ServiceControl> controls;
};

struct ServiceDialogLayout {
    int id;
    ServiceDialogVariant english;
    ServiceDialogVariant chinese;
    std::span<const ServiceListRange> lists;

    const ServiceDialogVariant& Variant(bool isEnglish) const {
        return isEnglish ? english : chinese;
    }
};

// Check Address 130, Data Correction 131, Restore 132, Set Time 133.
std::span<const ServiceDialogLayout> ServiceDialogLayouts();
// The layout of one of the four dialogs, nullptr for any other identifier.
const ServiceDialogLayout* FindServiceDialogLayout(int dialogId);

}  // namespace kestrane
