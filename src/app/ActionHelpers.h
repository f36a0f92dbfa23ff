#pragma once

// What the menus' handlers share: a division to export, and a file's failure told.
#include "app/BusyCursor.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "common/Failure.h"
#include "engine/DivisionState.h"

#include <QWidget>
#include <algorithm>
#include <optional>
#include <utility>

namespace fenban {

// A division exists once a class list holds a student (编班 or a hand move).
inline bool HasDivision(const DivisionState& state)
{
    return std::any_of(
        state.FClasses.begin(), state.FClasses.end(), [](const TStudentList& list) { return !list.empty(); });
}

// A file's failure (a table that cannot be read, a file that cannot be
// written) is told in a warning box of its own, its message as written.
template <class Work> bool ToldFailure(QWidget* parent, Work&& work)
{
    std::optional<QString> message;
    {
        const BusyCursor busy;
        try {
            std::forward<Work>(work)();
        } catch (const Failure& failure) {
            message = QString::fromUtf8(failure.what());
        }
    }
    if (message)
        CurrentDialogs().showMessage(parent, QMessageBox::Warning, ProductName(), ShortenedForBox(*message));
    return message.has_value();
}

inline void TellNoDivision(QWidget* parent)
{
    CurrentDialogs().showMessage(parent, QMessageBox::Information, ProductName(), QStringLiteral("请先编班。"));
}

} // namespace fenban
