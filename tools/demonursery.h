#pragma once
// A small demonstration nursery, "Nido d'infanzia Il Girasole": educators
// Rossi (responsible) and Verdi, both with the password "pw"; three
// attending children, Bianchi with three evaluations, Esposito and Ferrari
// with one; each evaluation with its two educators and, in every area, a
// few phases answered "Si" up to a last one answered in part (some "Non
// so"). velmora-sample-prints and velmora-screens lay it.
#include "datafolder.h"

#include <QList>
#include <QString>
#include <QVariantMap>

namespace velmora::tools {

// A data folder filled record by record through the table layer.
struct Folder
{
    store::DataFolder df;
    explicit Folder(const QString& path) : df(path) {}

    // Appends a record to `file` and returns its Id.
    int add(const QString& file, const QVariantMap& values);
    // The Ids of `file`'s records, ascending.
    QList<int> ids(const QString& file);
};

// Phases `from` to `to` of one area of an evaluation: every item "Si" up to
// the last phase, which is answered in part ("Non so" in two items when
// `nonSo`); the answer lists are written by the program's own rules.
void phases(Folder& f, int evaluation, int area, int from, int to, bool nonSo);

// Lays a new data folder at `db` (refused when it exists) and fills it.
// Returns an Italian description of what went wrong, empty on success.
QString layDemoNursery(const QString& db);

} // namespace velmora::tools
