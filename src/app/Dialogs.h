#pragma once

#include <QMap>
#include <QMessageBox>
#include <QString>

class QDialog;
class QPrinter;
class QWidget;

namespace fenban {

// A question with buttons: the standard buttons offered, their texts where
// Qt's own would not do (保存, 不保存, 取消), the button Enter presses and the
// one Escape or closing the box gives.
struct Question {
    QMessageBox::Icon icon = QMessageBox::Question;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMap<QMessageBox::StandardButton, QString> buttonTexts;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
};

// A file dialog's settings: caption, name filter (e.g. "EXCEL文件(*.xls)"),
// the suffix added to a name typed without one, the dialog's objectName, and
// where it starts (a folder or a proposed file).
struct FileRequest {
    QString caption;
    QString filter;
    QString defaultSuffix;
    QString objectName;
    QString start;
    bool confirmOverwrite = false; // save only: ask before replacing a file
};

// Every message box, file dialog and print dialog the window opens goes
// through one Dialogs object: the real modal QMessageBox, QFileDialog and
// QPrintDialog by default; tests install one that answers from a script.
class Dialogs {
public:
    Dialogs() = default;
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;
    virtual ~Dialogs() = default;

    // A modal box with the one button OK.
    virtual void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) = 0;
    // A modal box with the question's buttons; returns the one pressed.
    virtual QMessageBox::StandardButton ask(QWidget* parent, const Question& question) = 0;
    // The file chosen, or an empty text when the dialog was cancelled.
    virtual QString saveFileName(QWidget* parent, const FileRequest& request) = 0;
    virtual QString openFileName(QWidget* parent, const FileRequest& request) = 0;
    // The print dialog for `printer`: true when the user chose to print, the
    // printer then set up as chosen (printer, pages, copies, paper).
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;
    // One of the program's own modal dialogs (import, public division, …),
    // set up by the caller: its exec() result, QDialog::Accepted on OK.
    virtual int runDialog(QDialog& dialog) = 0;
};

// The real modal QMessageBox, QFileDialog (never a native one) and QPrintDialog.
class ModalDialogs final : public Dialogs {
public:
    void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) override;
    QMessageBox::StandardButton ask(QWidget* parent, const Question& question) override;
    QString saveFileName(QWidget* parent, const FileRequest& request) override;
    QString openFileName(QWidget* parent, const FileRequest& request) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    int runDialog(QDialog& dialog) override;
};

// The dialogs in use in this process: the installed ones, else ModalDialogs.
Dialogs& CurrentDialogs();

// Installs `dialogs` for the whole process (nullptr: the real ones again)
// and returns what was installed before. The caller keeps ownership.
Dialogs* InstallDialogs(Dialogs* dialogs);

} // namespace fenban
