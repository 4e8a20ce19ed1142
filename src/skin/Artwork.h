#pragma once

#include <QFont>
#include <QPixmap>
#include <QString>

namespace tunelix::skin {

// A picture of the programs' built-in artwork by its base name ("btnClose-normal"),
// from the resource ":/artwork/". Where the screen is high-density and a twice-size
// drawing ("name@2x.png") exists, that one is taken and marked with its pixel ratio,
// so it paints at the design size and stays crisp. A missing name gives a null pixmap.
// GUI thread only.
QPixmap artwork(const QString &name);

// The windows' font: a CJK-capable sans serif of the given pixel height.
QFont uiFont(int pixelHeight, bool bold = false);

} // namespace tunelix::skin
