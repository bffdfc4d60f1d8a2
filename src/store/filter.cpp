#include "filter.h"
#include "errors.h"
#include "schema.h"

#include <QDate>

namespace velmora::store {

namespace {

enum class Tok { End, Ident, Number, String, LParen, RParen, Op };

struct Token
{
    Tok kind = Tok::End;
    QString text;
    int pos = 0;
};

class Parser
{
public:
    Parser(const QString& text, const TableDef& table)
        : m_text(text), m_table(table)
    {
        advance();
    }

    CompiledFilter run()
    {
        if (m_tok.kind == Tok::End)
            return {};
        m_out.sql = condition();
        if (m_tok.kind != Tok::End)
            fail(QStringLiteral("testo inatteso \"%1\"").arg(m_tok.text));
        return m_out;
    }

private:
    [[noreturn]] void fail(const QString& why) const
    {
        throw DbError(QStringLiteral("Errore nel filtro \"%1\" (posizione %2): %3.")
                          .arg(m_text).arg(m_tok.pos + 1).arg(why));
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

    QString condition()
    {
        QString sql = term();
        while (isKeyword("or")) {
            advance();
            sql = QStringLiteral("(%1 OR %2)").arg(sql, term());
        }
        return sql;
    }

    QString term()
    {
        QString sql = factor();
        while (isKeyword("and")) {
            advance();
            sql = QStringLiteral("(%1 AND %2)").arg(sql, factor());
        }
        return sql;
    }

    QString factor()
    {
        if (isKeyword("not")) {
            advance();
            return QStringLiteral("(NOT %1)").arg(factor());
        }
        if (m_tok.kind == Tok::LParen) {
            advance();
            const QString inner = condition();
            if (m_tok.kind != Tok::RParen)
                fail(QStringLiteral("manca \")\""));
            advance();
            return inner;
        }
        return comparison();
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

    QString comparison()
    {
        const int fi = field();
        const FieldDef& f = m_table.fields[fi];
        const QString col = quoted(f.name);
        if (isKeyword("is")) {
            advance();
            bool negate = false;
            if (isKeyword("not")) {
                negate = true;
                advance();
            }
            if (!isKeyword("null"))
                fail(QStringLiteral("atteso \"null\""));
            advance();
            return col + (negate ? QStringLiteral(" IS NOT NULL") : QStringLiteral(" IS NULL"));
        }
        if (m_tok.kind != Tok::Op) {
            if (f.type != FieldType::Boolean)
                fail(QStringLiteral("il campo \"%1\" non è logico e non può stare da solo come condizione").arg(f.name));
            return col + QStringLiteral(" = 1");
        }
        QString op = m_tok.text;
        advance();
        if (m_tok.kind == Tok::Ident && !isReserved()) {
            const int other = field();
            return QStringLiteral("%1 %2 %3").arg(col, op, quoted(m_table.fields[other].name));
        }
        m_out.values << value(f);
        return QStringLiteral("%1 %2 ?").arg(col, op);
    }

    // The literal that follows an operator, converted to what the field stores.
    QVariant value(const FieldDef& f)
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
    int m_pos = 0;
    Token m_tok;
    CompiledFilter m_out;
};

} // namespace

CompiledFilter compileFilter(const QString& text, const TableDef& table)
{
    return Parser(text, table).run();
}

} // namespace velmora::store
