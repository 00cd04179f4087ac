// The history window's exports: the visible view as a picture, the shown day
// as a CSV file for spreadsheets.
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QStackedWidget>
#include <QTabWidget>

#include "history/CleanCsv.h"
#include "history/ui/CHistoryDlg.h"
#include "history/ui/HistoryTexts.h"

namespace kestrane {

namespace {

constexpr QSize kFullHd(1920, 1080);

QString BaseName(const std::optional<LogDate>& date) {
    if (!date) return "history";
    return QString("%1-%2-%3")
        .arg(date->year)
        .arg(date->month, 2, 10, QChar('0'))
        .arg(date->day, 2, 10, QChar('0'));
}

}  // namespace

bool CHistoryDlg::ExportPng(const QString& path, QSize size) {
    QWidget* view = tabs_->currentWidget();
    const QSize shown = view->size();
    if (size.isEmpty()) size = shown;
    // The view is laid out again at the wanted size for the picture, then
    // given back its place on screen.
    if (size != shown) view->resize(size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(style_.background);
    {
        QPainter painter(&image);
        view->render(&painter);
    }
    if (size != shown) view->resize(shown);
    return image.save(path, "PNG");
}

bool CHistoryDlg::ExportCsv(const QString& path) {
    const HistoryDay* day = ShownDay();
    return day != nullptr && WriteCleanCsv(*day, path.toStdString());
}

void CHistoryDlg::ReportWriteFailure(const QString& path) {
    // Titled like the program's other message boxes: the executable's name.
    const QString title = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QMessageBox::warning(
        this, title, QString::fromUtf8(historytext::kWriteFailed.In(english_).data()).arg(path));
}

void CHistoryDlg::OnExportPng(bool fullHd) {
    const QString path = QFileDialog::getSaveFileName(
        this, QString(), QString::fromStdString(folder_) + "/" + BaseName(shownDate_) + ".png",
        "PNG (*.png)");
    if (path.isEmpty()) return;
    if (!ExportPng(path, fullHd ? kFullHd : QSize())) ReportWriteFailure(path);
}

void CHistoryDlg::OnExportCsv() {
    const QString path = QFileDialog::getSaveFileName(
        this, QString(), QString::fromStdString(folder_) + "/" + BaseName(shownDate_) + ".csv",
        "CSV (*.csv)");
    if (path.isEmpty()) return;
    if (!ExportCsv(path)) ReportWriteFailure(path);
}

}  // namespace kestrane
