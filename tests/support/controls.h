#pragma once
// A test reaches a screen's controls by the object name each one carries,
// as the screens' members are their own. `control<T>(root, "CB_Area")` is
// the one child of `root` named so; a name that is missing, found more than
// once under `root` (ask a box that holds only one), or that names an object
// of another type ends the test at once with a message naming the control,
// before anything could run on a control that is not there.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>

template <typename T>
T* control(const QObject* root, const QString& wanted)
{
    const QByteArray nameBytes = wanted.toLatin1();
    const char* name = nameBytes.constData();
    if (!root)
        qFatal("control %s: no object to look under", name);
    const QString where = root->objectName();
    const QList<QObject*> named = root->findChildren<QObject*>(wanted);
    if (named.isEmpty())
        qFatal("control %s: no child of %s has that name", name, qPrintable(where));
    if (named.size() > 1)
        qFatal("control %s: %d children of %s have that name; look under a box that holds only one", name,
               int(named.size()), qPrintable(where));
    T* found = dynamic_cast<T*>(named.first());
    if (!found)
        qFatal("control %s under %s is a %s, not a %s", name, qPrintable(where),
               named.first()->metaObject()->className(), T::staticMetaObject.className());
    return found;
}

template <typename T>
T* control(const QObject* root, const char* name)
{
    return control<T>(root, QString::fromLatin1(name));
}
