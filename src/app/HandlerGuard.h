#pragma once

#include <QString>
#include <exception>
#include <new>
#include <utility>

class QWidget;

namespace fenban {

// The failure's text as the error box shows it: a full stop is appended when
// the last character's code is above that of ".".
QString WithFullStop(const QString& message);

// A message too long for a box (a failure naming a pasted megabyte cell takes
// seconds to lay out) keeps its first and last characters around "…"; a
// message of at most LongestBoxText characters is returned as it is.
inline constexpr qsizetype LongestBoxText = 300;
QString ShortenedForBox(const QString& message);

// The error box: product name as caption, error icon, one OK button; modal
// (through CurrentDialogs()).
void ShowFailure(QWidget* parent, const QString& message);

// Runs one event handler. A failure ends the handler where it stands (what
// it changed stays) and is shown in the error box; nothing is thrown on into
// Qt's event loop.
template <class Handler> void RunGuarded(QWidget* parent, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::bad_alloc&) {
        ShowFailure(parent, QStringLiteral("内存不足，操作没有完成"));
    } catch (const std::exception& failure) {
        ShowFailure(parent, QString::fromUtf8(failure.what()));
    } catch (...) {
        ShowFailure(parent, QStringLiteral("发生了未知错误，操作没有完成"));
    }
}

// A slot for connect(): calls the member handler through RunGuarded.
template <class Window, class... Args> auto Guarded(Window* window, void (Window::*handler)(Args...))
{
    return [window, handler](Args... args) { RunGuarded(window, [&] { (window->*handler)(args...); }); };
}

} // namespace fenban
