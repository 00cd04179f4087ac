#include "service/logic/RestoreLogic.h"

#include "service/logic/ServiceSelectors.h"

namespace kestrane {

void RestoreLogic::OnOk() {
    shared_.settingsStatus.store(service::kStatusWriteQueued);
    shared_.pendingWrite.store(service::kSelectorRestore);
}

}  // namespace kestrane
