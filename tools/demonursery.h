#pragma once
// A small demonstration nursery, "Nido d'infanzia Il Girasole": educators
// Rossi (responsible) and Verdi, both with the password "pw"; three
// attending children, Bianchi with three evaluations, Esposito and Ferrari
// with one; each evaluation with its two educators and, in every area, a
// few phases answered "Si" up to a last one answered in part (some "Non
// so"). velmora-sample-prints and velmora-screens lay it.
#include <QString>

namespace velmora::tools {

// Lays a new data folder at `db` (refused when it exists) and fills it.
// Returns an Italian description of what went wrong, empty on success.
QString layDemoNursery(const QString& db);

} // namespace velmora::tools
