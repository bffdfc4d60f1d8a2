#include "face.h"

#include <QFontDatabase>
#include <QStringList>

namespace velmora::print {

QString defaultFamily()
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* name : {"Tahoma", "Liberation Sans", "Arimo", "Arial", "DejaVu Sans Condensed"})
            if (installed.contains(QString::fromLatin1(name), Qt::CaseInsensitive))
                return QString::fromLatin1(name);
        return QStringLiteral("Tahoma"); // let the font matcher substitute
    }();
    return family;
}

} // namespace velmora::print
