#include "table.h"
#include "datafolder.h"
#include "errors.h"
#include "fieldtext.h"
#include "filter.h"

#include <QFileInfo>
#include <QLocale>
#include <QSqlError>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace velmora::store {

namespace {

// Whether two rows read from the file hold the same stored values; an unset
// value equals only an unset one.
bool sameStoredValues(const QVector<QVariant>& a, const QVector<QVariant>& b)
{
    for (qsizetype i = 0; i < a.size() && i < b.size(); ++i) {
        const bool nullA = a[i].isNull() || !a[i].isValid();
        const bool nullB = b[i].isNull() || !b[i].isValid();
        if (nullA != nullB || (!nullA && a[i] != b[i]))
            return false;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------- Field

QString Field::name() const { return m_table->m_fields[m_index].name; }
FieldType Field::type() const { return m_table->m_fields[m_index].type; }
FieldKind Field::kind() const { return m_table->m_fields[m_index].kind; }
int Field::size() const { return m_table->m_fields[m_index].size; }
QString Field::displayLabel() const
{
    const auto& f = m_table->m_fields[m_index];
    return f.label.isEmpty() ? f.name : f.label;
}

QVariant Field::value() const
{
    m_table->ensureCurrent();
    return (*m_table->m_cur)[m_index];
}

void Field::setValue(const QVariant& v)
{
    m_table->setValue(name(), v);
}

bool Field::isNull() const
{
    const QVariant v = value();
    return v.isNull() || !v.isValid();
}

QString Field::asString() const
{
    const QVariant v = value();
    if (v.isNull() || !v.isValid())
        return QString();
    switch (type()) {
    case FieldType::Date: return QLocale().toString(v.toDate(), QLocale::ShortFormat);
    case FieldType::Boolean: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Float: {
        QLocale l;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(v.toDouble(), 'g', 15);
    }
    default: return v.toString();
    }
}

int Field::asInteger() const
{
    const QVariant v = value();
    return v.isNull() ? 0 : v.toInt();
}

double Field::asFloat() const
{
    const QVariant v = value();
    return v.isNull() ? 0.0 : v.toDouble();
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    return !v.isNull() && v.toBool();
}

QDate Field::asDate() const
{
    const QVariant v = value();
    return v.isNull() ? QDate() : v.toDate();
}

// ---------------------------------------------------------------- Table

Table::Table(const QString& name, QObject* parent)
    : QObject(parent)
{
    setObjectName(name);
}

Table::~Table() = default;

void Table::setDataFolder(DataFolder* folder)
{
    if (isOpen())
        throw DbError(QStringLiteral("Impossibile cambiare la cartella di una tabella aperta."));
    if (folder != m_folder) {
        // Statements are written for the folder's engine.
        m_pageSqlKey.clear();
        m_compiledDef = nullptr;
    }
    m_folder = folder;
}

void Table::setTableName(const QString& fileName)
{
    if (isOpen())
        throw DbError(QStringLiteral("Impossibile cambiare il nome di una tabella aperta."));
    m_fileName = fileName;
    const TableDef* def = tableForFile(fileName);
    if (def != m_def) {
        m_def = def;
        resetFields();
    }
}

void Table::resetFields()
{
    m_fields.clear();
    m_stored = 0;
    if (!m_def)
        return;
    for (const FieldDef& f : m_def->fields) {
        FieldMeta m;
        m.name = f.name;
        m.type = f.type;
        m.size = f.size;
        m_fields.push_back(m);
    }
    m_stored = int(m_fields.size());
    m_buf = Values(fieldCount());
}

int Table::storedFieldCount() const { return m_stored; }

void Table::setReadOnly(bool readOnly)
{
    if (isOpen())
        throw DbError(QStringLiteral("Impossibile cambiare la modalità di una tabella aperta."));
    m_readOnly = readOnly;
}

void Table::requireBound() const
{
    if (!m_folder)
        throw DbError(QStringLiteral("La tabella \"%1\" non è collegata a una cartella dati.").arg(m_fileName));
    if (!m_def)
        throw DbError(QStringLiteral("\"%1\" non è una tabella conosciuta.").arg(m_fileName));
}

void Table::requireOpen() const
{
    if (m_state == State::Inactive)
        throw DbError(QStringLiteral("Operazione non consentita su una tabella chiusa (%1).").arg(objectName().isEmpty() ? m_fileName : objectName()));
}

void Table::open()
{
    if (isOpen())
        return;
    requireBound();
    m_db = m_folder->connection(m_fileName);
    if (!m_folder->isChecked(m_fileName)) {
        // The file must hold every stored field of the table. Columns are
        // only ever added, so a file is checked once per folder.
        QSqlQuery q(m_db);
        const auto ask = [&] {
            q.setForwardOnly(true);
            countStatements(server() ? 3 : 1); // a server's prepare, execute and deallocate
            return server()
                ? q.prepare(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                           "WHERE table_schema = current_schema() AND table_name = ?"))
                    && (q.addBindValue(m_def->name), q.exec())
                : q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(m_def->name)));
        };
        bool ok = ask();
        // The first statement after the server cut the connection of an
        // idle program: a read, made again on a new connection.
        if (!ok && m_folder->connectionLost(q.lastError())) {
            m_folder->reconnect();
            q = QSqlQuery(m_db);
            ok = ask();
        }
        if (!ok)
            throw m_folder->error(q.lastError(), m_fileName);
        const int nameColumn = server() ? 0 : 1;
        QSet<QString> cols;
        while (q.next())
            cols.insert(q.value(nameColumn).toString().toLower());
        finish(q);
        const QString file = server() ? m_fileName : QFileInfo(m_db.databaseName()).fileName();
        if (cols.isEmpty())
            throw DbError(QStringLiteral("Il file %1 della cartella dati è danneggiato: non contiene la tabella %2.")
                              .arg(file, m_def->name),
                          DbError::Cause::Damaged);
        for (int i = 0; i < m_stored; ++i)
            if (!cols.contains(m_fields[i].name.toLower()))
                throw DbError(QStringLiteral("Il file %1 della cartella dati non è completo: nella tabella %2 manca il campo %3.")
                                  .arg(file, m_def->name, m_fields[i].name),
                              DbError::Cause::Damaged);
        m_folder->setChecked(m_fileName);
    }
    if (!m_indexName.isEmpty() && !m_def->index(m_indexName))
        throw DbError(QStringLiteral("Indice \"%1\" non trovato nella tabella %2.").arg(m_indexName, m_def->name));
    takeWhere();
    // A table with lookup fields opens the tables its lookups read.
    for (const FieldMeta& f : m_fields)
        if (f.kind == FieldKind::Lookup && f.source && !f.source->isOpen())
            f.source->open();
    m_stale = true;
    m_modified = false;
    adoptSeed();
    // The first selection is read before the table counts as open, so that a
    // file that fails here (damaged, held by another program) leaves it closed.
    // Listening starts before: a change made while it is read is not missed.
    m_folder->watch(this);
    try {
        positionFirst();
    } catch (...) {
        m_folder->unwatch(this);
        throw;
    }
    m_othersChanged = false;
    setState(State::Browse);
    announce(true);
    if (!isEmpty())
        scrolled();
}

void Table::close()
{
    if (!isOpen())
        return;
    m_page.clear();
    m_page.shrink_to_fit();
    m_ids.clear();
    m_ids.shrink_to_fit();
    m_block = {};
    m_blockIds = {};
    m_blockStart = -1;
    m_heldKey.clear();
    m_lookupCache.clear();
    m_stale = true;
    m_row = -1;
    m_bof = m_eof = true;
    m_modified = false;
    m_conflict = false;
    m_othersChanged = false;
    m_buf = Values(fieldCount());
    m_bufStale = false;
    m_db = QSqlDatabase();
    m_folder->unwatch(this);
    setState(State::Inactive);
    announce(true);
}

void Table::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    if (!m_frozen)
        emit stateChanged();
    else
        m_pendingAnnounce = true;
}

void Table::announce(bool wholeSet)
{
    if (m_frozen) {
        m_pendingAnnounce = true;
        return;
    }
    if (wholeSet) {
        ++m_announced;
        emit dataSetChanged();
    } else {
        emit recordChanged();
    }
}

void Table::announceLater()
{
    // Told to the controls only if nothing else was announced meanwhile: a
    // filter switched off and on again in one handler shows only its end.
    const quint64 seen = m_announced;
    QMetaObject::invokeMethod(this, [this, seen] {
        if (m_announced == seen)
            announce(true);
    }, Qt::QueuedConnection);
}

void Table::disableControls()
{
    if (m_frozen++ == 0)
        emit controlsFrozen(true);
}

void Table::enableControls()
{
    if (m_frozen > 0 && --m_frozen == 0) {
        emit controlsFrozen(false);
        if (m_pendingAnnounce) {
            m_pendingAnnounce = false;
            emit stateChanged();
            emit dataSetChanged();
        }
        if (m_othersChanged)
            othersChanged();
    }
}

void Table::othersChanged()
{
    if (!isOpen())
        return;
    m_othersChanged = true;
    if (m_catchUpQueued)
        return;
    m_catchUpQueued = true;
    QMetaObject::invokeMethod(this, [this] {
        m_catchUpQueued = false;
        try {
            catchUp();
        } catch (const DbError& e) {
            // Nobody to tell from the event loop: the rows are read again,
            // and the failure met, at the next use of the table.
            qWarning("Velmora: %s", qUtf8Printable(e.message()));
            m_stale = true;
        }
    }, Qt::QueuedConnection);
}

void Table::catchUp()
{
    if (!m_othersChanged || m_state != State::Browse || m_frozen)
        return;
    m_othersChanged = false;
    const QVariant id = value(QStringLiteral("Id"));
    reselect(id.isNull() ? -1 : id.toLongLong(), m_row);
    loadCurrent();
    announce(true);
}

void Table::scrolled()
{
    react(Reaction::AfterScroll);
}

// ---------------------------------------------------------------- selection

QString Table::orderBy() const
{
    QStringList parts;
    if (const IndexDef* ix = m_indexName.isEmpty() ? nullptr : m_def->index(m_indexName)) {
        for (const QString& f : ix->fields) {
            const FieldDef& fd = m_def->fields[m_def->fieldIndex(f)];
            if (fd.type != FieldType::String) {
                parts << quoted(fd.name);
                continue;
            }
            // An empty text is stored unset. SQLite orders unset values
            // first, a server last: a child without a first name comes
            // before the namesakes that have one on both.
            parts << caseBlind(quoted(fd.name), m_folder->engine()) + (server() ? QStringLiteral(" NULLS FIRST") : QString());
        }
    }
    parts << QStringLiteral("\"Id\"");
    return parts.join(QLatin1String(", "));
}

bool Table::server() const
{
    return m_folder && m_folder->isServer();
}

int Table::markField() const
{
    if (!server())
        return -1;
    for (int i = 0; i < m_stored; ++i)
        if (m_def->fields[i].perProgram)
            return i;
    return -1;
}

QString Table::markTable() const
{
    return m_folder->markTable(m_def->name);
}

QString Table::markAllTable() const
{
    return m_folder->markTable(m_def->name + QStringLiteral("_tutti"));
}

QString Table::markExpression() const
{
    // This program's mark of the record; unmarked, the value it gave every
    // record at once (a login clears them all), else the stored one.
    const int mf = markField();
    return QStringLiteral("(CASE WHEN \"segni\".\"Id\" IS NOT NULL THEN \"segni\".\"Segno\" "
                          "WHEN EXISTS (SELECT 1 FROM %1) THEN (SELECT \"Segno\" FROM %1 LIMIT 1) ELSE %2.%3 END)")
        .arg(markAllTable(), quoted(m_def->name), quoted(m_fields[mf].name));
}

QString Table::columnRef(int field) const
{
    return field == markField() ? markExpression() : quoted(m_fields[field].name);
}

QString Table::fromSql() const
{
    if (markField() < 0)
        return quoted(m_def->name);
    return QStringLiteral("%1 LEFT JOIN %2 AS \"segni\" USING (\"Id\")").arg(quoted(m_def->name), markTable());
}

QString Table::selectColumns() const
{
    const int mf = markField();
    QStringList cols;
    for (int i = 0; i < m_stored; ++i)
        cols << (i == mf ? markExpression() : i == 0 && mf >= 0 ? quoted(m_def->name) + QStringLiteral(".\"Id\"") : quoted(m_fields[i].name));
    return cols.join(QLatin1String(", "));
}

QSqlQuery& Table::prepared(const QString& sql) const
{
    return m_folder->statement(m_fileName, sql);
}

void Table::run(QSqlQuery& q) const
{
    // A connection left closed by a reconnection the server did not answer
    // is opened first: nothing was tried on it yet.
    if (server() && !m_db.isOpen())
        m_folder->reconnect();
    countStatements();
    if (q.exec())
        return;
    const QSqlError err = q.lastError();
    if (!m_folder->connectionLost(err)) {
        const DbError e = m_folder->error(err, m_fileName);
        finish(q);
        throw e;
    }
    // The connection is gone (the server restarted). A read is made again on
    // the new one; a write is not: what it meant to store is still being
    // edited, and the user saves again knowing what happened.
    const QVariantList values = q.boundValues();
    const bool read = !m_inTransaction && q.lastQuery().startsWith(QLatin1String("SELECT"));
    m_folder->reconnect();
    if (!read)
        throw m_folder->lostWriteError(m_fileName);
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    countStatements();
    if (!q.exec()) {
        const DbError e = m_folder->error(q.lastError(), m_fileName);
        finish(q);
        throw e;
    }
}

void Table::finish(QSqlQuery& q) const
{
    // On a server a forward-only statement hands its rows over one by one:
    // one left before its end keeps the connection busy, and the
    // announcements of other programs wait behind it. Its end is read first.
    if (server())
        while (q.next()) {
        }
    q.finish();
}

DbError Table::failure(const QSqlError& e) const
{
    if (!m_folder->connectionLost(e))
        return m_folder->error(e, m_fileName);
    m_folder->reconnect();
    return m_folder->lostWriteError(m_fileName);
}

void Table::runThrough(QSqlQuery& q) const
{
    // A damaged page met past the first row ends the walk like the last row
    // would: only the error left on the statement tells them apart.
    if (q.lastError().isValid()) {
        const DbError e = m_folder->error(q.lastError(), m_fileName);
        finish(q);
        throw e;
    }
}

void Table::ensureFresh() const
{
    if (m_stale)
        reload();
}

void Table::reload() const
{
    m_page.clear();
    m_ids.clear();
    m_block.clear();
    m_blockIds.clear();
    m_blockStart = -1;
    m_idsLoaded = false;
    m_lookupCache.clear();
    // The statement text depends only on the condition and the index.
    const QString key = m_whereSql + QLatin1Char('\x1f') + m_indexName;
    if (key != m_pageSqlKey) {
        m_pageSql = QStringLiteral("SELECT %1 FROM %2").arg(selectColumns(), fromSql());
        if (!m_whereSql.isEmpty())
            m_pageSql += QStringLiteral(" WHERE ") + m_whereSql;
        m_pageSql += QStringLiteral(" ORDER BY ") + orderBy() + QStringLiteral(" LIMIT %1").arg(pageSize + 1);
        m_pageSqlKey = key;
    }
    QSqlQuery& q = prepared(m_pageSql);
    for (const QVariant& v : m_whereValues)
        q.addBindValue(v);
    m_heldKey.clear(); // until the whole page is read
    run(q);
    m_pageWrites = m_folder->writes(m_fileName);
    m_complete = true;
    while (q.next()) {
        if (int(m_page.size()) == pageSize) {
            m_complete = false;
            break;
        }
        Values v(m_stored);
        for (int i = 0; i < m_stored; ++i)
            v[i] = fromStorage(i, q.value(i));
        m_page.push_back(std::move(v));
    }
    runThrough(q);
    finish(q);
    m_stale = false;
    m_heldKey = key;
    m_heldValues = m_whereValues;
    // A selection read anew starts at its first record; callers that keep
    // their place set it again afterwards.
    m_row = m_page.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_page.empty();
    m_bufStale = true;
}

void Table::ensureIds() const
{
    ensureFresh();
    if (m_complete || m_idsLoaded)
        return;
    QString sql = QStringLiteral("SELECT \"Id\" FROM %1").arg(fromSql());
    if (!m_whereSql.isEmpty())
        sql += QStringLiteral(" WHERE ") + m_whereSql;
    sql += QStringLiteral(" ORDER BY ") + orderBy();
    // The keys are read later than the page. When the table changed in
    // between (a copy cursor or another program posted), the two disagree
    // and a walk would visit records twice or miss them: the page is then
    // read again, and the current record kept current.
    const int oldRow = m_row;
    const qint64 current = m_row >= 0 && m_row < int(m_page.size()) ? m_page[m_row][0].toLongLong() : -1;
    bool reread = false;
    for (int attempt = 0;; ++attempt) {
        m_ids.clear();
        QSqlQuery& q = prepared(sql);
        for (const QVariant& v : m_whereValues)
            q.addBindValue(v);
        run(q);
        while (q.next())
            m_ids.push_back(qint32(q.value(0).toLongLong()));
        runThrough(q);
        finish(q);
        bool agree = m_ids.size() > m_page.size();
        for (size_t i = 0; agree && i < m_page.size(); ++i)
            agree = m_page[i][0].toLongLong() == m_ids[i];
        if (agree || m_complete || attempt == 2)
            break;
        const bool bof = m_bof, eof = m_eof;
        reload();
        m_bof = bof || m_page.empty();
        m_eof = eof || m_page.empty();
        reread = true;
    }
    m_ids.shrink_to_fit();
    m_idsLoaded = true;
    if (reread && current >= 0) {
        const auto it = std::find(m_ids.begin(), m_ids.end(), qint32(current));
        const int n = int(m_ids.size());
        m_row = it != m_ids.end() ? int(it - m_ids.begin()) : (n == 0 ? -1 : std::min(oldRow, n - 1));
    }
}

int Table::recordCount() const
{
    if (!isOpen())
        return 0;
    ensureFresh();
    if (m_complete)
        return int(m_page.size());
    ensureIds();
    return int(m_ids.size());
}

int Table::knownRowCount() const
{
    if (!isOpen())
        return 0;
    ensureFresh();
    const int known = (m_complete || !m_idsLoaded) ? int(m_page.size()) : int(m_ids.size());
    return std::max(known, m_row + 1);
}

bool Table::isCountKnown() const
{
    if (!isOpen())
        return true;
    ensureFresh();
    return m_complete || m_idsLoaded;
}

bool Table::hasRowAfter(int row) const
{
    if (!isOpen() || row < -1)
        return false;
    ensureFresh();
    if (row + 1 < int(m_page.size()))
        return true;
    if (m_complete)
        return false;
    // The page was read one row past its size: a row follows its last one.
    if (row + 1 == int(m_page.size()))
        return true;
    ensureIds();
    return row + 1 < int(m_ids.size());
}

bool Table::isEmpty() const
{
    if (!isOpen())
        return true;
    ensureFresh();
    return m_page.empty();
}

qint64 Table::idAt(int row) const
{
    if (row < int(m_page.size()))
        return m_page[row][0].toLongLong();
    ensureIds();
    return m_ids[row];
}

Table::Values Table::fetchById(qint64 id, bool forUpdate) const
{
    // On a server the post of an edit reads the row it is about to change
    // locked until its transaction ends: another program's post of the same
    // record waits (up to the lock timeout) instead of slipping in between.
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE \"Id\" = ?").arg(selectColumns(), fromSql());
    if (forUpdate && server())
        sql += QStringLiteral(" FOR UPDATE OF ") + quoted(m_def->name);
    QSqlQuery& q = prepared(sql);
    q.addBindValue(id);
    run(q);
    Values v(m_stored);
    if (q.next())
        for (int i = 0; i < m_stored; ++i)
            v[i] = fromStorage(i, q.value(i));
    finish(q);
    return v;
}

Table::Values Table::storedAt(int row) const
{
    if (row < int(m_page.size()))
        return m_page[row];
    return blockRow(row);
}

Table::Values Table::blockRow(int row) const
{
    ensureIds();
    const quint64 writes = m_folder->writes(m_fileName);
    const qint32 id = m_ids[row];
    if (m_blockStart >= 0 && writes == m_blockWrites && row >= m_blockStart
        && row < m_blockStart + int(m_blockIds.size()) && m_blockIds[row - m_blockStart] == id)
        return m_block[row - m_blockStart];
    // Blocks lie at fixed places after the page, so that a walk backwards
    // reads as few of them as a walk forwards.
    const int pageRows = int(m_page.size());
    const int start = pageRows + (row - pageRows) / blockRows * blockRows;
    const int end = std::min(int(m_ids.size()), start + blockRows);
    static const QString marks = [] {
        QStringList q;
        for (int i = 0; i < blockRows; ++i)
            q << QStringLiteral("?");
        return q.join(QLatin1Char(','));
    }();
    QSqlQuery& q = prepared(QStringLiteral("SELECT %1 FROM %2 WHERE \"Id\" IN (%3)").arg(selectColumns(), fromSql(), marks));
    for (int r = start; r < start + blockRows; ++r)
        q.addBindValue(r < end ? qint64(m_ids[r]) : qint64(-1)); // no record has a negative key
    run(q);
    QHash<qint64, Values> found;
    while (q.next()) {
        Values v(m_stored);
        for (int i = 0; i < m_stored; ++i)
            v[i] = fromStorage(i, q.value(i));
        const qint64 key = v[0].toLongLong();
        found.insert(key, std::move(v));
    }
    runThrough(q);
    finish(q);
    // A key whose record another program deleted meanwhile reads as an
    // empty record, as a read of that key alone would.
    m_block.assign(size_t(end - start), Values(m_stored));
    m_blockIds.assign(m_ids.begin() + start, m_ids.begin() + end);
    for (int r = start; r < end; ++r) {
        auto it = found.find(m_ids[r]);
        if (it != found.end())
            m_block[size_t(r - start)] = std::move(it.value());
    }
    m_blockStart = start;
    m_blockWrites = writes;
    return m_block[size_t(row - start)];
}

int Table::rowOfId(qint64 id) const
{
    ensureFresh();
    for (size_t i = 0; i < m_page.size(); ++i)
        if (m_page[i][0].toLongLong() == id)
            return int(i);
    if (m_complete)
        return -1;
    ensureIds();
    const auto it = std::find(m_ids.begin(), m_ids.end(), qint32(id));
    return it == m_ids.end() ? -1 : int(it - m_ids.begin());
}

void Table::positionFirst() const
{
    ensureFresh();
    // Also when the selection was fresh already: back to its first record.
    m_row = m_page.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_page.empty();
    m_bufStale = true;
}

void Table::loadCurrent() const
{
    m_bufStale = true;
    ensureCurrent();
}

void Table::ensureCurrent() const
{
    if (m_stale && (m_state == State::Browse)) {
        // The selection was dropped (filter switched off): read it again from
        // the first record, as the engine would.
        positionFirst();
    }
    if (!m_bufStale || m_state == State::Edit || m_state == State::Insert)
        return;
    m_bufStale = false;
    Values v = (m_row >= 0 && isOpen()) ? storedAt(m_row) : Values(m_stored);
    v.resize(fieldCount());
    if (m_row >= 0)
        complete(v);
    m_buf = std::move(v);
}

void Table::complete(Values& v) const
{
    bool hasCalc = false;
    for (int i = m_stored; i < fieldCount(); ++i) {
        const FieldMeta& f = m_fields[i];
        if (f.kind == FieldKind::Lookup)
            v[i] = lookup(f, v);
        else {
            v[i] = QVariant();
            hasCalc = true;
        }
    }
    if (hasCalc && m_reactions[int(Reaction::OnCalcFields)]) {
        auto* self = const_cast<Table*>(this);
        Values* saved = m_cur;
        const State savedState = m_state;
        m_cur = &v;
        self->m_state = State::CalcFields;
        try {
            m_reactions[int(Reaction::OnCalcFields)](*self);
        } catch (...) {
            m_cur = saved;
            self->m_state = savedState;
            throw;
        }
        m_cur = saved;
        self->m_state = savedState;
    }
}

QVariant Table::lookup(const FieldMeta& f, const Values& v) const
{
    if (!f.source || f.keyField < 0)
        return QVariant();
    const QVariant key = v[f.keyField];
    if (key.isNull())
        return QVariant();
    QVariant r = f.source->lookupIn(f.sourceKey, key, f.result);
    if (f.size > 0 && r.typeId() == QMetaType::QString)
        r = cutToLength(r.toString(), f.size);
    return r;
}

QVariant Table::lookupIn(const QString& keyField, const QVariant& key, const QString& resultField) const
{
    if (!isOpen())
        return QVariant();
    const QString cacheKey = keyField + QLatin1Char('\x1f') + key.toString() + QLatin1Char('\x1f') + resultField;
    auto hit = m_lookupCache.constFind(cacheKey);
    if (hit != m_lookupCache.constEnd())
        return hit.value();
    const int ki = findField(keyField);
    const int ri = findField(resultField);
    if (ki < 0 || ri < 0 || ki >= m_stored)
        return QVariant();
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(selectColumns(), fromSql(), columnRef(ki));
    if (!m_whereSql.isEmpty())
        sql += QStringLiteral(" AND (") + m_whereSql + QLatin1Char(')');
    sql += QStringLiteral(" ORDER BY ") + orderBy() + QStringLiteral(" LIMIT 1");
    QSqlQuery& q = prepared(sql);
    q.addBindValue(toStorage(ki, key));
    for (const QVariant& b : m_whereValues)
        q.addBindValue(b);
    run(q);
    QVariant result;
    if (q.next()) {
        Values v(m_stored);
        for (int i = 0; i < m_stored; ++i)
            v[i] = fromStorage(i, q.value(i));
        finish(q);
        if (ri >= m_stored) {
            v.resize(fieldCount());
            complete(v);
        }
        result = v[ri];
    } else {
        finish(q);
    }
    m_lookupCache.insert(cacheKey, result);
    return result;
}

QVariant Table::valueAt(int row, int field) const
{
    if (!isOpen() || row < 0 || field < 0 || field >= fieldCount())
        return QVariant();
    // A row of the first page is there; only a row past it needs the keys.
    ensureFresh();
    if (row >= int(m_page.size()) && row >= recordCount())
        return QVariant();
    if (row == m_row && m_state != State::Insert) {
        ensureCurrent();
        return m_buf[field];
    }
    Values v = storedAt(row);
    if (field < m_stored)
        return v[field];
    v.resize(fieldCount());
    complete(v);
    return v[field];
}

void Table::refresh()
{
    requireOpen();
    // After a post refused because another program changed the record, the
    // edit is given up: refreshing is how the user asks for the stored values.
    if (m_conflict)
        cancel();
    checkBrowseMode();
    const QVariant id = value(QStringLiteral("Id"));
    reselect(id.isNull() ? -1 : id.toLongLong(), m_row);
    loadCurrent();
    announce(true);
}

void Table::reselect(qint64 id, int oldRow) const
{
    m_stale = true;
    ensureFresh();
    int row = id >= 0 ? rowOfId(id) : -1;
    // Only when the record left the selection is the whole of it counted, to
    // put the cursor on the row that took its place.
    if (row < 0 && !m_page.empty())
        row = std::clamp(oldRow, 0, recordCount() - 1);
    m_row = row;
    m_bof = m_eof = row < 0;
    m_bufStale = true;
}

// ---------------------------------------------------------------- order and filter

void Table::setIndexName(const QString& name)
{
    if (name.compare(m_indexName, Qt::CaseInsensitive) == 0 && name.size() == m_indexName.size())
        return;
    if (m_def && !name.isEmpty() && !m_def->index(name))
        throw DbError(QStringLiteral("Indice \"%1\" non trovato nella tabella %2.").arg(name, m_def->name));
    if (!isOpen()) {
        m_indexName = name;
        return;
    }
    checkBrowseMode();
    ensureCurrent();
    const QVariant id = m_buf[0];
    m_indexName = name;
    m_stale = true;
    ensureFresh();
    const int row = id.isNull() ? -1 : rowOfId(id.toLongLong());
    if (row >= 0) {
        m_row = row;
        m_bof = m_eof = false;
    } else {
        positionFirst();
    }
    loadCurrent();
    announce(true);
}

void Table::setFilter(const QString& text)
{
    m_filter = text;
    if (isOpen() && m_filtered)
        applyFilterNow();
}

void Table::setFiltered(bool on)
{
    if (!isOpen()) {
        m_filtered = on;
        return;
    }
    if (on) {
        m_filtered = true;
        applyFilterNow();
        return;
    }
    if (!m_filtered)
        return;
    checkBrowseMode();
    m_filtered = false;
    m_whereSql.clear();
    m_whereValues.clear();
    m_whereFields.clear();
    m_lookupCache.clear();
    // Read lazily: the three steps of a filter change cost one selection,
    // and the controls are not made to show the whole table in between.
    m_stale = true;
    m_bufStale = true;
    announceLater();
}

void Table::applyFilterNow()
{
    checkBrowseMode();
    CompiledFilter f;
    try {
        f = compiled();
    } catch (const DbError&) {
        m_filtered = false;
        m_whereSql.clear();
        m_whereValues.clear();
        m_whereFields.clear();
        m_stale = true;
        m_bufStale = true;
        throw;
    }
    m_whereSql = f.sql;
    m_whereValues = f.values;
    m_whereFields = f.fields;
    // The same selection switched on again (a list's reaction filtering the
    // next list to what it holds already), with nothing written since its
    // rows were read: they are the rows a new read would give. It starts at
    // its first record and is announced as a new one, without a statement.
    const bool same = !m_heldKey.isEmpty() && m_heldKey == m_whereSql + QLatin1Char('\x1f') + m_indexName
        && m_heldValues == m_whereValues && m_pageWrites == m_folder->writes(m_fileName) && !m_othersChanged;
    m_stale = !same;
    positionFirst();
    loadCurrent();
    announce(true);
    scrolled();
}

// ---------------------------------------------------------------- cursor

bool Table::isBof() const
{
    if (!isOpen())
        return true;
    ensureCurrent();
    return m_bof || m_page.empty();
}

bool Table::isEof() const
{
    if (!isOpen())
        return true;
    ensureCurrent();
    return m_eof || m_page.empty();
}

int Table::recNo() const
{
    if (!isOpen())
        return -1;
    ensureCurrent();
    return m_row;
}

void Table::first()
{
    requireOpen();
    checkBrowseMode();
    positionFirst();
    loadCurrent();
    announce(false);
    scrolled();
}

void Table::last()
{
    requireOpen();
    checkBrowseMode();
    ensureFresh();
    const int n = recordCount();
    m_row = n - 1;
    m_eof = true;
    m_bof = n == 0;
    loadCurrent();
    announce(false);
    scrolled();
}

void Table::next()
{
    requireOpen();
    checkBrowseMode();
    ensureCurrent();
    if (m_eof || m_page.empty())
        return;
    const bool more = m_row + 1 < int(m_page.size()) || (!m_complete && m_row + 1 < recordCount());
    if (more) {
        ++m_row;
        m_bof = false;
        loadCurrent();
        announce(false);
    } else {
        m_eof = true;
    }
    scrolled();
}

void Table::prior()
{
    requireOpen();
    checkBrowseMode();
    ensureCurrent();
    if (m_bof || m_page.empty())
        return;
    if (m_row > 0) {
        --m_row;
        m_eof = false;
        loadCurrent();
        announce(false);
    } else {
        m_bof = true;
    }
    scrolled();
}

bool Table::locate(const QString& fieldName, const QVariant& v)
{
    requireOpen();
    checkBrowseMode();
    const int fi = findField(fieldName);
    if (fi < 0 || fi >= m_stored)
        throw DbError(QStringLiteral("Campo \"%1\" non trovato nella tabella %2.").arg(fieldName, m_def->name));
    ensureFresh();
    // A key looked for in a selection held whole, with nothing written since
    // it was read, is found in the rows held (no statement: on a server each
    // is a round trip).
    if (fi == 0 && m_complete && m_pageWrites == m_folder->writes(m_fileName)) {
        const QVariant key = convertIn(fi, v);
        bool ok = false;
        const qint64 id = key.toLongLong(&ok);
        if (!ok || key.isNull())
            return false;
        for (size_t i = 0; i < m_page.size(); ++i)
            if (m_page[i][0].toLongLong() == id) {
                m_row = int(i);
                m_bof = m_eof = false;
                loadCurrent();
                announce(false);
                scrolled();
                return true;
            }
        return false;
    }
    QString sql = QStringLiteral("SELECT \"Id\" FROM %1 WHERE %2 = ?").arg(fromSql(), columnRef(fi));
    if (!m_whereSql.isEmpty())
        sql += QStringLiteral(" AND (") + m_whereSql + QLatin1Char(')');
    sql += QStringLiteral(" ORDER BY ") + orderBy() + QStringLiteral(" LIMIT 1");
    QSqlQuery& q = prepared(sql);
    q.addBindValue(toStorage(fi, convertIn(fi, v)));
    for (const QVariant& b : m_whereValues)
        q.addBindValue(b);
    run(q);
    const bool found = q.next();
    const qint64 id = found ? q.value(0).toLongLong() : 0;
    finish(q);
    if (!found)
        return false;
    const int row = rowOfId(id);
    if (row < 0)
        return false;
    m_row = row;
    m_bof = m_eof = false;
    loadCurrent();
    announce(false);
    scrolled();
    return true;
}

// ---------------------------------------------------------------- fields

int Table::findField(const QString& name) const
{
    for (int i = 0; i < fieldCount(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

Field Table::fieldByName(const QString& name)
{
    const int i = findField(name);
    if (i < 0)
        throw DbError(QStringLiteral("Campo \"%1\" non trovato nella tabella %2.")
                          .arg(name, m_def ? m_def->name : m_fileName));
    return Field(this, i);
}

QVariant Table::value(const QString& name) const
{
    const int i = findField(name);
    if (i < 0)
        throw DbError(QStringLiteral("Campo \"%1\" non trovato nella tabella %2.")
                          .arg(name, m_def ? m_def->name : m_fileName));
    ensureCurrent();
    return (*m_cur)[i];
}

QString Table::asString(const QString& name) const
{
    return const_cast<Table*>(this)->fieldByName(name).asString();
}

int Table::asInteger(const QString& name) const
{
    const QVariant v = value(name);
    return v.isNull() ? 0 : v.toInt();
}

bool Table::asBoolean(const QString& name) const
{
    const QVariant v = value(name);
    return !v.isNull() && v.toBool();
}

bool Table::isNull(const QString& name) const
{
    const QVariant v = value(name);
    return v.isNull() || !v.isValid();
}

QVariant Table::convertIn(int index, const QVariant& v) const
{
    const FieldMeta& f = m_fields[index];
    if (!v.isValid() || v.isNull())
        return QVariant();
    const bool isText = v.typeId() == QMetaType::QString;
    const QString text = isText ? v.toString().trimmed() : QString();
    if (isText && text.isEmpty() && f.type != FieldType::String && f.type != FieldType::Memo)
        return QVariant();
    switch (f.type) {
    case FieldType::String:
    case FieldType::Memo: {
        // U+0000 shows as nothing and a server refuses a text holding it:
        // it is dropped, on both engines, before the text is measured.
        QString s = v.toString();
        s.remove(QChar(0));
        if (f.type == FieldType::String)
            s = cutToLength(s, f.size);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldType::AutoInc:
    case FieldType::Integer: {
        bool ok = false;
        const qlonglong n = isText ? text.toLongLong(&ok) : v.toLongLong(&ok);
        if (!ok || n < INT32_MIN || n > INT32_MAX)
            throw DbError(QStringLiteral("'%1' non è un valore intero valido.").arg(v.toString()));
        return int(n);
    }
    case FieldType::Float: {
        bool ok = false;
        double d = isText ? QLocale().toDouble(text, &ok) : v.toDouble(&ok);
        if (!ok && isText)
            d = text.toDouble(&ok);
        if (!ok)
            throw DbError(QStringLiteral("'%1' non è un numero valido.").arg(v.toString()));
        return d;
    }
    case FieldType::Date: {
        QDate d;
        if (v.typeId() == QMetaType::QDate)
            d = v.toDate();
        else if (v.typeId() == QMetaType::QDateTime)
            d = v.toDateTime().date();
        else
            d = parseDateText(v.toString(), m_folder->today());
        if (!d.isValid())
            throw DbError(QStringLiteral("'%1' non è una data valida.").arg(v.toString()));
        return d;
    }
    case FieldType::Boolean: {
        if (isText) {
            if (!text.compare(QLatin1String("true"), Qt::CaseInsensitive) || !text.compare(QLatin1String("si"), Qt::CaseInsensitive)
                || !text.compare(QLatin1String("sì"), Qt::CaseInsensitive) || text == QLatin1String("1"))
                return true;
            if (!text.compare(QLatin1String("false"), Qt::CaseInsensitive) || !text.compare(QLatin1String("no"), Qt::CaseInsensitive)
                || text == QLatin1String("0"))
                return false;
            throw DbError(QStringLiteral("'%1' non è un valore logico valido.").arg(v.toString()));
        }
        return v.toBool();
    }
    }
    return v;
}

QVariant Table::fromStorage(int index, const QVariant& v) const
{
    if (v.isNull() || !v.isValid())
        return QVariant();
    switch (m_fields[index].type) {
    case FieldType::AutoInc:
    case FieldType::Integer: return v.toInt();
    case FieldType::Float: return v.toDouble();
    case FieldType::Boolean: return v.toLongLong() != 0;
    case FieldType::Date: {
        const QDate d = QDate::fromString(v.toString(), Qt::ISODate);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::String:
    case FieldType::Memo: {
        const QString s = v.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    }
    return v;
}

QVariant Table::toStorage(int index, const QVariant& v) const
{
    if (v.isNull() || !v.isValid())
        return QVariant();
    switch (m_fields[index].type) {
    case FieldType::Boolean: return server() ? QVariant(v.toBool()) : QVariant(v.toBool() ? 1 : 0);
    case FieldType::Date: return v.toDate().toString(Qt::ISODate);
    default: return v;
    }
}

void Table::setValue(const QString& name, const QVariant& v)
{
    const int i = findField(name);
    if (i < 0)
        throw DbError(QStringLiteral("Campo \"%1\" non trovato nella tabella %2.")
                          .arg(name, m_def ? m_def->name : m_fileName));
    FieldMeta& f = m_fields[i];
    if (m_state == State::CalcFields) {
        if (f.kind != FieldKind::Calculated)
            throw DbError(QStringLiteral("Il campo %1 non può essere modificato durante il calcolo.").arg(f.name));
        QVariant c = v;
        if (f.type == FieldType::String && f.size > 0 && !c.isNull())
            c = cutToLength(c.toString(), f.size);
        (*m_cur)[i] = c;
        return;
    }
    if (m_state != State::Edit && m_state != State::Insert)
        throw DbError(QStringLiteral("La tabella %1 non è in modifica o in inserimento.").arg(m_def ? m_def->name : m_fileName));
    if (f.kind != FieldKind::Stored || f.type == FieldType::AutoInc)
        throw DbError(QStringLiteral("Il campo %1 non può essere modificato.").arg(f.name));
    m_buf[i] = convertIn(i, v);
    m_modified = true;
    complete(m_buf);
    announce(false);
    if (f.onChange)
        f.onChange(*this);
}

void Table::addCalculatedField(const QString& name, FieldType type, int size)
{
    if (isOpen())
        throw DbError(QStringLiteral("Impossibile aggiungere campi a una tabella aperta."));
    FieldMeta m;
    m.name = name;
    m.type = type;
    m.size = size;
    m.kind = FieldKind::Calculated;
    m_fields.push_back(m);
    m_buf = Values(fieldCount());
}

void Table::addLookupField(const QString& name, int size, const QString& keyField, Table* source,
                           const QString& sourceKey, const QString& resultField)
{
    if (isOpen())
        throw DbError(QStringLiteral("Impossibile aggiungere campi a una tabella aperta."));
    FieldMeta m;
    m.name = name;
    m.type = FieldType::String;
    m.size = size;
    m.kind = FieldKind::Lookup;
    m.keyField = findField(keyField);
    m.source = source;
    m.sourceKey = sourceKey;
    m.result = resultField;
    if (m.keyField < 0)
        throw DbError(QStringLiteral("Campo \"%1\" non trovato.").arg(keyField));
    m_fields.push_back(m);
    m_buf = Values(fieldCount());
}

void Table::setDisplayLabel(const QString& fieldName, const QString& label)
{
    m_fields[fieldByName(fieldName).index()].label = label;
}

void Table::setFieldChangeHandler(const QString& fieldName, Handler handler)
{
    m_fields[fieldByName(fieldName).index()].onChange = std::move(handler);
}

// ---------------------------------------------------------------- states

void Table::checkBrowseMode()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        if (m_modified)
            post();
        else
            cancel();
    }
}

bool Table::beginInsert()
{
    requireOpen();
    if (m_readOnly)
        throw DbError(QStringLiteral("Impossibile modificare: la tabella %1 è aperta in sola lettura.").arg(m_def->name));
    checkBrowseMode();
    ensureCurrent();
    m_buf = Values(fieldCount());
    setState(State::Insert);
    try {
        react(Reaction::OnNewRecord);
    } catch (const Abort&) {
        setState(State::Browse);
        m_modified = false;
        loadCurrent();
        announce(true);
        return false;
    } catch (...) {
        setState(State::Browse);
        m_modified = false;
        loadCurrent();
        announce(true);
        throw;
    }
    m_modified = false;
    complete(m_buf);
    announce(true);
    try {
        react(Reaction::AfterInsert);
    } catch (const Abort&) {
        cancel();
        return false;
    }
    scrolled();
    return true;
}

bool Table::append() { return beginInsert(); }
bool Table::insert() { return beginInsert(); }

void Table::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (m_readOnly)
        throw DbError(QStringLiteral("Impossibile modificare: la tabella %1 è aperta in sola lettura.").arg(m_def->name));
    if (isEmpty()) {
        beginInsert();
        return;
    }
    ensureCurrent();
    m_orig = m_buf;
    m_modified = false;
    m_conflict = false;
    setState(State::Edit);
    announce(false);
    react(Reaction::AfterEdit);
}

namespace {

const char* reactionName(Table::Reaction slot)
{
    switch (slot) {
    case Table::Reaction::OnNewRecord: return "onNewRecord";
    case Table::Reaction::AfterInsert: return "afterInsert";
    case Table::Reaction::AfterEdit: return "afterEdit";
    case Table::Reaction::AfterScroll: return "afterScroll";
    case Table::Reaction::AfterPost: return "afterPost";
    case Table::Reaction::BeforeDelete: return "beforeDelete";
    case Table::Reaction::OnCalcFields: return "onCalcFields";
    }
    return "reaction";
}

} // namespace

void Table::setReaction(Reaction slot, const void* owner, Handler handler)
{
    const int i = int(slot);
    if (m_reactions[i] && m_reactionOwners[i] != owner)
        throw std::logic_error(QStringLiteral("%1.%2 has an owner already: a second one would replace its reaction")
                                   .arg(objectName(), QLatin1String(reactionName(slot)))
                                   .toStdString());
    m_reactions[i] = std::move(handler);
    m_reactionOwners[i] = m_reactions[i] ? owner : nullptr;
}

Table::Handler Table::releaseReaction(Reaction slot)
{
    const int i = int(slot);
    m_reactionOwners[i] = nullptr;
    return std::exchange(m_reactions[i], nullptr);
}

void Table::react(Reaction slot)
{
    if (const Handler& h = m_reactions[int(slot)])
        h(*this);
}

void Table::addPostCheck(QObject* owner, std::function<void()> check)
{
    m_postChecks.emplace_back(owner, std::move(check));
}

void Table::removePostChecks(QObject* owner)
{
    std::erase_if(m_postChecks, [owner](const auto& c) { return c.first.isNull() || c.first == owner; });
}

void Table::post()
{
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const auto checks = m_postChecks; // a check may add or remove checks
    for (const auto& [owner, check] : checks)
        if (owner)
            check();
    const QString tableSql = quoted(m_def->name);
    const int mf = markField();
    if (m_state == State::Insert) {
        QStringList cols;
        QVariantList vals;
        for (int i = 1; i < m_stored; ++i) {
            if (m_buf[i].isNull() || i == mf)
                continue;
            cols << quoted(m_fields[i].name);
            vals << toStorage(i, m_buf[i]);
        }
        QString sql = cols.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(tableSql)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(tableSql, cols.join(QLatin1String(", ")),
                       QStringList(cols.size(), QStringLiteral("?")).join(QLatin1String(", ")));
        // A server gives the new Id with the insert itself: asking for it
        // afterwards (lastval) could fail and abort what was stored.
        if (server())
            sql += QStringLiteral(" RETURNING \"Id\"");
        qint64 id = 0;
        if (mf >= 0 && !m_buf[mf].isNull()) {
            // The record and this program's mark of it are stored together.
            inTransaction([&] {
                id = insertRow(sql, vals);
                writeMark(id, toStorage(mf, m_buf[mf]));
            });
            m_folder->rememberMarks(m_def->name, {id}, toStorage(mf, m_buf[mf]));
        } else {
            id = insertRow(sql, vals);
        }
        m_folder->noteWrite(m_fileName);
        reselect(id, m_row);
    } else {
        QStringList sets;
        QVariantList vals;
        bool reorder = false;
        QSet<int> orderFields = m_whereFields;
        if (const IndexDef* ix = m_indexName.isEmpty() ? nullptr : m_def->index(m_indexName))
            for (const QString& f : ix->fields)
                orderFields.insert(m_def->fieldIndex(f));
        bool markChanged = false;
        for (int i = 1; i < m_stored; ++i) {
            if (m_buf[i] == m_orig[i] && m_buf[i].isNull() == m_orig[i].isNull())
                continue;
            reorder = reorder || orderFields.contains(i);
            if (i == mf) {
                markChanged = true;
                continue;
            }
            sets << quoted(m_fields[i].name) + QStringLiteral(" = ?");
            vals << toStorage(i, m_buf[i]);
        }
        if (!sets.isEmpty() || markChanged) {
            // Another program may have changed or deleted the record since
            // it was read. In one transaction that holds the file for
            // writing, the stored row is read and compared with the values
            // the edit started from; only when they agree is it updated, so
            // a post never overwrites a change it has not seen.
            inTransaction([&] {
                const Values stored = fetchById(m_orig[0].toLongLong(), true);
                if (stored[0].isNull() || !sameStoredValues(stored, m_orig)) {
                    m_conflict = true;
                    throw DbError(stored[0].isNull()
                                      ? QStringLiteral("Il record è stato cancellato da un altro utente dopo che è stato letto: "
                                                       "le modifiche non sono state salvate. Aggiornare per vedere i dati salvati.")
                                      : QStringLiteral("Il record è stato modificato da un altro utente dopo che è stato letto: "
                                                       "le modifiche non sono state salvate. Aggiornare per vedere i valori salvati."),
                                  DbError::Cause::Changed);
                }
                if (!sets.isEmpty()) {
                    QSqlQuery& q = prepared(QStringLiteral("UPDATE %1 SET %2 WHERE \"Id\" = ?").arg(tableSql, sets.join(QLatin1String(", "))));
                    for (const QVariant& v : vals)
                        q.addBindValue(v);
                    q.addBindValue(m_orig[0]);
                    run(q);
                    finish(q);
                }
                if (markChanged)
                    writeMark(m_orig[0].toLongLong(), toStorage(mf, m_buf[mf]));
            });
            if (markChanged)
                m_folder->rememberMarks(m_def->name, {m_orig[0].toLongLong()}, toStorage(mf, m_buf[mf]));
            m_folder->noteWrite(m_fileName);
            m_lookupCache.clear();
            if (reorder) {
                reselect(m_buf[0].toLongLong(), m_row);
            } else {
                if (m_row >= 0 && m_row < int(m_page.size())) {
                    Values stored = m_buf;
                    stored.resize(m_stored);
                    m_page[m_row] = stored;
                }
                // The rows in memory hold what was just stored; they are as
                // fresh as before when this post was the only write since.
                if (m_pageWrites + 1 == m_folder->writes(m_fileName))
                    ++m_pageWrites;
            }
        }
    }
    m_modified = false;
    setState(State::Browse);
    loadCurrent();
    announce(true);
    react(Reaction::AfterPost);
    // What other programs changed while this record was edited shows now.
    if (m_othersChanged)
        othersChanged();
}

void Table::inTransaction(const std::function<void()>& work)
{
    // One computer: BEGIN IMMEDIATE takes the file for writing at once, so
    // the row read inside is the one the update replaces. A server: the
    // driver's own transaction calls (an exec of "COMMIT" can report success
    // while nothing was stored), and the row read FOR UPDATE.
    if (server()) {
        if (!m_db.isOpen())
            m_folder->reconnect();
        countStatements();
        if (!m_db.transaction())
            throw failure(m_db.lastError());
    } else {
        exec(m_db, QStringLiteral("BEGIN IMMEDIATE"));
    }
    m_inTransaction = true;
    try {
        work();
        if (server()) {
            countStatements();
            if (!m_db.commit())
                throw failure(m_db.lastError());
        } else {
            exec(m_db, QStringLiteral("COMMIT"));
        }
        m_inTransaction = false;
    } catch (...) {
        m_inTransaction = false;
        countStatements();
        if (server()) {
            m_db.rollback();
        } else {
            QSqlQuery rollback(m_db);
            rollback.exec(QStringLiteral("ROLLBACK")); // nothing to undo when the commit itself ended it
        }
        throw;
    }
}

qint64 Table::insertRow(const QString& sql, const QVariantList& values)
{
    QSqlQuery& q = prepared(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    run(q);
    qint64 id = 0;
    if (server()) {
        if (q.next())
            id = q.value(0).toLongLong();
        runThrough(q);
    } else {
        id = q.lastInsertId().toLongLong();
    }
    finish(q);
    return id;
}

void Table::writeMark(qint64 id, const QVariant& value)
{
    QSqlQuery& q = prepared(QStringLiteral("INSERT INTO %1 (\"Id\", \"Segno\") VALUES (?, ?) "
                                           "ON CONFLICT (\"Id\") DO UPDATE SET \"Segno\" = EXCLUDED.\"Segno\"")
                                .arg(markTable()));
    q.addBindValue(id);
    q.addBindValue(value);
    run(q);
    finish(q);
}

void Table::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const bool wasInsert = m_state == State::Insert;
    m_modified = false;
    setState(State::Browse);
    if (m_conflict) {
        // The post was refused because the record changed on disk: what is
        // shown now is what is stored, read again.
        m_conflict = false;
        reselect(m_orig[0].toLongLong(), m_row);
    }
    loadCurrent();
    announce(true);
    if (wasInsert)
        scrolled();
    if (m_othersChanged)
        othersChanged();
}

bool Table::remove()
{
    requireOpen();
    if (m_readOnly)
        throw DbError(QStringLiteral("Impossibile modificare: la tabella %1 è aperta in sola lettura.").arg(m_def->name));
    if (m_state == State::Insert) {
        cancel();
        return true;
    }
    if (isEmpty())
        throw DbError(QStringLiteral("Impossibile eseguire l'operazione: la tabella %1 è vuota.").arg(m_def->name));
    try {
        react(Reaction::BeforeDelete);
    } catch (const Abort&) {
        return false;
    }
    ensureCurrent();
    const QVariant id = m_state == State::Edit ? m_orig[0] : m_buf[0];
    QSqlQuery& q = prepared(QStringLiteral("DELETE FROM %1 WHERE \"Id\" = ?").arg(quoted(m_def->name)));
    q.addBindValue(id);
    run(q);
    finish(q);
    m_folder->noteWrite(m_fileName);
    m_modified = false;
    setState(State::Browse);
    reselect(-1, m_row);
    loadCurrent();
    announce(true);
    scrolled();
    return true;
}

int Table::writeAll(const QString& fieldName, const QVariant& value)
{
    if (m_readOnly)
        throw DbError(QStringLiteral("Impossibile modificare: la tabella %1 è aperta in sola lettura.").arg(m_def->name));
    const int fi = findField(fieldName);
    if (fi <= 0 || fi >= m_stored)
        throw DbError(QStringLiteral("Campo \"%1\" non trovato nella tabella %2.").arg(fieldName, m_def->name));
    const QVariant v = toStorage(fi, convertIn(fi, value));
    if (server()) {
        writeAllOnServer(fi, v);
        return fi;
    }
    const QString col = quoted(m_fields[fi].name);
    // A whole number is written into the statement itself: only then can
    // SQLite see that `col IS NOT 0` is the condition of a partial index
    // (the selection marks) and visit the marked rows alone.
    const int type = v.typeId();
    const bool literal = !v.isNull()
        && (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Bool || type == QMetaType::UInt
            || type == QMetaType::ULongLong);
    const QString place = literal ? QString::number(v.toLongLong()) : QStringLiteral("?");
    QString sql = QStringLiteral("UPDATE %1 SET %2 = %3 WHERE %2 IS NOT %3").arg(quoted(m_def->name), col, place);
    if (!m_whereSql.isEmpty())
        sql += QStringLiteral(" AND (") + m_whereSql + QLatin1Char(')');
    QSqlQuery& q = prepared(sql);
    if (!literal) {
        q.addBindValue(v);
        q.addBindValue(v);
    }
    for (const QVariant& b : m_whereValues)
        q.addBindValue(b);
    run(q);
    finish(q);
    m_folder->noteWrite(m_fileName);
    return fi;
}

void Table::writeAllOnServer(int fi, const QVariant& v)
{
    const int mf = markField();
    if (fi == mf) {
        // This program's marks only: every record at once is one value that
        // replaces the marks; a selection marks each of its records. Either
        // is one statement, whole by itself (a login sends one, not a
        // transaction of four).
        QList<qint64> marked;
        if (m_whereSql.isEmpty()) {
            QSqlQuery& q = prepared(QStringLiteral("WITH \"segni_tolti\" AS (DELETE FROM %1), \"valore_tolto\" AS (DELETE FROM %2) "
                                                   "INSERT INTO %2 (\"Segno\") VALUES (?)")
                                        .arg(markTable(), markAllTable()));
            q.addBindValue(v);
            run(q);
            finish(q);
        } else {
            QSqlQuery& q = prepared(QStringLiteral("INSERT INTO %1 (\"Id\", \"Segno\") SELECT \"Id\", ? FROM %2 WHERE %3 "
                                                   "ON CONFLICT (\"Id\") DO UPDATE SET \"Segno\" = EXCLUDED.\"Segno\" "
                                                   "RETURNING \"Id\"")
                                        .arg(markTable(), fromSql(), m_whereSql));
            q.addBindValue(v);
            for (const QVariant& b : m_whereValues)
                q.addBindValue(b);
            run(q);
            while (q.next())
                marked << q.value(0).toLongLong();
            runThrough(q);
            finish(q);
        }
        if (m_whereSql.isEmpty())
            m_folder->rememberAllMarks(m_def->name, v);
        else
            m_folder->rememberMarks(m_def->name, marked, v);
        m_folder->noteWrite(m_fileName);
        return;
    }
    const QString col = quoted(m_fields[fi].name);
    QString sql = QStringLiteral("UPDATE %1 SET %2 = ? WHERE %2 IS DISTINCT FROM ?").arg(quoted(m_def->name), col);
    if (!m_whereSql.isEmpty())
        sql += mf >= 0 ? QStringLiteral(" AND \"Id\" IN (SELECT \"Id\" FROM %1 WHERE %2)").arg(fromSql(), m_whereSql)
                       : QStringLiteral(" AND (") + m_whereSql + QLatin1Char(')');
    QSqlQuery& q = prepared(sql);
    q.addBindValue(v);
    q.addBindValue(v);
    for (const QVariant& b : m_whereValues)
        q.addBindValue(b);
    run(q);
    finish(q);
    m_folder->noteWrite(m_fileName);
}

void Table::setAllUnread(const QString& fieldName, const QVariant& value)
{
    if (isOpen()) {
        setAll(fieldName, value);
        return;
    }
    requireBound();
    m_db = m_folder->connection(m_fileName);
    takeWhere();
    try {
        writeAll(fieldName, value);
    } catch (...) {
        m_db = QSqlDatabase();
        throw;
    }
    // Not open: the table keeps no hold on the connection, which goes
    // with its folder.
    m_db = QSqlDatabase();
}

void Table::setAll(const QString& fieldName, const QVariant& value)
{
    requireOpen();
    checkBrowseMode();
    const int fi = writeAll(fieldName, value);
    const QVariant v = toStorage(fi, convertIn(fi, value));
    m_lookupCache.clear();
    // Every selected record now holds the value: the rows in memory are set
    // alike, and the selection is read again only when its order or its
    // filter depends on the field.
    bool reorder = m_whereFields.contains(fi);
    if (const IndexDef* ix = m_indexName.isEmpty() ? nullptr : m_def->index(m_indexName))
        reorder = reorder || ix->fields.contains(m_fields[fi].name, Qt::CaseInsensitive);
    if (reorder) {
        ensureCurrent();
        reselect(m_buf[0].isNull() ? -1 : m_buf[0].toLongLong(), m_row);
    } else {
        const QVariant mem = fromStorage(fi, v);
        for (Values& row : m_page)
            row[fi] = mem;
        if (m_pageWrites + 1 == m_folder->writes(m_fileName))
            ++m_pageWrites;
        m_bufStale = true;
    }
    loadCurrent();
    announce(true);
}

void Table::bindLike(const Table& other, CopyRows rows)
{
    if (isOpen())
        close();
    m_seed.clear();
    m_seeded = rows == CopyRows::Shown && other.isOpen() && other.m_state == State::Browse && !other.m_stale
        && other.m_complete && other.m_folder && other.m_pageWrites == other.m_folder->writes(other.m_fileName);
    if (m_seeded) {
        m_seed = other.m_page;
        m_seedKey = other.m_pageSqlKey;
        m_seedValues = other.m_whereValues;
        m_seedWrites = other.m_pageWrites;
    }
    setDataFolder(other.m_folder);
    setTableName(other.m_fileName);
    m_indexName = other.m_indexName;
    m_filter = other.m_filter;
    m_filtered = other.m_filtered;
    // The filter text was read already: the copy takes it as it is.
    m_compiled = other.m_compiled;
    m_compiledText = other.m_compiledText;
    m_compiledDef = other.m_compiledDef;
    m_compiledEngine = other.m_compiledEngine;
}

void Table::takeWhere()
{
    if (m_filtered) {
        const CompiledFilter& f = compiled();
        m_whereSql = f.sql;
        m_whereValues = f.values;
        m_whereFields = f.fields;
    } else {
        m_whereSql.clear();
        m_whereValues.clear();
        m_whereFields.clear();
    }
}

void Table::adoptSeed()
{
    const bool fits = m_seeded && m_seedKey == m_whereSql + QLatin1Char('\x1f') + m_indexName
        && m_seedValues == m_whereValues && m_folder && m_seedWrites == m_folder->writes(m_fileName);
    m_seeded = false;
    if (!fits) {
        m_seed.clear();
        return;
    }
    // What reload() would have read: the whole selection, in order.
    m_page = std::move(m_seed);
    m_seed.clear();
    m_complete = true;
    m_ids.clear();
    m_idsLoaded = false;
    m_lookupCache.clear();
    m_pageWrites = m_folder->writes(m_fileName);
    m_stale = false;
}

const CompiledFilter& Table::compiled()
{
    const Engine engine = m_folder ? m_folder->engine() : Engine::SQLite;
    if (m_compiledDef != m_def || m_compiledText != m_filter || m_compiledText.isNull() != m_filter.isNull()
        || m_compiledEngine != engine) {
        FilterDialect dialect;
        dialect.engine = engine;
        if (const int mf = markField(); mf >= 0)
            dialect.columns.insert(mf, markExpression());
        m_compiled = compileFilter(m_filter, *m_def, dialect);
        m_compiledEngine = engine;
        m_compiledText = m_filter;
        m_compiledDef = m_def;
    }
    return m_compiled;
}

int appendRecord(DataFolder& folder, const QString& file, const QVariantMap& values)
{
    Table t;
    t.setDataFolder(&folder);
    t.setTableName(file);
    t.open();
    t.append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        t.setValue(it.key(), it.value());
    t.post();
    return t.asInteger(QStringLiteral("Id"));
}

} // namespace velmora::store
