#include "client/song/PlaybackWiring.h"

#include "client/MainFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "client/song/PlayControl.h"
#include "client/song/SongInfoFrm.h"
#include "skin/CheckPictureButton.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"

namespace tunelix::client {

void connectPlayControl(PlayControl &control, TmainFrm &mainFrm)
{
    control.isAutoDownloadChecked = [&mainFrm] { return mainFrm.seBtnAutoDownload->isChecked(); };
    // Checking it runs its handler, which switches automatic download on.
    control.checkAutoDownload = [&mainFrm] { mainFrm.seBtnAutoDownload->setChecked(true); };
    control.setPlayFileNameLabel = [&mainFrm](const QString &text) { mainFrm.seXLbl_PlayFileName->setText(text); };
    control.setStatusPlayFileName = [&mainFrm](const QString &name) {
        if (TRightBtmMsgDlgFrm *popup = mainFrm.statusPopup())
            popup->setPlayFileName(name);
    };
    mainFrm.hooks.createPlayer = [&control] { return control.createPlayer(); };
    mainFrm.hooks.PlayCurrentFile = [&control] { control.PlayCurrentFile(); };
    mainFrm.hooks.StopPlaying = [&control] { control.StopPlaying(); };
    mainFrm.hooks.freePlayer = [&control] { control.freePlayer(); };
}

void connectSongWindow(TSongInfoFrm &songInfoFrm, TmainFrm &mainFrm)
{
    songInfoFrm.RefreshCatalogue = [&mainFrm] { mainFrm.RefreshCatalogue(); };
    skin::runHandler(&songInfoFrm, [&] { songInfoFrm.FormCreate(); });
    mainFrm.hooks.showSongInfo = [&songInfoFrm] {
        songInfoFrm.show();
        songInfoFrm.Timer1.start();
    };
}

} // namespace tunelix::client
