// The help page's details, readable on a small screen: below the two
// pictures the whole help text at its full height, so the page's own scroll
// bar reads it from heading to heading (the box at the top stays the short
// summary it was).
#include "app/Unit1.h"
#include "ui_Unit1.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QScrollArea>
#include <QTextBrowser>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace {

// Keeps the help text as wide as the page's view shows it, never narrower
// than the pictures above it; its height follows from the text.
class FollowViewWidth final : public QObject {
public:
    FollowViewWidth(QScrollArea& area, QTextBrowser& details, int least)
        : QObject(&details)
        , area_(area)
        , details_(details)
        , least_(least)
    {
        area.viewport()->installEventFilter(this);
    }

    void fit()
    {
        const int width = std::max(least_, area_.viewport()->width() - 2 * details_.x());
        if (details_.width() == width)
            return;
        details_.resize(width, details_.height());
        details_.document()->setTextWidth(width - 2 * details_.frameWidth());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            fit();
        return QObject::eventFilter(watched, event);
    }

private:
    QScrollArea& area_;
    QTextBrowser& details_;
    const int least_;
};

} // namespace

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
    const int pageWidth = page->minimumWidth();
    const auto fit = [page, details, pageWidth](const QSizeF& size) {
        const int height = static_cast<int>(std::ceil(size.height())) + 2 * details->frameWidth();
        if (details->height() == height)
            return;
        details->resize(details->width(), height);
        const QSize grown(
            std::max(pageWidth, details->geometry().right() + 1 + details->x()), details->geometry().bottom() + 1 + 24);
        page->setMinimumSize(grown);
        page->resize(grown);
    };
    connect(details->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, details, fit);
    details->document()->setTextWidth(above.width() - 2 * details->frameWidth());
    fit(details->document()->size());
    (new FollowViewWidth(*ui->ScrollBox1, *details, above.width()))->fit();
}
