#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

// Runs an action that may open modal message boxes, records each box and
// presses its default button, so tests never block on one.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// A save dialog met on the way is answered with `saveAs`, or cancelled when
// that is empty; `dialogs` counts them.
inline QList<SeenBox> RunClosingBoxes(
    const std::function<void()>& action, const QString& saveAs = {}, QList<QFileDialog*>* dialogs = nullptr)
{
    QList<SeenBox> seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.append({box->windowTitle(), box->text(), box->icon()});
            box->done(QMessageBox::Ok);
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            if (dialogs != nullptr)
                dialogs->append(dialog);
            if (saveAs.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(saveAs);
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog checks the name
            }
        }
    });
    poll.start();
    action();
    poll.stop();
    return seen;
}
