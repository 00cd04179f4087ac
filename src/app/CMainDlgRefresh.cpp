#include "app/CMainDlg.h"

namespace kestrane {

// No service dialog can be open yet, so there is nobody to refresh.
void CMainDlg::SendDialogRefresh(int, int) {}

}  // namespace kestrane
