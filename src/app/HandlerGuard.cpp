#include "app/HandlerGuard.h"

#include "app/Product.h"

#include <QMessageBox>

namespace fenban {

QString WithFullStop(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowFailure(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, ProductName(), WithFullStop(message), QMessageBox::Ok, parent);
    box.exec();
}

} // namespace fenban
