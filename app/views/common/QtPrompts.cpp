#include "app/views/common/QtPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

void QtPrompts::warn(const QString& message, const QString& informative) {
    QMessageBox box(QMessageBox::Warning, message, message, QMessageBox::Ok, parent_);
    box.setInformativeText(informative);
    box.exec();
}

std::optional<QString> QtPrompts::chooseFolder(const FolderRequest& request) {
    QFileDialog dialog(parent_, request.message, request.startIn);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, request.prompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
