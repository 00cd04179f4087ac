// A dialog described as data: the window's caption, size and font, and a table
// of controls, each with its identifier, kind, position and size in dialog
// units, resource text and style. Tables of this kind are constexpr; the dialog
// layer (CDialog) turns them into widgets when a dialog opens.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrane {

// Identifier of a control that nothing refers to (a plain label, a rule).
constexpr int kNoId = -1;

enum class ControlKind : uint8_t {
    Static,              // text label
    Picture,             // image; the text names an image resource, empty for none
    Edit,                // single-line edit box
    PushButton,          // button
    GroupBox,            // frame with a title; controls on it are its siblings
    DropDownList,        // list the operator can only choose from
    SortedDropDownList,  // as above, items kept in case-insensitive order
    EditableDropDown,    // list with an edit field the operator may type into
    Rule,                // etched horizontal line
};

// Style bits of a control; combine with |.
namespace style {
constexpr uint32_t kNone = 0;
constexpr uint32_t kCenter = 1u << 0;    // text centred horizontally
constexpr uint32_t kRight = 1u << 1;     // text right-aligned
constexpr uint32_t kVCenter = 1u << 2;   // static text centred vertically
constexpr uint32_t kReadOnly = 1u << 3;  // edit box that shows but does not take input
constexpr uint32_t kHidden = 1u << 4;    // created invisible
constexpr uint32_t kDisabled = 1u << 5;  // created greyed
constexpr uint32_t kSunken = 1u << 6;    // static drawn in a sunken frame (a value field)
constexpr uint32_t kNumber = 1u << 7;    // edit box that takes digits only
constexpr uint32_t kWordWrap = 1u << 8;  // static text wraps onto further lines
constexpr uint32_t kDefault = 1u << 9;   // the button Enter presses when no button has focus
}  // namespace style

struct ControlTemplate {
    int id = kNoId;
    ControlKind kind = ControlKind::Static;
    // Top-left corner and size in dialog units. For the drop-down kinds the
    // height is that of the closed box.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string_view text;  // UTF-8
    uint32_t style = style::kNone;
};

// Items a drop-down list is filled with when its dialog opens: the texts of
// `items` in order, then, when `rangeStep` is not 0, the numbers rangeFirst,
// rangeFirst + rangeStep, ... up to rangeLast, each followed by `rangeSuffix`.
struct ListTemplate {
    int id = kNoId;
    std::span<const std::string_view> items;
    int rangeFirst = 0;
    int rangeLast = 0;
    int rangeStep = 0;
    std::string_view rangeSuffix;
};

// Shorthands that keep template tables to one line per control.
constexpr ControlTemplate Label(int id, int x, int y, int w, int h, std::string_view text,
                                uint32_t styleBits = style::kNone) {
    return {id, ControlKind::Static, x, y, w, h, text, styleBits};
}
constexpr ControlTemplate Picture(int id, int x, int y, int w, int h, std::string_view image = {},
                                  uint32_t styleBits = style::kNone) {
    return {id, ControlKind::Picture, x, y, w, h, image, styleBits};
}
constexpr ControlTemplate EditBox(int id, int x, int y, int w, int h,
                                  uint32_t styleBits = style::kNone) {
    return {id, ControlKind::Edit, x, y, w, h, {}, styleBits};
}
constexpr ControlTemplate Button(int id, int x, int y, int w, int h, std::string_view text,
                                 uint32_t styleBits = style::kNone) {
    return {id, ControlKind::PushButton, x, y, w, h, text, styleBits};
}
constexpr ControlTemplate Group(int id, int x, int y, int w, int h, std::string_view title,
                                uint32_t styleBits = style::kNone) {
    return {id, ControlKind::GroupBox, x, y, w, h, title, styleBits};
}
constexpr ControlTemplate List(int id, ControlKind kind, int x, int y, int w, int h,
                               uint32_t styleBits = style::kNone) {
    return {id, kind, x, y, w, h, {}, styleBits};
}
constexpr ControlTemplate HorizontalRule(int x, int y, int w) {
    return {kNoId, ControlKind::Rule, x, y, w, 1, {}, style::kNone};
}
constexpr ListTemplate Items(int id, std::span<const std::string_view> items) {
    return {id, items, 0, 0, 0, {}};
}
constexpr ListTemplate NumberItems(int id, std::span<const std::string_view> first, int from,
                                   int to, int step, std::string_view suffix = {}) {
    return {id, first, from, to, step, suffix};
}

struct DialogTemplate {
    int id = 0;
    std::string_view caption;
    // Client area in dialog units.
    int width = 0;
    int height = 0;
    std::string_view fontFamily;
    int pointSize = 9;
    std::span<const ControlTemplate> controls;
    std::span<const ListTemplate> lists;
    bool minimizeBox = false;
};

}  // namespace kestrane
