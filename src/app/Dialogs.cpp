#include "app/Dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QPrintDialog>
#include <utility>

namespace fenban {

namespace {

Dialogs* Installed = nullptr;

QString ChosenFile(QWidget* parent, const FileRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.caption, request.start);
    dialog.setObjectName(request.objectName);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    if (mode == QFileDialog::AcceptSave && !request.confirmOverwrite)
        options |= QFileDialog::DontConfirmOverwrite;
    dialog.setOptions(options);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

void ModalDialogs::showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QMessageBox::StandardButton ModalDialogs::ask(QWidget* parent, const Question& question)
{
    QMessageBox box(question.icon, question.title, question.text, question.buttons, parent);
    for (auto text = question.buttonTexts.cbegin(); text != question.buttonTexts.cend(); ++text)
        if (QAbstractButton* button = box.button(text.key()))
            button->setText(text.value());
    if (question.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(question.defaultButton);
    if (question.escapeButton != QMessageBox::NoButton)
        box.setEscapeButton(question.escapeButton);
    box.exec();
    return box.standardButton(box.clickedButton());
}

QString ModalDialogs::saveFileName(QWidget* parent, const FileRequest& request)
{
    return ChosenFile(parent, request, QFileDialog::AcceptSave);
}

QString ModalDialogs::openFileName(QWidget* parent, const FileRequest& request)
{
    return ChosenFile(parent, request, QFileDialog::AcceptOpen);
}

bool ModalDialogs::choosePrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    return dialog.exec() == QDialog::Accepted;
}

int ModalDialogs::runDialog(QDialog& dialog)
{
    return dialog.exec();
}

Dialogs& CurrentDialogs()
{
    static ModalDialogs modal;
    return Installed != nullptr ? *Installed : modal;
}

Dialogs* InstallDialogs(Dialogs* dialogs)
{
    return std::exchange(Installed, dialogs);
}

} // namespace fenban
