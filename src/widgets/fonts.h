#pragma once
// The faces the screens are drawn with. The windows were laid out, pixel by
// pixel, for Tahoma at 13 pixels (the main window) and MS Sans Serif at 11
// pixels (the new-nursery form); any wider face cuts captions at those
// rectangles. Debian's fonts-wine ships faces with the same metrics, which
// are loaded into the program's own font database at start. Without them
// the screens get the narrowest sans face at hand, at the largest pixel size
// that sets text no wider than the missing face would, so that nothing laid
// out for it is cut.
#include <QFont>
#include <QString>

namespace velmora {

// Where Debian's fonts-wine puts its faces.
QString defaultFontFolder();

// Loads tahoma.ttf, tahomabd.ttf and ms_sans_serif.ttf from `folder` (the
// default folder when empty) into the application's font database. Once per
// folder: a call with another folder first drops the faces loaded before
// (tests use this to see the screens without them). Needs a QGuiApplication.
// fonts-wine's bold face carries the regular strokes: it is loaded so that
// bold text is painted with thickened strokes on its own advances.
// Returns whether Tahoma and MS Sans Serif are both available now, loaded or
// installed on the system.
bool loadProgramFonts(const QString& folder = QString());

// Loads the faces from the default folder unless some folder was loaded
// already; every window that sets one of the fonts below calls it, so a
// window is never drawn with fonts nobody asked to load.
void ensureProgramFonts();

// Whether the screens are drawn with Tahoma (else with the stand-in face).
bool tahomaAvailable();

// Tahoma at `pixelSize` pixels.
QFont tahomaFont(int pixelSize, bool bold = false);
// Tahoma at 13 pixels, the main window's font.
QFont windowFont(bool bold = false);
// MS Sans Serif at 11 pixels, the new-nursery form's font.
QFont formFont();
// The caption under a speed button's glyph: Tahoma at 10 pixels, so that
// the longest caption ("Esci utente") fits a 55-pixel button with the
// style's frame around it.
QFont speedButtonFont();

} // namespace velmora
