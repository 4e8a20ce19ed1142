#include "kelvox/UpdateFrm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvox"));
    tunelix::kelvox::TUpdateFrm frm;
    frm.show();
    return QApplication::exec();
}
