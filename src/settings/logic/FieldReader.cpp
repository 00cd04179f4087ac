#include "settings/logic/FieldReader.h"

namespace kestrane {

int32_t ReadIntegerField(const IControlAccess& controls, int id) {
    return ParseScaledText(controls.Text(id), 0);
}

double ReadDecimalField(const IControlAccess& controls, int id) {
    return ParseDecimalText(controls.Text(id));
}

int32_t ReadTenthsField(const IControlAccess& controls, int id) {
    return ParseScaledText(controls.Text(id), 1);
}

}  // namespace kestrane
