#pragma once

#include "playback/PlayTime.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>

namespace tunelix::client {

// The song window's arithmetic, free of widgets so that tests call it directly.

// Four 16-bit numbers from "a,b,c,d": the integers before the first, second and third
// comma and the rest after the third. Empty text, a missing comma, a part that is not
// an integer or does not fit 16 bits: four zeros.
std::array<std::int16_t, 4> ParseSmallRect(const QString &text);

// The integer `text` denotes, or `fallback` when it is empty or not an integer.
int StrToIntOr(const QString &text, int fallback);

// The slider counts tenths of a second in its 16-bit range. A stream longer than
// 3276.7 s would not fit: the slider then keeps its full range (32767) and its
// position is scaled to the stream's length, so it still runs from start to end.
inline constexpr int kSliderLimit = 32767;
int sliderMaximum(std::uint32_t lengthMs);
int sliderPosition(std::uint32_t positionMs, std::uint32_t lengthMs);

// "mm:ss" of a position: minutes and seconds of its breakdown, hours not shown.
QString timeText(const playback::TPlayTime &time);

// The whole second a press at `x` on a slider `width` pixels wide seeks to in a stream
// of `lengthSec` seconds (rounded down; presses outside the slider count as its ends).
std::uint32_t seekTargetSecond(int x, int width, std::uint32_t lengthSec);

// Where the song window goes when shown: over the main window's middle band, as wide
// as it; centred in the work area (the desktop without the task bar, in screen
// coordinates) when its right or bottom edge would leave it.
QRect songWindowPlacement(const QRect &mainWindow, int height, const QRect &workArea);

// Save to: copies the whole file at `source` to `target`, written beside the target
// and renamed into place, so that the target is never left half-written. A source that
// cannot be read throws std::runtime_error naming it (nothing is written); a target
// that cannot be written gives false and leaves nothing behind.
bool saveRingCopy(const QString &source, const QString &target);

} // namespace tunelix::client
