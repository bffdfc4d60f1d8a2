#pragma once

// Qt Test helper for ScriptedDialogs, kept apart so that the library itself
// does not depend on QtTest.

#include "scripteddialogs.h"

#include <QTest>

namespace velmora {

// Names the kind of a shown box in the messages of QCOMPARE.
inline char* toString(ScriptedDialogs::Shown::Kind kind)
{
    return qstrdup(qPrintable(ScriptedDialogs::kindName(kind)));
}

} // namespace velmora

// Fails the current test unless every box matched the script and every
// script entry was used; the message lists what went wrong.
#define VERIFY_DIALOGS(d) \
    QVERIFY2((d).problems().isEmpty(), qPrintable((d).problems().join(QLatin1Char('\n'))))
