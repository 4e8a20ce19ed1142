#include "skin/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

namespace tunelix::skin {

void showErrorBox(QWidget *owner, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace tunelix::skin
