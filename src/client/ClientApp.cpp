#include "client/ClientApp.h"

#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/CopyrightInfoFrm.h"
#include "client/DownloadWiring.h"
#include "client/MainFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "client/song/PlayControl.h"
#include "client/song/PlaybackWiring.h"
#include "client/song/SongInfoFrm.h"
#include "platform/SingleInstance.h"
#include "skin/BaseFrm.h"
#include "skin/ErrorBox.h"

#include <QApplication>

namespace tunelix::client {

int runClient(const ProgramFolder &folder)
{
    SingleInstance instance;
    if (instance.alreadyRunning())
        return 0;

    // The main window lives in the tray when minimised; closing the about window or a
    // popup must not end the client.
    QApplication::setQuitOnLastWindowClosed(false);

    // The objects in their creation order; all live until the process ends.
    ClientContext context(folder);
    catalogue::TTxDataModule TxDataModule(folder.catalogueDatabase());

    TmainFrm mainFrm(context, TxDataModule);
    // >>> Playback and transfer engine: fill mainFrm.hooks here, before FormCreate.
    // PlayCurrentFile, StopPlaying and PlayerCallback; ThePlayer lives in the context.
    PlayControl playControl(context, TxDataModule);
    connectPlayControl(playControl, mainFrm);
    // The download queue; destroyed before the window, it stops and joins the engine.
    DownloadWiring downloads(context, TxDataModule, mainFrm);
    downloads.install();
    // <<<
    skin::runHandler(&mainFrm, [&] { mainFrm.FormCreate(); });

    TRightBtmMsgDlgFrm RightBtmMsgDlgFrm(folder);
    mainFrm.setStatusPopup(&RightBtmMsgDlgFrm);
    // >>> Playback: the song info window TSongInfoFrm is created here.
    TSongInfoFrm SongInfoFrm(folder, context, TxDataModule, playControl, &mainFrm);
    connectSongWindow(SongInfoFrm, mainFrm);
    // <<<
    TCopyrightInfoFrm CopyrightInfoFrm(folder);
    mainFrm.setAboutWindow(&CopyrightInfoFrm);

    QObject::connect(&instance, &SingleInstance::restoreRequested, &mainFrm,
        [&mainFrm] { skin::runHandler(&mainFrm, [&] { mainFrm.ShowFrmExecute(nullptr); }); });

    // At the centre of the desktop when first shown.
    skin::moveToDesktopCentre(mainFrm);
    mainFrm.show();
    return QApplication::exec();
}

} // namespace tunelix::client
