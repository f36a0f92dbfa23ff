#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

class QFont;
class QPainter;

namespace fenban::shots {

// One numbered step drawn over a screenshot: a bubble with the number and
// the text, and a leader line from the bubble to the control it is about.
struct Callout {
    int number = 0;
    QString text;
    QRect bubble; // the text is wrapped inside; the height grows to fit
    QPoint target; // where the leader line ends, on the control
    bool leader = true;
};

// The font of the call-outs: Noto Sans CJK SC at the given pixel size.
QFont CalloutFont(int pixelSize, bool bold = false);

// A numbered disc centred on centre.
void DrawNumber(QPainter& painter, QPoint centre, int number);

// A rounded frame around a control, to show what a step is about.
void DrawRing(QPainter& painter, const QRect& control);

// Draws the bubble and its leader line; returns the bubble as drawn.
QRect DrawCallout(QPainter& painter, const Callout& callout);

// Pales a region, so that call-outs over it stand out.
void Pale(QPainter& painter, const QRect& region);

} // namespace fenban::shots
