#include "app/Unit1.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    TForm1 w;
    const bool found = w.findChild<QPushButton*>("BitBtn1") && w.findChild<QTableView*>("StrGrid");
    std::puts(found ? "consumer: window made, controls found" : "consumer: controls missing");
    return found ? 0 : 1;
}
