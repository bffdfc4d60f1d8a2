#pragma once
#include "errors.h"
#include "filter.h"
#include "schema.h"

#include <QDate>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include <array>
#include <functional>
#include <vector>

namespace velmora::store {

class DataFolder;
class Table;

enum class FieldKind { Stored, Calculated, Lookup };

// A handle on one field of a table object's current record. Cheap to copy;
// valid as long as the table object lives and keeps its field list.
class Field
{
public:
    Field() = default;
    Field(Table* table, int index) : m_table(table), m_index(index) {}

    QString name() const;
    FieldType type() const;
    FieldKind kind() const;
    int size() const;
    QString displayLabel() const;
    int index() const { return m_index; }

    QVariant value() const;
    void setValue(const QVariant& v);
    void clear() { setValue(QVariant()); }
    bool isNull() const;

    // Conversions as the user sees them: an unset value reads as "" or 0.
    QString asString() const;
    int asInteger() const;
    double asFloat() const;
    bool asBoolean() const;
    QDate asDate() const;

private:
    Table* m_table = nullptr;
    int m_index = -1;
};

// A table object: one table of the data folder seen through a cursor, with a
// named index, a text filter, edit states, calculated and lookup fields and
// event reactions. Only the keys of the selected rows are kept in memory, and
// for small selections (up to pageSize rows) their stored values as well.
//
// Events run synchronously on the calling thread. An onNewRecord or
// beforeDelete reaction may throw Abort to cancel, silently, the insertion or
// deletion that raised it. Errors of the engine are thrown as DbError.
class Table : public QObject
{
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert, CalcFields };
    using Handler = std::function<void(Table&)>;
    static constexpr int pageSize = 1000;

    explicit Table(const QString& name = QString(), QObject* parent = nullptr);
    ~Table() override;

    // Binding. The file name is looked up in the folder without regard to case.
    void setDataFolder(DataFolder* folder);
    DataFolder* dataFolder() const { return m_folder; }
    void setTableName(const QString& fileName);
    QString tableName() const { return m_fileName; }
    const TableDef* definition() const { return m_def; }

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    void open();
    void close(); // a pending insert or edit is discarded
    void setActive(bool active) { active ? open() : close(); }
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // The named index that orders the rows; empty = ascending Id. Changing it
    // on an open table keeps the current record current, with no scroll event.
    void setIndexName(const QString& name);
    QString indexName() const { return m_indexName; }

    // A filter is set in three steps: setFiltered(false), setFilter(text),
    // setFiltered(true). Switching it on posts a pending change (or drops an
    // empty one), goes to the first selected record and runs afterScroll,
    // also when nothing is selected.
    void setFilter(const QString& text);
    QString filter() const { return m_filter; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }

    // Cursor.
    void first();
    void last();
    void next();
    void prior();
    bool locate(const QString& fieldName, const QVariant& value);
    bool isBof() const;
    bool isEof() const;
    bool isEmpty() const;
    int recordCount() const;
    int recNo() const; // position of the current record, -1 when none
    // Reads the selection again, keeping the current record. After a post
    // refused because another program changed the record, the edit is given
    // up and the stored values shown.
    void refresh();

    // Another program changed the rows of this table (on a server, told by
    // the folder). A table in browse reads its selection again, keeping the
    // current record, as refresh() does, once the event loop runs; one being
    // edited or inserted into does so after its post or cancel, and one
    // whose controls are disabled (a walk in progress) when they are
    // enabled again. Several announcements in a row cost one read.
    void othersChanged();

    // Fields of the current record.
    int fieldCount() const { return int(m_fields.size()); }
    int storedFieldCount() const;
    int findField(const QString& name) const; // -1 when none
    Field fieldByName(const QString& name);   // throws DbError when none
    Field field(int index) { return Field(this, index); }
    QVariant value(const QString& name) const;
    void setValue(const QString& name, const QVariant& v);
    QString asString(const QString& name) const;
    int asInteger(const QString& name) const;
    bool asBoolean(const QString& name) const;
    bool isNull(const QString& name) const;

    // Fields that are not stored: a calculated field is filled by onCalcFields
    // each time a record is read; a lookup field takes `resultField` of the
    // record of `source` whose `sourceKey` equals this record's `keyField`,
    // under `source`'s current filter, cut to `size` characters.
    void addCalculatedField(const QString& name, FieldType type, int size = 0);
    void addLookupField(const QString& name, int size, const QString& keyField, Table* source,
                        const QString& sourceKey, const QString& resultField);
    void setDisplayLabel(const QString& fieldName, const QString& label);
    void setFieldChangeHandler(const QString& fieldName, Handler handler);

    // States. insert/append return false when a reaction cancelled them;
    // remove returns false when beforeDelete cancelled it.
    //
    // post() of an edit first checks, in the same transaction, that the
    // stored record still holds the values it was read with: when another
    // program changed or deleted it meanwhile, the post is refused with
    // DbError (cause Changed) and the record stays being edited with what
    // was typed; cancel() or refresh() then show the stored values.
    bool append();
    bool insert();
    void edit();
    void post();
    void cancel();
    bool remove();
    bool isModified() const { return m_modified; }

    // Reactions: one slot each, and one owner each. setReaction sets `slot`
    // for `owner` (the screen that holds the handler); the same owner may set
    // it again or clear it (an empty handler), but a slot already set by
    // another owner is refused with std::logic_error naming the table and
    // the slot, instead of silently leaving the first owner without its
    // follow-up. The handlers are reached only through here.
    enum class Reaction { OnNewRecord, AfterInsert, AfterEdit, AfterScroll, AfterPost, BeforeDelete, OnCalcFields };
    static constexpr int reactionCount = 7;
    void setReaction(Reaction slot, const void* owner, Handler handler);
    // Lets go of `slot`: returns its handler and leaves the slot empty and
    // without owner. For a test that watches a screen's reaction run: it sets
    // the slot again, as its own owner, with a handler that counts and then
    // calls the one given back.
    Handler releaseReaction(Reaction slot);

    // Checks run before every post, in the order added: one may throw
    // DbError to refuse the post, which leaves the record being edited (an
    // edit control still holding text it could not store refuses so). A
    // check ends with its owner.
    void addPostCheck(QObject* owner, std::function<void()> check);
    void removePostChecks(QObject* owner);

    // A free integer the program uses as a mode flag.
    int tag = 0;

    // While controls are disabled (nested), no change is announced to them;
    // enabling them again announces the whole data set once. controlsFrozen
    // tells the controls when the first disabling begins (before anything
    // changes, so they can keep what they show) and when the last one ends
    // (before the data set is announced again).
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_frozen > 0; }

    // Binds this object as a copy cursor over `other`: same folder, file,
    // index and filter. Opening and walking it moves nothing of `other`.
    // With CopyRows::Shown, a copy opened with that filter and index starts
    // from the rows `other` holds, without reading the file again, when
    // `other` holds its whole selection, is not being edited, and nothing
    // was written to the file through this folder since it read them: for
    // a walk over exactly what `other` shows (a total of the rows on
    // screen). Otherwise, and with CopyRows::Read, it reads the file.
    enum class CopyRows { Read, Shown };
    void bindLike(const Table& other, CopyRows rows = CopyRows::Read);

    // Row access for grids: the value of a field in row `row` of the
    // selection, calculated and lookup fields included, without moving the
    // cursor or running any event but onCalcFields.
    int rowCount() const { return recordCount(); }
    QVariant valueAt(int row, int field) const;
    // What a grid can show without reading every key of a large selection:
    // the rows known so far (the whole selection when it fits in one page or
    // its keys were read; otherwise the first page), always covering the
    // current record. isCountKnown() tells whether that is the whole count;
    // recordCount() reads the keys when it is not.
    int knownRowCount() const;
    bool isCountKnown() const;
    // Whether a record follows row `row` of the selection, answered from the
    // rows known (the page is read one row past its size for that).
    bool hasRowAfter(int row) const;

    // Sets one stored field of every selected record in one statement and one
    // transaction, without moving the cursor or running any event.
    void setAll(const QString& fieldName, const QVariant& value);

    // The same statement on a bound table object that is not open: every
    // record the filter selects (all of the file when unfiltered) gets the
    // value, and no row is read, whatever the size of the file.
    void setAllUnread(const QString& fieldName, const QVariant& value);

signals:
    void dataSetChanged();  // rows, order or open state changed
    void recordChanged();   // the current record moved or one of its values changed
    void stateChanged();
    void controlsFrozen(bool frozen);

private:
    friend class Field;
    struct FieldMeta
    {
        QString name;
        FieldType type;
        int size = 0;
        FieldKind kind = FieldKind::Stored;
        QString label;
        int keyField = -1;
        Table* source = nullptr;
        QString sourceKey;
        QString result;
        Handler onChange;
    };
    using Values = QVector<QVariant>;

    void requireOpen() const;
    void requireBound() const;
    void resetFields();
    void checkBrowseMode();
    void scrolled();
    void announce(bool wholeSet);
    void announceLater();
    void setState(State s);

    // Selection.
    void ensureFresh() const;
    void reload() const;
    void ensureIds() const;
    qint64 idAt(int row) const;
    Values storedAt(int row) const;
    Values blockRow(int row) const;
    Values fetchById(qint64 id, bool forUpdate = false) const;
    int rowOfId(qint64 id) const;
    QString orderBy() const;
    QString selectColumns() const;
    // The dialect of the engine (all SQL of the layer is written here):
    bool server() const;
    int markField() const;          // the field kept per program on a server, -1 when none
    QString markTable() const;      // this program's marks
    QString markAllTable() const;   // the value this program gave every record at once
    QString markExpression() const; // what the mark field reads
    QString columnRef(int field) const; // a stored field in a condition
    QString fromSql() const;        // the table, joined with this program's marks
    void inTransaction(const std::function<void()>& work);
    qint64 insertRow(const QString& sql, const QVariantList& values); // the new Id
    void writeMark(qint64 id, const QVariant& value);
    void writeAllOnServer(int field, const QVariant& storedValue);
    void loadCurrent() const;
    void reselect(qint64 id, int oldRow) const;
    void ensureCurrent() const;
    void positionFirst() const;
    void complete(Values& v) const; // lookups and calculated fields
    QVariant lookup(const FieldMeta& f, const Values& v) const;
    QVariant lookupIn(const QString& keyField, const QVariant& key, const QString& resultField) const;
    QVariant toStorage(int index, const QVariant& v) const;
    QVariant fromStorage(int index, const QVariant& v) const;
    QVariant convertIn(int index, const QVariant& v) const;
    QSqlQuery& prepared(const QString& sql) const;
    void run(QSqlQuery& q) const;        // executes; throws DbError naming the file and the cause
    void finish(QSqlQuery& q) const;     // done with a statement's rows, read or not
    DbError failure(const QSqlError& e) const; // the error to throw; a lost connection is opened again first
    void catchUp();                      // the refresh othersChanged() asked for, when it can happen
    void runThrough(QSqlQuery& q) const; // after reading rows: throws when the walk ended on an error
    void applyFilterNow();
    void adoptSeed(); // in open(): the rows bindLike() handed over, when they still fit
    void takeWhere(); // the condition of the filter, when switched on, for the statements
    int writeAll(const QString& fieldName, const QVariant& value); // setAll's statement; the field's index
    const CompiledFilter& compiled(); // the filter text read once per text
    bool beginInsert();

    QString m_fileName;
    DataFolder* m_folder = nullptr;
    const TableDef* m_def = nullptr;
    bool m_readOnly = false;
    State m_state = State::Inactive;
    QString m_indexName;
    QString m_filter;
    bool m_filtered = false;
    QString m_whereSql;
    QVariantList m_whereValues;
    QSet<int> m_whereFields;
    CompiledFilter m_compiled;
    QString m_compiledText;
    const TableDef* m_compiledDef = nullptr;
    Engine m_compiledEngine = Engine::SQLite;
    mutable QString m_pageSql;
    mutable QString m_pageSqlKey;

    std::vector<FieldMeta> m_fields;
    int m_stored = 0;

    // The selection, read lazily: m_page holds the stored values of the first
    // rows; m_ids all keys, read only when a row past the page is needed.
    mutable bool m_stale = true;
    mutable std::vector<Values> m_page;
    mutable bool m_complete = false;
    mutable std::vector<qint32> m_ids;
    mutable bool m_idsLoaded = false;
    mutable quint64 m_pageWrites = 0; // the folder's write count for the file when the rows were read
    // The condition, index and values the rows held were read with; empty
    // when none are held whole (closed, or a read that failed).
    mutable QString m_heldKey;
    mutable QVariantList m_heldValues;
    // Rows past the page, read blockRows keys at a time as a walk or a grid
    // reaches them (one statement per block, not one per row: on a server
    // each statement is a round trip). m_blockIds are the keys the block was
    // read for; it is read again once the file was written.
    static constexpr int blockRows = 100;
    mutable std::vector<Values> m_block;
    mutable std::vector<qint32> m_blockIds;
    mutable int m_blockStart = -1;
    mutable quint64 m_blockWrites = 0;

    // Rows handed over by bindLike(…, CopyRows::Shown), with the statement
    // and values they were read with; taken or dropped by the next open().
    std::vector<Values> m_seed;
    bool m_seeded = false;
    QString m_seedKey;
    QVariantList m_seedValues;
    quint64 m_seedWrites = 0;

    mutable int m_row = -1;
    mutable bool m_bof = true;
    mutable bool m_eof = true;
    mutable Values m_buf;  // the current record, or the record being edited
    mutable bool m_bufStale = true;
    Values m_orig; // its stored values before editing
    mutable Values* m_cur = &m_buf;
    mutable QHash<QString, QVariant> m_lookupCache;
    QSqlDatabase m_db;
    bool m_modified = false;
    bool m_conflict = false; // the last post was refused: the record changed on disk
    bool m_othersChanged = false; // another program changed the rows since they were read
    bool m_catchUpQueued = false;
    bool m_inTransaction = false;
    int m_frozen = 0;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_postChecks;
    void react(Reaction slot);
    std::array<Handler, reactionCount> m_reactions;
    std::array<const void*, reactionCount> m_reactionOwners{};
    bool m_pendingAnnounce = false;
    quint64 m_announced = 0; // whole-set announcements made so far
};

// Appends one record with `values` to the table file `file` of `folder`,
// through a table object of its own, and returns its Id. For laying data
// (tools, benchmarks, tests), not for the program's screens.
int appendRecord(DataFolder& folder, const QString& file, const QVariantMap& values);

} // namespace velmora::store
