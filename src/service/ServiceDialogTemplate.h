// The dialog templates of the four service dialogs, built from their layout
// tables (service/logic/ServiceDialogLayout.h) so that every control is
// described once. The fonts the layouts name are replaced by installed fonts
// drawn to the same proportions when they are missing.
#pragma once

#include "ui/framework/DialogTemplate.h"

namespace kestrane {

// The English or Chinese template of service dialog 130, 131, 132 or 133. The
// templates are built on first use (a QGuiApplication must exist then) and
// live until the process ends. Throws std::out_of_range for any other id.
const DialogTemplate& ServiceDialogTemplate(int dialogId, bool english);

}  // namespace kestrane
