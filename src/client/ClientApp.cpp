#include "client/ClientApp.h"

#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/MainFrm.h"
#include "platform/SingleInstance.h"
#include "skin/ErrorBox.h"

#include <QApplication>

namespace tunelix::client {

int runClient(const ProgramFolder &folder)
{
    SingleInstance instance;
    if (instance.alreadyRunning())
        return 0;

    ClientContext context(folder);
    catalogue::TTxDataModule data(folder.catalogueDatabase());
    TmainFrm mainFrm(context, data);

    QObject::connect(&instance, &SingleInstance::restoreRequested, &mainFrm, [&mainFrm] {
        mainFrm.showNormal();
        mainFrm.raise();
        mainFrm.activateWindow();
    });

    mainFrm.show();
    skin::runHandler(&mainFrm, [&] { mainFrm.FormCreate(); });
    return QApplication::exec();
}

} // namespace tunelix::client
