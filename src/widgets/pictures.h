#pragma once
// The pictures of the windows, drawn by the program itself (no picture
// files), in the colours of the program's icon.
#include <QPixmap>
#include <QSize>

namespace velmora {

// The picture at the left of the access panel: a tile like the program's
// icon with the three building blocks "A", "B", "C" climbing as steps, a
// child standing on the highest one, the blue growth line rising over them
// and a sun. Drawn on a 200 × 300 grid and scaled to `size`, at the device
// pixel ratio `ratio` (crisp on a high-resolution screen).
QPixmap accessPicture(const QSize& size, qreal ratio = 1.0);

} // namespace velmora
