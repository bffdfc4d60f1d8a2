#pragma once
// The glyphs of the speed buttons, drawn by the program itself (no picture
// files): each is a small drawing on a 24 × 24 grid, painted at the size
// asked for.
#include <QIcon>
#include <QPen>

namespace velmora {

enum class Glyph {
    Accedi,     // a green arrow going in at an open door
    Esci,       // a red arrow leaving an open door
    EsciUtente, // an educator with a red arrow leaving
    About,      // a blue disc with an "i"
    Confronto,  // a chart with two profiles
    Profili,    // a chart with one profile and its points
    Nuovo,      // a page with a green plus
    Annulla,    // a red disc with a cross
    Conferma,   // a green disc with a tick
    Scheda,     // a printer with a written page
    Grafico,    // a printer with a chart on its page
    Torna,      // a blue arrow turning back
};

// The glyph at `size` pixels square.
QPixmap glyphPixmap(Glyph glyph, int size);
// The glyph at 16, 24, 32 and 48 pixels (Qt pales it for a disabled
// button).
QIcon glyphIcon(Glyph glyph);

// The pen of the program's drawings: round caps and joins.
QPen roundPen(const QColor& colour, double width);

} // namespace velmora
