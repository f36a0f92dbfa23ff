#pragma once

#include <QApplication>
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

inline QList<SeenBox> RunClosingBoxes(const std::function<void()>& action)
{
    QList<SeenBox> seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        seen.append({box->windowTitle(), box->text(), box->icon()});
        box->done(QMessageBox::Ok);
    });
    poll.start();
    action();
    poll.stop();
    return seen;
}
