#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tunelix::skin {

// The standard error box of both programs: the message of an error that left an
// event handler; the window stays as it was. GUI thread only.
void showErrorBox(QWidget *owner, const QString &message);

// Where error messages go. The default shows a modal message box; tests install a
// recorder so that no box waits for a click. Returns the handler it replaces.
using ErrorHandler = std::function<void(QWidget *owner, const QString &message)>;
ErrorHandler setErrorHandler(ErrorHandler handler);

// Runs a window event handler; an exception that leaves it goes to the error box.
template <typename F> void runHandler(QWidget *owner, F &&handler);

} // namespace tunelix::skin

#include <exception>

namespace tunelix::skin {
template <typename F> void runHandler(QWidget *owner, F &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        showErrorBox(owner, QString::fromUtf8(e.what()));
    }
}
} // namespace tunelix::skin
