#include "service/ServiceDialogTemplate.h"

#include <QFontDatabase>
#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "service/logic/ServiceDialogLayout.h"

namespace kestrane {

namespace {

namespace sst = service::style;
static_assert(sst::kCenter == style::kCenter && sst::kRight == style::kRight &&
                  sst::kSunken == style::kSunken && sst::kWordWrap == style::kWordWrap &&
                  sst::kDefault == style::kDefault,
              "the layout tables use the dialog layer's style bits");

struct KindRow {
    ServiceControlKind layout;
    ControlKind dialog;
};

constexpr std::array<KindRow, 5> kKinds{{
    {ServiceControlKind::Static, ControlKind::Static},
    {ServiceControlKind::Edit, ControlKind::Edit},
    {ServiceControlKind::PushButton, ControlKind::PushButton},
    {ServiceControlKind::GroupBox, ControlKind::GroupBox},
    {ServiceControlKind::EditableDropDown, ControlKind::EditableDropDown},
}};

// Installed fonts that stand in for a layout's font, best first: a font with
// the same widths (Nimbus Roman and Liberation Serif are drawn to the widths
// of Times New Roman), else one of the same kind.
struct FontRow {
    std::string_view family;
    std::array<const char*, 4> substitutes;
};

constexpr std::array<FontRow, 2> kFontSubstitutes{{
    {"Times New Roman", {"Nimbus Roman", "Liberation Serif", "Tinos", "TeX Gyre Termes"}},
    {"SimSun", {"NSimSun", "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei"}},
}};

ControlKind DialogKind(ServiceControlKind kind) {
    for (const KindRow& row : kKinds)
        if (row.layout == kind) return row.dialog;
    return ControlKind::Static;
}

// The family itself when installed, else its first installed substitute; a
// family with none is kept and the dialog layer picks its own fallback.
std::string_view InstalledFamily(std::string_view family) {
    if (QFontDatabase::hasFamily(QString::fromUtf8(family.data(), family.size()))) return family;
    for (const FontRow& row : kFontSubstitutes) {
        if (row.family != family) continue;
        for (const char* substitute : row.substitutes)
            if (QFontDatabase::hasFamily(QString::fromUtf8(substitute))) return substitute;
    }
    return family;
}

// A template with the storage its spans point into; never moved once built.
struct BuiltTemplate {
    int id = 0;
    bool english = true;
    std::vector<ControlTemplate> controls;
    std::vector<ListTemplate> lists;
    DialogTemplate dialog;
};

std::unique_ptr<const BuiltTemplate> Build(const ServiceDialogLayout& layout, bool english) {
    auto built = std::make_unique<BuiltTemplate>();
    const ServiceDialogVariant& variant = layout.Variant(english);
    built->id = layout.id;
    built->english = english;
    for (const ServiceControl& c : variant.controls) {
        uint32_t styleBits = c.style;
        // A value field shows its number in the middle of its frame.
        if (c.kind == ServiceControlKind::Static && (styleBits & style::kSunken))
            styleBits |= style::kVCenter;
        built->controls.push_back({c.id == kNoControlId ? kNoId : c.id, DialogKind(c.kind), c.x,
                                   c.y, c.w, c.h, english ? c.english : c.chinese, styleBits});
    }
    for (const ServiceListRange& range : layout.lists)
        built->lists.push_back(NumberItems(range.id, {}, range.first, range.last, 1));
    built->dialog = DialogTemplate{layout.id,
                                   variant.caption,
                                   variant.width,
                                   variant.height,
                                   InstalledFamily(variant.fontFamily),
                                   variant.pointSize,
                                   built->controls,
                                   built->lists,
                                   false};
    return built;
}

}  // namespace

const DialogTemplate& ServiceDialogTemplate(int dialogId, bool english) {
    static const std::vector<std::unique_ptr<const BuiltTemplate>> templates = [] {
        std::vector<std::unique_ptr<const BuiltTemplate>> all;
        for (const ServiceDialogLayout& layout : ServiceDialogLayouts()) {
            all.push_back(Build(layout, true));
            all.push_back(Build(layout, false));
        }
        return all;
    }();
    for (const auto& built : templates)
        if (built->id == dialogId && built->english == english) return built->dialog;
    throw std::out_of_range("no service dialog " + std::to_string(dialogId));
}

}  // namespace kestrane
