// The help page's details, readable on a small screen: below the two
// pictures the whole help text at its full height, so the page's own scroll
// bar reads it from heading to heading (the box at the top stays the short
// summary it was).
#include "app/Unit1.h"
#include "ui_Unit1.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBrowser>
#include <QUrl>
#include <cmath>

void TForm1::ShowHelpDetails()
{
    QWidget* const page = ui->ScrollBox1Contents;
    auto* details = new QTextBrowser(page);
    details->setObjectName(QStringLiteral("txtHelpDetails"));
    details->setOpenExternalLinks(true);
    details->setFrameShape(QFrame::NoFrame);
    details->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    details->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    details->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
    const QRect above = ui->Image2->geometry();
    details->setGeometry(above.left(), above.bottom() + 1 + 16, above.width(), above.height());
    // As tall as its text at the width it is shown in, whenever that is laid out.
    const auto fit = [page, details](const QSizeF& size) {
        const int height = static_cast<int>(std::ceil(size.height())) + 2 * details->frameWidth();
        if (details->height() == height)
            return;
        details->resize(details->width(), height);
        const QSize grown(page->width(), details->geometry().bottom() + 1 + 24);
        page->setMinimumSize(grown);
        page->resize(grown);
    };
    connect(details->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, details, fit);
    details->document()->setTextWidth(above.width() - 2 * details->frameWidth());
    fit(details->document()->size());
}
