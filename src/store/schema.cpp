#include "schema.h"

namespace velmora::store {

namespace {

FieldDef autoInc() { return {QStringLiteral("Id"), FieldType::AutoInc, 0}; }
FieldDef integer(const char* n) { return {QString::fromLatin1(n), FieldType::Integer, 0}; }
FieldDef string(const char* n, int size) { return {QString::fromLatin1(n), FieldType::String, size}; }
FieldDef date(const char* n) { return {QString::fromLatin1(n), FieldType::Date, 0}; }
FieldDef boolean(const char* n) { return {QString::fromLatin1(n), FieldType::Boolean, 0}; }
FieldDef memo(const char* n) { return {QString::fromLatin1(n), FieldType::Memo, 0}; }

QList<TableDef> build()
{
    QList<TableDef> s;
    s.append({QStringLiteral("AnagNido"), QStringLiteral("AnagNido.db"),
              {autoInc(), string("Nome", 200), string("Indirizzo", 150), string("Cap", 5),
               string("Citta", 50), string("Provincia", 4), string("Telefono", 15), string("Fax", 15)},
              {{QStringLiteral("Nominativo"), {QStringLiteral("Nome")}}},
              {}});
    s.append({QStringLiteral("AnagEdu"), QStringLiteral("AnagEdu.db"),
              {autoInc(), integer("Id_Nido"), string("Nome", 15), string("Cognome", 15),
               string("Password", 10), boolean("Responsabile")},
              {{QStringLiteral("Cognome-Nome"), {QStringLiteral("Cognome"), QStringLiteral("Nome")}}},
              {{QStringLiteral("Id_Nido")}}});
    s.append({QStringLiteral("AnagBimbi"), QStringLiteral("AnagBimbi.DB"),
              {autoInc(), integer("Id_Nido"), string("Nome", 15), string("Cognome", 15),
               date("DataDiNascita"), string("Sesso", 1), memo("Note"), boolean("Frequenza")},
              {{QStringLiteral("Cognome-Nome"), {QStringLiteral("Cognome"), QStringLiteral("Nome")}},
               {QStringLiteral("Nome-Cognome"), {QStringLiteral("Nome"), QStringLiteral("Cognome")}}},
              {{QStringLiteral("Id_Nido")}}});
    s.append({QStringLiteral("Valutaz"), QStringLiteral("Valutaz.db"),
              {autoInc(), integer("Id_Bimbo"), date("DataValutazione"), integer("MesiBimbo"), boolean("Sel")},
              {},
              {{QStringLiteral("Id_Bimbo")}}});
    s.append({QStringLiteral("Ruoli"), QStringLiteral("Ruoli.db"),
              {autoInc(), string("Ruolo", 30)},
              {},
              {}});
    s.append({QStringLiteral("Aree"), QStringLiteral("Aree.db"),
              {autoInc(), string("Area", 50), string("AreaBreve", 2)},
              {},
              {}});
    s.append({QStringLiteral("Personale"), QStringLiteral("Personale.db"),
              {autoInc(), integer("Id_Educatrice"), integer("Id_Valutazione"), integer("Id_Ruolo"), memo("Note")},
              {},
              {{QStringLiteral("Id_Valutazione")}, {QStringLiteral("Id_Educatrice")}}});
    s.append({QStringLiteral("FasiVal"), QStringLiteral("FasiVal.db"),
              {autoInc(), integer("Id_Valutazione"), integer("Id_Area"), integer("NumFase"),
               string("Si", 50), string("No", 50), string("NonSo", 50), string("AVolte", 50)},
              {{QStringLiteral("NumeroFase"), {QStringLiteral("NumFase")}}},
              {{QStringLiteral("Id_Valutazione"), QStringLiteral("Id_Area"), QStringLiteral("NumFase")},
               {QStringLiteral("Id_Area"), QStringLiteral("NumFase")}}});
    return s;
}

QString columnType(const FieldDef& f)
{
    switch (f.type) {
    case FieldType::AutoInc: return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::Integer: return QStringLiteral("INTEGER");
    case FieldType::String: return QStringLiteral("VARCHAR(%1)").arg(f.size);
    case FieldType::Date: return QStringLiteral("DATE");
    case FieldType::Boolean: return QStringLiteral("BOOLEAN");
    case FieldType::Memo: return QStringLiteral("TEXT");
    case FieldType::Float: return QStringLiteral("REAL");
    }
    return QString();
}

} // namespace

QString quoted(const QString& identifier)
{
    QString q = identifier;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString columnSql(const FieldDef& field)
{
    return quoted(field.name) + QLatin1Char(' ') + columnType(field);
}

int TableDef::fieldIndex(const QString& n) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(n, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const IndexDef* TableDef::index(const QString& n) const
{
    for (const IndexDef& ix : indexes)
        if (ix.name.compare(n, Qt::CaseInsensitive) == 0)
            return &ix;
    return nullptr;
}

const QList<TableDef>& schema()
{
    static const QList<TableDef> s = build();
    return s;
}

const TableDef* tableForFile(const QString& fileName)
{
    for (const TableDef& t : schema())
        if (t.fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

const TableDef* tableNamed(const QString& name)
{
    for (const TableDef& t : schema())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString selectionIndexStatement()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS \"ix_Valutaz_Sel\" ON \"Valutaz\" (\"Sel\") WHERE \"Sel\" IS NOT 0");
}

const QList<SchemaStep>& schemaSteps()
{
    static const QList<SchemaStep> steps = {
        // Release 1.12: whether a child still attends the nursery.
        {1, QStringLiteral("AnagBimbi"), SchemaStep::Kind::AddField, QStringLiteral("Frequenza"), QString(), true},
        // Clearing the selection marks at login visits the marked evaluations only.
        {2, QStringLiteral("Valutaz"), SchemaStep::Kind::AddIndex, QStringLiteral("ix_Valutaz_Sel"),
         selectionIndexStatement(), false},
    };
    return steps;
}

int currentSchemaVersion()
{
    return schemaSteps().isEmpty() ? 0 : schemaSteps().constLast().version;
}

QList<FieldDef> fieldsAt(const TableDef& def, int version)
{
    QList<FieldDef> fields = def.fields;
    for (const SchemaStep& step : schemaSteps()) {
        if (step.version <= version || step.kind != SchemaStep::Kind::AddField
            || step.table.compare(def.name, Qt::CaseInsensitive) != 0)
            continue;
        fields.removeIf([&](const FieldDef& f) { return f.name.compare(step.object, Qt::CaseInsensitive) == 0; });
    }
    return fields;
}

QStringList createStatements(const TableDef& def, int version)
{
    if (version < 0)
        version = currentSchemaVersion();
    QStringList cols;
    for (const FieldDef& f : fieldsAt(def, version))
        cols << columnSql(f);
    QStringList sql;
    sql << QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(def.name), cols.join(QLatin1String(", ")));
    // Named indexes order text without regard to case, as the lists show them.
    for (const IndexDef& ix : def.indexes) {
        QStringList parts;
        for (const QString& f : ix.fields) {
            const FieldDef& fd = def.fields[def.fieldIndex(f)];
            parts << quoted(f) + (fd.type == FieldType::String ? QStringLiteral(" COLLATE NOCASE") : QString());
        }
        sql << QStringLiteral("CREATE INDEX %1 ON %2 (%3)").arg(quoted(ix.name), quoted(def.name), parts.join(QLatin1String(", ")));
    }
    for (const QStringList& key : def.keyIndexes) {
        QStringList parts;
        for (const QString& f : key)
            parts << quoted(f);
        sql << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                   .arg(quoted(QStringLiteral("ix_%1_%2").arg(def.name, key.join(QLatin1Char('_')))),
                        quoted(def.name), parts.join(QLatin1String(", ")));
    }
    for (const SchemaStep& step : schemaSteps())
        if (step.version <= version && step.kind == SchemaStep::Kind::AddIndex
            && step.table.compare(def.name, Qt::CaseInsensitive) == 0)
            sql << step.sql;
    sql << QStringLiteral("PRAGMA user_version = %1").arg(version);
    return sql;
}

} // namespace velmora::store
