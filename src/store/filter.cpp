#include "filter.h"
#include "errors.h"
#include "fieldtext.h"
#include "schema.h"

#include <QDate>

#include <algorithm>
#include <vector>

namespace velmora::store {

namespace {

enum class Tok { End, Ident, Number, String, LParen, RParen, Op };

struct Token
{
    Tok kind = Tok::End;
    QString text;
    int pos = 0;
};

// Parentheses and "not" nest at most this deep in a filter text.
constexpr int maxNesting = 100;
// SQLite reads a condition with a parser of bounded depth and refuses an
// expression tree deeper than a thousand: "and"/"or" groups inside one
// another, long lists counted as groups of `groupSize`, are kept within both.
constexpr int maxGroupLevels = 20;
constexpr int groupSize = 32;
constexpr int maxValues = 30000; // SQLite binds at most 32,766
// How much of a filter text an error message quotes.
constexpr int quotedLength = 200;

// A condition as read: a comparison, or a group of conditions that must all
// hold (and) or of which one must hold (or).
struct Node
{
    enum Kind { Leaf, All, Any };

    Node() = default;
    explicit Node(Kind k) : kind(k) {}

    // A group takes the members of a group of its own kind: "a or (b or c)"
    // is one list of three alternatives.
    void add(Node&& n)
    {
        if (n.kind == kind) {
            for (Node& k : n.kids)
                kids.push_back(std::move(k));
        } else {
            kids.push_back(std::move(n));
        }
    }
    Node single() { return kids.size() == 1 ? std::move(kids.front()) : std::move(*this); }

    Kind kind = Leaf;
    QString sql;            // a comparison, '?' for its value
    QVariantList values;    // the comparison's values, in order
    std::vector<Node> kids; // the members of a group
};

QString writeGroup(const std::vector<Node>& kids, size_t from, size_t to, const QString& op,
                   QVariantList& values, int& levels);

// The SQL text of `n`, its values appended to `values` in the order of their
// placeholders; `levels` is how deep its groups go.
QString write(const Node& n, QVariantList& values, int& levels)
{
    levels = 0;
    if (n.kind == Node::Leaf) {
        values << n.values;
        return n.sql;
    }
    return writeGroup(n.kids, 0, n.kids.size(), n.kind == Node::All ? QStringLiteral(" AND ") : QStringLiteral(" OR "),
                      values, levels);
}

// Writes `kids[from, to)` joined by `op`, in parentheses. A list longer than
// `groupSize` is split into even slices, each a group of its own, so that no
// chain grows the expression tree by more than `groupSize`.
QString writeGroup(const std::vector<Node>& kids, size_t from, size_t to, const QString& op,
                   QVariantList& values, int& levels)
{
    const size_t size = groupSize;
    const size_t count = to - from;
    QStringList parts;
    int deepest = 0;
    if (count <= size) {
        for (size_t i = from; i < to; ++i) {
            int l = 0;
            parts << write(kids[i], values, l);
            deepest = std::max(deepest, l);
        }
    } else {
        const size_t slices = std::min((count + size - 1) / size, size);
        for (size_t k = 0; k < slices; ++k) {
            int l = 0;
            parts << writeGroup(kids, from + count * k / slices, from + count * (k + 1) / slices, op, values, l);
            deepest = std::max(deepest, l);
        }
    }
    levels = deepest + 1;
    return QLatin1Char('(') + parts.join(op) + QLatin1Char(')');
}

class Parser
{
public:
    Parser(const QString& text, const TableDef& table, const FilterDialect& dialect)
        : m_text(text), m_table(table), m_dialect(dialect)
    {
        advance();
    }

    CompiledFilter run()
    {
        if (m_tok.kind == Tok::End)
            return {};
        const Node root = condition(false);
        if (m_tok.kind != Tok::End)
            fail(QStringLiteral("testo inatteso \"%1\"").arg(m_tok.text));
        int levels = 0;
        m_out.sql = write(root, m_out.values, levels);
        if (levels > maxGroupLevels)
            fail(QStringLiteral("condizione troppo complessa: troppi gruppi di \"and\" e \"or\" uno dentro "
                                "l'altro (al massimo %1)").arg(maxGroupLevels));
        return m_out;
    }

private:
    [[noreturn]] void fail(const QString& why) const
    {
        // All at once: a filter text holding "%1" stays as it was typed. A
        // very long text is quoted by its beginning only.
        const QString shown = m_text.size() > quotedLength ? cutToLength(m_text, quotedLength) + QChar(0x2026) : m_text;
        throw DbError(QStringLiteral("Errore nel filtro \"%1\" (posizione %2): %3.")
                          .arg(shown, QString::number(m_tok.pos + 1), why));
    }

    bool isKeyword(const char* kw) const
    {
        return m_tok.kind == Tok::Ident && m_tok.text.compare(QLatin1String(kw), Qt::CaseInsensitive) == 0;
    }

    void advance()
    {
        const int n = m_text.size();
        while (m_pos < n && m_text[m_pos].isSpace())
            ++m_pos;
        m_tok = Token();
        m_tok.pos = m_pos;
        if (m_pos >= n)
            return;
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char('(')) { m_tok.kind = Tok::LParen; m_tok.text = c; ++m_pos; return; }
        if (c == QLatin1Char(')')) { m_tok.kind = Tok::RParen; m_tok.text = c; ++m_pos; return; }
        if (c == QLatin1Char('=')) { m_tok.kind = Tok::Op; m_tok.text = c; ++m_pos; return; }
        if (c == QLatin1Char('<') || c == QLatin1Char('>')) {
            m_tok.kind = Tok::Op;
            m_tok.text = c;
            ++m_pos;
            if (m_pos < n && (m_text[m_pos] == QLatin1Char('=') || (c == QLatin1Char('<') && m_text[m_pos] == QLatin1Char('>'))))
                m_tok.text += m_text[m_pos++];
            return;
        }
        if (c == QLatin1Char('\'')) {
            // Never a null string, even for '': the SQLite driver binds a null
            // QString as NULL, and "field <> ''" would then select nothing.
            QString s = QStringLiteral("");
            ++m_pos;
            for (;;) {
                if (m_pos >= n) {
                    m_tok.text = QStringLiteral("'");
                    fail(QStringLiteral("testo tra apici non chiuso"));
                }
                if (m_text[m_pos] == QLatin1Char('\'')) {
                    if (m_pos + 1 < n && m_text[m_pos + 1] == QLatin1Char('\'')) {
                        s += QLatin1Char('\'');
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                s += m_text[m_pos++];
            }
            m_tok.kind = Tok::String;
            m_tok.text = s;
            return;
        }
        if (c.isDigit()) {
            const int start = m_pos;
            while (m_pos < n && m_text[m_pos].isDigit())
                ++m_pos;
            if (m_pos + 1 < n && m_text[m_pos] == QLatin1Char('.') && m_text[m_pos + 1].isDigit()) {
                ++m_pos;
                while (m_pos < n && m_text[m_pos].isDigit())
                    ++m_pos;
            }
            m_tok.kind = Tok::Number;
            m_tok.text = m_text.mid(start, m_pos - start);
            return;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            const int start = m_pos;
            while (m_pos < n && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == QLatin1Char('_')))
                ++m_pos;
            m_tok.kind = Tok::Ident;
            m_tok.text = m_text.mid(start, m_pos - start);
            return;
        }
        m_tok.text = c;
        fail(QStringLiteral("carattere non valido \"%1\"").arg(c));
    }

    // Parentheses and "not" nest by recursion: past a fixed depth the text is
    // refused like any other it cannot read, before the stack runs out.
    void enterNesting()
    {
        if (++m_depth > maxNesting)
            fail(QStringLiteral("troppe parentesi o \"not\" uno dentro l'altro (al massimo %1)").arg(maxNesting));
    }

    // A list of alternatives, read with the "not"s that apply to it already
    // pushed down to its comparisons ("not (a or b)" is "not a and not b"),
    // so that no "not" reaches the SQL text and nesting them costs nothing
    // there. With unset values this selects exactly what NOT would.
    Node condition(bool negated)
    {
        Node group(negated ? Node::All : Node::Any);
        group.add(term(negated));
        while (isKeyword("or")) {
            advance();
            group.add(term(negated));
        }
        return group.single();
    }

    Node term(bool negated)
    {
        Node group(negated ? Node::Any : Node::All);
        group.add(factor(negated));
        while (isKeyword("and")) {
            advance();
            group.add(factor(negated));
        }
        return group.single();
    }

    Node factor(bool negated)
    {
        if (isKeyword("not")) {
            enterNesting();
            advance();
            Node inner = factor(!negated);
            --m_depth;
            return inner;
        }
        if (m_tok.kind == Tok::LParen) {
            enterNesting();
            advance();
            Node inner = condition(negated);
            if (m_tok.kind != Tok::RParen)
                fail(QStringLiteral("manca \")\""));
            advance();
            --m_depth;
            return inner;
        }
        return comparison(negated);
    }

    int field()
    {
        if (m_tok.kind != Tok::Ident || isReserved())
            fail(m_tok.kind == Tok::End ? QStringLiteral("condizione incompleta")
                                        : QStringLiteral("atteso il nome di un campo invece di \"%1\"").arg(m_tok.text));
        const int i = m_table.fieldIndex(m_tok.text);
        if (i < 0)
            fail(QStringLiteral("il campo \"%1\" non esiste nella tabella %2").arg(m_tok.text, m_table.name));
        advance();
        m_out.fields.insert(i);
        return i;
    }

    bool isReserved() const
    {
        return isKeyword("and") || isKeyword("or") || isKeyword("not") || isKeyword("is")
            || isKeyword("null") || isKeyword("true") || isKeyword("false");
    }

    // The operator that selects exactly the rows `op` leaves out, rows where
    // a value is unset aside: those satisfy neither.
    static QString opposite(const QString& op)
    {
        if (op == QLatin1String("="))
            return QStringLiteral("<>");
        if (op == QLatin1String("<>"))
            return QStringLiteral("=");
        if (op == QLatin1String("<"))
            return QStringLiteral(">=");
        if (op == QLatin1String(">="))
            return QStringLiteral("<");
        if (op == QLatin1String(">"))
            return QStringLiteral("<=");
        return QStringLiteral(">"); // "<="
    }

    Node comparison(bool negated)
    {
        const int fi = field();
        const FieldDef& f = m_table.fields[fi];
        const QString col = column(fi);
        Node leaf;
        if (isKeyword("is")) {
            advance();
            bool isNot = false;
            if (isKeyword("not")) {
                isNot = true;
                advance();
            }
            if (!isKeyword("null"))
                fail(QStringLiteral("atteso \"null\""));
            advance();
            leaf.sql = col + (isNot != negated ? QStringLiteral(" IS NOT NULL") : QStringLiteral(" IS NULL"));
            return leaf;
        }
        if (m_tok.kind != Tok::Op) {
            if (f.type != FieldType::Boolean)
                fail(QStringLiteral("il campo \"%1\" non è logico e non può stare da solo come condizione").arg(f.name));
            if (server())
                leaf.sql = col + (negated ? QStringLiteral(" <> TRUE") : QStringLiteral(" = TRUE"));
            else
                leaf.sql = col + (negated ? QStringLiteral(" <> 1") : QStringLiteral(" = 1"));
            return leaf;
        }
        const QString op = negated ? opposite(m_tok.text) : m_tok.text;
        advance();
        if (m_tok.kind == Tok::Ident && !isReserved()) {
            const int other = field();
            leaf.sql = QStringLiteral("%1 %2 %3").arg(col, op, column(other));
            return leaf;
        }
        leaf.values << value(f);
        if (++m_valueCount > maxValues)
            fail(QStringLiteral("troppi valori da confrontare (al massimo %1)").arg(maxValues));
        leaf.sql = QStringLiteral("%1 %2 ?").arg(col, op);
        return leaf;
    }

    bool server() const { return m_dialect.engine == Engine::PostgreSQL; }

    // The SQL text that reads field `fi`: its quoted name, or the expression
    // the dialect gives for it.
    QString column(int fi) const
    {
        const auto it = m_dialect.columns.constFind(fi);
        return it != m_dialect.columns.constEnd() ? it.value() : quoted(m_table.fields[fi].name);
    }

    // The literal that follows an operator, converted to what the field
    // stores: a server binds a Boolean field's value as a Boolean.
    QVariant value(const FieldDef& f)
    {
        QVariant v = literal(f);
        if (server() && f.type == FieldType::Boolean && !v.isNull())
            return QVariant(v.toDouble() != 0);
        return v;
    }

    QVariant literal(const FieldDef& f)
    {
        const Token t = m_tok;
        if (t.kind == Tok::Ident && (isKeyword("true") || isKeyword("false"))) {
            advance();
            const bool b = t.text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            if (f.type == FieldType::Boolean || f.type == FieldType::Integer || f.type == FieldType::AutoInc)
                return b ? 1 : 0;
            return b ? QStringLiteral("True") : QStringLiteral("False");
        }
        if (t.kind != Tok::Number && t.kind != Tok::String)
            fail(t.kind == Tok::End ? QStringLiteral("manca il valore da confrontare")
                                    : QStringLiteral("valore non valido \"%1\"").arg(t.text));
        advance();
        switch (f.type) {
        case FieldType::AutoInc:
        case FieldType::Integer:
        case FieldType::Boolean: {
            bool ok = false;
            const qlonglong v = t.text.trimmed().toLongLong(&ok);
            if (ok)
                return v;
            const double d = t.text.trimmed().toDouble(&ok);
            if (ok)
                return d;
            break;
        }
        case FieldType::Float: {
            bool ok = false;
            const double d = t.text.trimmed().toDouble(&ok);
            if (ok)
                return d;
            break;
        }
        case FieldType::Date: {
            QDate d = QDate::fromString(t.text.trimmed(), Qt::ISODate);
            if (!d.isValid())
                d = QDate::fromString(t.text.trimmed(), QStringLiteral("dd/MM/yyyy"));
            if (d.isValid())
                return d.toString(Qt::ISODate);
            break;
        }
        case FieldType::String:
        case FieldType::Memo:
            return t.text;
        }
        fail(QStringLiteral("\"%1\" non è un valore valido per il campo \"%2\"").arg(t.text, f.name));
    }

    QString m_text;
    const TableDef& m_table;
    const FilterDialect& m_dialect;
    int m_pos = 0;
    int m_depth = 0;      // parentheses and "not"s open at this point
    int m_valueCount = 0; // values bound so far
    Token m_tok;
    CompiledFilter m_out;
};

} // namespace

CompiledFilter compileFilter(const QString& text, const TableDef& table, const FilterDialect& dialect)
{
    return Parser(text, table, dialect).run();
}

} // namespace velmora::store
