#include "app/HandlerGuard.h"

#include "app/Dialogs.h"
#include "app/Product.h"

namespace fenban {

QString WithFullStop(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString ShortenedForBox(const QString& message)
{
    if (message.size() <= LongestBoxText)
        return message;
    constexpr qsizetype tail = LongestBoxText / 3;
    qsizetype head = LongestBoxText - tail - 1;
    qsizetype tailStart = message.size() - tail;
    // Never cut a surrogate pair in two.
    if (message[head - 1].isHighSurrogate())
        --head;
    if (message[tailStart].isLowSurrogate())
        ++tailStart;
    return message.left(head) + QChar(0x2026) + message.mid(tailStart);
}

void ShowFailure(QWidget* parent, const QString& message)
{
    CurrentDialogs().showMessage(parent, QMessageBox::Critical, ProductName(), ShortenedForBox(WithFullStop(message)));
}

} // namespace fenban
