// Creation of the widget for one control of a dialog template: kind, geometry
// in pixels, resource text and style.
#pragma once

#include <QFont>

#include "ui/framework/DialogTemplate.h"
#include "ui/framework/DialogUnitScale.h"

class QWidget;

namespace kestrane {

// The font a template asks for, or a CJK-capable font of the same size when
// that family is not installed.
QFont DialogFont(const DialogTemplate& dialogTemplate);

// Creates the widget as a child of parent; objectName is the decimal
// identifier (empty for kNoId).
QWidget* CreateControlWidget(const ControlTemplate& control, const DialogUnitScale& units,
                             QWidget* parent);

QString ToQString(std::string_view text);

}  // namespace kestrane
