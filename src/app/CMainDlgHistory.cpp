// The HISTORY button (1280): the charts of the daily logs in a window of
// their own, usable while monitoring runs. The folder is the one the event
// log writes to.
#include "app/CMainDlg.h"

namespace kestrane {

void CMainDlg::OnHistoryButton() {
    if (!historyDlg_) {
        historyDlg_ =
            std::make_unique<CHistoryDlg>(logDir_.empty() ? std::string("./") : logDir_,
                                          shared.IsEnglish(), shared.colourIndex.load(), this);
    } else {
        historyDlg_->SetEnglish(shared.IsEnglish());
    }
    historyDlg_->show();
    historyDlg_->raise();
    historyDlg_->activateWindow();
}

}  // namespace kestrane
