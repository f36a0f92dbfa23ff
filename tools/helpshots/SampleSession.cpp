#include "SampleSession.h"

#include "app/Unit1.h"

#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <limits>

namespace fenban::shots {

QWidget& SampleSession::window() const
{
    return window_;
}

void SampleSession::paste(const QString& table)
{
    testkit::Paste(window(), table);
}

void SampleSession::divide()
{
    testkit::Press(window(), "BitBtn2");
}

int SampleSession::balance(int maxPresses, int patience)
{
    const auto* total = control<QLineEdit>("Edit1");
    double lowest = std::numeric_limits<double>::max();
    int sinceLowest = 0;
    int presses = 0;
    while (presses < maxPresses && sinceLowest < patience) {
        testkit::Press(window(), "Button4");
        ++presses;
        bool isNumber = false;
        const double now = total->text().toDouble(&isNumber);
        if (!isNumber)
            break; // nothing was exchanged
        sinceLowest = now < lowest ? 0 : sinceLowest + 1;
        lowest = std::min(lowest, now);
    }
    return presses;
}

void SampleSession::balanceAll()
{
    testkit::Press(window(), "btnBalanceAll");
}

void SampleSession::listEveryone()
{
    auto* tree = control<QTreeWidget>("trvClassList");
    tree->setCurrentItem(nullptr);
    tree->setCurrentItem(tree->topLevelItem(0));
}

void SampleSession::showTab(const char* pageName)
{
    control<QTabWidget>("PageControl1")->setCurrentWidget(control(pageName));
    window_.settleBalanceReport(); // the band figure as it stands, not 计算中…
}

QString ReadSampleGrade(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the sample grade %s", qPrintable(path));
    return QString::fromUtf8(file.readAll());
}

} // namespace fenban::shots
