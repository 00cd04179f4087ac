#include "ui/framework/MessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace kestrane {

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

std::string MessageBoxTitle() {
    const QString path = QCoreApplication::applicationFilePath();
    return QFileInfo(path).completeBaseName().toStdString();
}

void ShowMessageBox(QWidget* parent, std::string_view text, std::string_view detail) {
    MessageBoxRecord record{MessageBoxTitle(), std::string(text), std::string(detail)};
    if (Hook()) {
        Hook()(record);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(record.title), FromUtf8(text),
                    QMessageBox::Ok, parent);
    if (!detail.empty()) box.setInformativeText(FromUtf8(detail));
    box.exec();
}

}  // namespace kestrane
