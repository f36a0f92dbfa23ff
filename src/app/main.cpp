#include "app/Product.h"
#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(fenban::ProductName());
    TForm1 window;
    window.show();
    return QApplication::exec();
}
