#pragma once

#include "app/Dialogs.h"

#include <QList>
#include <QPageLayout>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace fenban::testkit {

// A box as the window showed it, and the button that answered it (OK for a
// message).
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
};

// A file dialog the window asked for, and the name it got back (empty:
// cancelled).
struct SeenFileRequest {
    FileRequest request;
    bool save = true;
    QString answer;
};

// A print dialog the window asked for: the printer's document name and page
// layout as offered, and the answer (the PDF file printed into; empty:
// cancelled).
struct SeenPrintRequest {
    QString documentName;
    QPageLayout layout;
    QString answer;
};

// Dialogs answered from a script, installed for the object's lifetime (the
// ones installed before come back after it). Nothing is shown and nothing
// waits: every box is recorded and answered at once.
// - A message is answered with OK.
// - A question takes the next queued button; without one, its escape
//   button, else Cancel or No when offered, else its default button.
// - A file request takes the next queued name; without one (or with an
//   empty name) it is cancelled. Like QFileDialog, a save adds the default
//   suffix to a name without a dot.
// - A print dialog takes the next queued PDF file name: the printer then
//   prints into that file, as printing to a file does. Without one (or with
//   an empty name) it is cancelled.
// - One of the program's own dialogs goes to the next queued handler, which
//   fills it in as a user would and returns its result; without one it is
//   cancelled (QDialog::Rejected).
class ScriptedDialogs final : public Dialogs {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void answerQuestion(QMessageBox::StandardButton button) { questionAnswers_.enqueue(button); }
    void answerFile(const QString& fileName) { fileAnswers_.enqueue(fileName); }
    void answerPrint(const QString& pdfFile) { printAnswers_.enqueue(pdfFile); }
    void answerDialog(std::function<int(QDialog&)> handler) { dialogAnswers_.enqueue(std::move(handler)); }
    // Queued answers not asked for yet.
    qsizetype pendingAnswers() const
    {
        return questionAnswers_.size() + fileAnswers_.size() + printAnswers_.size() + dialogAnswers_.size();
    }
    void clearAnswers();

    // Every box and file request so far, oldest first.
    const QList<SeenBox>& boxes() const { return boxes_; }
    const QList<SeenFileRequest>& fileRequests() const { return fileRequests_; }
    const QList<SeenPrintRequest>& printRequests() const { return printRequests_; }
    // The objectNames of the program's own dialogs shown so far.
    const QStringList& dialogsShown() const { return dialogsShown_; }
    QList<SeenBox> takeBoxes() { return std::exchange(boxes_, {}); }
    QList<SeenFileRequest> takeFileRequests() { return std::exchange(fileRequests_, {}); }

    // Called as each box is shown, before it is answered (e.g. to look at
    // the cursor or the window at that moment).
    void setOnBox(std::function<void(const SeenBox&)> onBox) { onBox_ = std::move(onBox); }

    void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) override;
    QMessageBox::StandardButton ask(QWidget* parent, const Question& question) override;
    QString saveFileName(QWidget* parent, const FileRequest& request) override;
    QString openFileName(QWidget* parent, const FileRequest& request) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    int runDialog(QDialog& dialog) override;

private:
    void record(const SeenBox& box);
    QString answerFileRequest(const FileRequest& request, bool save);

    Dialogs* const previous_;
    QQueue<QMessageBox::StandardButton> questionAnswers_;
    QQueue<QString> fileAnswers_;
    QQueue<QString> printAnswers_;
    QQueue<std::function<int(QDialog&)>> dialogAnswers_;
    QStringList dialogsShown_;
    QList<SeenBox> boxes_;
    QList<SeenFileRequest> fileRequests_;
    QList<SeenPrintRequest> printRequests_;
    std::function<void(const SeenBox&)> onBox_;
};

} // namespace fenban::testkit
