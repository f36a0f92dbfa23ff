#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace fenban {

// The wait cursor while a handler works: a paste, an opened file, division
// or balancing of a large grade, or a copy of a huge grid, takes longer than
// half a second. Gone before any box.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace fenban
