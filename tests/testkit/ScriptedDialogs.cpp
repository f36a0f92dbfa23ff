#include "ScriptedDialogs.h"

#include <QDialog>
#include <QFileInfo>
#include <QPrinter>

namespace fenban::testkit {

ScriptedDialogs::ScriptedDialogs()
    : previous_(InstallDialogs(this))
{
}

ScriptedDialogs::~ScriptedDialogs()
{
    InstallDialogs(previous_);
}

void ScriptedDialogs::clearAnswers()
{
    questionAnswers_.clear();
    fileAnswers_.clear();
    printAnswers_.clear();
    dialogAnswers_.clear();
}

void ScriptedDialogs::record(const SeenBox& box)
{
    if (onBox_)
        onBox_(box);
    boxes_.append(box);
}

void ScriptedDialogs::showMessage(QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    record({title, text, icon, QMessageBox::Ok, QMessageBox::Ok});
}

QMessageBox::StandardButton ScriptedDialogs::ask(QWidget*, const Question& question)
{
    QMessageBox::StandardButton answer = question.defaultButton;
    if (!questionAnswers_.isEmpty())
        answer = questionAnswers_.dequeue();
    else if (question.escapeButton != QMessageBox::NoButton)
        answer = question.escapeButton;
    else if (question.buttons.testFlag(QMessageBox::Cancel))
        answer = QMessageBox::Cancel;
    else if (question.buttons.testFlag(QMessageBox::No))
        answer = QMessageBox::No;
    record({question.title, question.text, question.icon, question.buttons, answer});
    return answer;
}

QString ScriptedDialogs::answerFileRequest(const FileRequest& request, bool save)
{
    QString answer = fileAnswers_.isEmpty() ? QString() : fileAnswers_.dequeue();
    if (save && !answer.isEmpty() && !request.defaultSuffix.isEmpty() && !QFileInfo(answer).fileName().contains(u'.'))
        answer += u'.' + request.defaultSuffix;
    fileRequests_.append({request, save, answer});
    return answer;
}

QString ScriptedDialogs::saveFileName(QWidget*, const FileRequest& request)
{
    return answerFileRequest(request, true);
}

QString ScriptedDialogs::openFileName(QWidget*, const FileRequest& request)
{
    return answerFileRequest(request, false);
}

bool ScriptedDialogs::choosePrinter(QWidget*, QPrinter& printer)
{
    const QString answer = printAnswers_.isEmpty() ? QString() : printAnswers_.dequeue();
    printRequests_.append({printer.docName(), printer.pageLayout(), answer});
    if (answer.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(answer);
    return true;
}

int ScriptedDialogs::runDialog(QDialog& dialog)
{
    dialogsShown_.append(dialog.objectName());
    if (dialogAnswers_.isEmpty())
        return QDialog::Rejected;
    return dialogAnswers_.dequeue()(dialog);
}

} // namespace fenban::testkit
