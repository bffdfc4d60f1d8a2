#include "fonts.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QList>
#include <QtEndian>

namespace velmora {

namespace {

const char* const tahoma = "Tahoma";
const char* const msSansSerif = "MS Sans Serif";

struct Loaded
{
    bool done = false;
    QString folder;
    QList<int> ids;
};

Loaded& loaded()
{
    static Loaded l;
    return l;
}

bool hasFamily(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// Three lines of text and the width each takes in a face the screens were
// laid out for: lower case, capitals, and digits with punctuation and the
// accented vowels of Italian. A stand-in face must set each of them no wider.
const QString samples[] = {
    QStringLiteral("abcdefghijklmnopqrstuvwxyz"),
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"),
    QStringLiteral("0123456789 .,:;'\"()-/*@\u00e0\u00e8\u00e9\u00ec\u00f2\u00f9"),
};

struct Face
{
    const char* family;
    int pixelSize;
    bool bold;
    double widths[3]; // of the samples, in pixels
    double height;    // of a line, in pixels; 0 when the text has room to grow down
};

// Measured on the faces of fonts-wine. Tahoma's widths grow with the pixel
// size (at 10 pixels they are 10/13 of these within a tenth of a pixel).
// Tahoma's line is as high as its pixel size.
const Face tahoma13{tahoma, 13, false, {164.9, 205.3, 175.4}, 13};
const Face tahoma13Bold{tahoma, 13, true, {192.5, 233.9, 201.7}, 13};
const Face msSansSerif11{msSansSerif, 11, false, {135.0, 188.0, 143.0}, 13};

// `lines`: whether the text sits in rows laid out for the face's line
// height (edits, the status bar), so a stand-in must not be higher either.
Face tahomaAt(int pixelSize, bool bold, bool lines)
{
    Face f = bold ? tahoma13Bold : tahoma13;
    for (double& w : f.widths)
        w = w * pixelSize / 13.0;
    f.pixelSize = pixelSize;
    f.height = lines ? pixelSize : 0;
    return f;
}

// The narrowest sans faces a Debian desktop may have, best first; the
// system's default sans face when none is there.
QString standInFamily()
{
    for (const char* f : {"Liberation Sans Narrow", "Arial Narrow", "DejaVu Sans Condensed", "Liberation Sans"})
        if (hasFamily(QString::fromLatin1(f)))
            return QString::fromLatin1(f);
    QFont sans;
    sans.setStyleHint(QFont::SansSerif);
    return QFontInfo(sans).family();
}

// `face` itself when available; otherwise the stand-in face at the largest
// pixel size (not above the face's own) that sets every sample no wider.
QFont fontFor(const Face& face)
{
    ensureProgramFonts();
    const QString family = QString::fromLatin1(face.family);
    if (hasFamily(family)) {
        QFont f(family);
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(face.pixelSize);
        f.setBold(face.bold);
        return f;
    }
    QFont f(standInFamily());
    f.setStyleHint(QFont::SansSerif);
    f.setBold(face.bold);
    for (int px = face.pixelSize; px >= 6; --px) {
        f.setPixelSize(px);
        const QFontMetricsF fm(f);
        bool fits = true;
        for (int i = 0; i < 3 && fits; ++i)
            fits = fm.horizontalAdvance(samples[i]) <= face.widths[i];
        if (face.height > 0 && fm.height() > face.height + 0.5)
            fits = false;
        if (fits)
            break;
    }
    return f;
}

// fonts-wine's tahomabd.ttf has Tahoma Bold's advances but the strokes of the
// regular face: loaded as it is, every bold caption was painted as wide as
// bold and as thin as regular text. Told that the face is semibold (its
// weight class 600, the bold flags of its style cleared), the font engine
// thickens its strokes itself whenever bold is asked for, as it does for any
// face lighter than bold; regular text still gets tahoma.ttf, the nearer
// weight. Returns the data unchanged when it is not a TrueType face.
QByteArray strokedAsBold(QByteArray face)
{
    const auto u16 = [&](qsizetype at) { return qFromBigEndian<quint16>(face.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromBigEndian<quint32>(face.constData() + at); };
    const auto set16 = [&](qsizetype at, quint16 v) { qToBigEndian<quint16>(v, face.data() + at); };
    if (face.size() < 12)
        return face;
    const int tables = u16(4);
    if (face.size() < 12 + 16 * qsizetype(tables))
        return face;
    for (int i = 0; i < tables; ++i) {
        const qsizetype record = 12 + 16 * qsizetype(i);
        const QByteArray tag = face.mid(record, 4);
        const qsizetype at = u32(record + 8);
        const qsizetype length = u32(record + 12);
        if (at + length > face.size())
            return face;
        if (tag == "OS/2" && length >= 64) {
            set16(at + 4, 600);                            // usWeightClass: semibold
            set16(at + 62, u16(at + 62) & ~quint16(0x20)); // fsSelection: not BOLD
        } else if (tag == "head" && length >= 46) {
            set16(at + 44, u16(at + 44) & ~quint16(0x01)); // macStyle: not bold
        }
    }
    return face;
}

int addFace(const QString& path, bool bold)
{
    if (!bold)
        return QFontDatabase::addApplicationFont(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return QFontDatabase::addApplicationFontFromData(strokedAsBold(f.readAll()));
}

} // namespace

QString defaultFontFolder()
{
    return QStringLiteral("/usr/share/wine/fonts");
}

bool loadProgramFonts(const QString& folder)
{
    const QString dir = folder.isEmpty() ? defaultFontFolder() : folder;
    Loaded& l = loaded();
    if (!l.done || l.folder != dir) {
        for (int id : std::as_const(l.ids))
            QFontDatabase::removeApplicationFont(id);
        l.ids.clear();
        for (const char* file : {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"}) {
            const QString name = QString::fromLatin1(file);
            const int id = addFace(QDir(dir).filePath(name), name == QLatin1String("tahomabd.ttf"));
            if (id >= 0)
                l.ids << id;
        }
        l.done = true;
        l.folder = dir;
    }
    return hasFamily(QString::fromLatin1(tahoma)) && hasFamily(QString::fromLatin1(msSansSerif));
}

void ensureProgramFonts()
{
    if (!loaded().done)
        loadProgramFonts();
}

bool tahomaAvailable()
{
    ensureProgramFonts();
    return hasFamily(QString::fromLatin1(tahoma));
}

QFont tahomaFont(int pixelSize, bool bold)
{
    return fontFor(tahomaAt(pixelSize, bold, true));
}

QFont windowFont(bool bold)
{
    return tahomaFont(13, bold);
}

QFont formFont()
{
    return fontFor(msSansSerif11);
}

QFont speedButtonFont()
{
    // Room enough below the glyph: only the width counts.
    return fontFor(tahomaAt(10, false, false));
}

} // namespace velmora
