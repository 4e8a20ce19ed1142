#pragma once

namespace tunelix::client {

class PlayControl;
class TSongInfoFrm;
class TmainFrm;

// What the client's entry does to join playback to the main window, in two steps of
// the creation order. GUI thread.

// Before the main window's set-up: PlayControl reaches the auto-download button, the
// "Playing: " label and the status popup; the window's playback hooks (create and free
// ThePlayer, PlayCurrentFile, StopPlaying) reach PlayControl. Both must outlive their use.
void connectPlayControl(PlayControl &control, TmainFrm &mainFrm);

// After the song window is created: its set-up runs (an error goes to the error box),
// closing it refreshes the catalogue, and the window's double-click shows it with
// its timer on.
void connectSongWindow(TSongInfoFrm &songInfoFrm, TmainFrm &mainFrm);

} // namespace tunelix::client
