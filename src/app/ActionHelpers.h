#pragma once

// What the menus' handlers share: a division to export, and a file's failure told.
#include "app/BusyCursor.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "common/Failure.h"
#include "document/PublicRun.h"
#include "engine/DivisionState.h"
#include "rules/RuleBuilder.h"

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

// A step's input it cannot take (DivisionInputError, RuleValueError) is told
// in a warning box, its message as written, and false returned; other
// failures go on to the handler's guard.
template <class Step> bool TookInput(QWidget* parent, Step&& step)
{
    const auto warn = [parent](const Failure& failure) {
        CurrentDialogs().showMessage(parent, QMessageBox::Warning, ProductName(), QString::fromUtf8(failure.what()));
    };
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const DivisionInputError& error) {
        warn(error);
    } catch (const RuleValueError& error) {
        warn(error);
    }
    return false;
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
