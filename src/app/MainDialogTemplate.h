// Dialog 102, the main window: every control with its identifier, place and
// resource text (the Chinese texts; a few buttons carry English ones), and the
// items of its lists.
#pragma once

#include "ui/framework/DialogTemplate.h"

namespace kestrane {

const DialogTemplate& MainDialogTemplate();

}  // namespace kestrane
