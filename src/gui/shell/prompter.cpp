#include "gui/shell/prompter.h"

#include "gui/shell/widgets.h"

#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

namespace vellicar::gui {

PromptAnswer QtPrompter::message(const QString& text, const QString& title, PromptIcon icon,
                                 PromptButtons buttons) {
    QMessageBox box(parent_);
    box.setText(text);
    box.setWindowTitle(title);
    switch (icon) {
    case PromptIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case PromptIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case PromptIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case PromptIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case PromptButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case PromptButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case PromptButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case PromptButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
    default:
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel;
    }
}

QString QtPrompter::openFile(const FileRequest& request) {
    QFileDialog dialog(parent_, request.title, request.startFolder, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtPrompter::about(const QString& programTitle) {
    frmAbout box(programTitle, parent_);
    box.exec();
}

int Prompter::runDialog(QDialog&) {
    return QDialog::Rejected;
}

int QtPrompter::runDialog(QDialog& dialog) {
    return dialog.exec();
}

} // namespace vellicar::gui
