#include "skin/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

namespace tunelix::skin {

namespace {

void messageBox(QWidget *owner, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok, owner);
    box.exec();
}

ErrorHandler &currentHandler()
{
    static ErrorHandler handler = messageBox;
    return handler;
}

} // namespace

void showErrorBox(QWidget *owner, const QString &message) { currentHandler()(owner, message); }

ErrorHandler setErrorHandler(ErrorHandler handler)
{
    ErrorHandler previous = std::move(currentHandler());
    currentHandler() = handler ? std::move(handler) : ErrorHandler(messageBox);
    return previous;
}

} // namespace tunelix::skin
