#include "datanavigator.h"
#include "dataedits.h"

#include "datahelpers.h"
#include "dialogs.h"
#include "errors.h"
#include "keyboard.h"
#include "table.h"

#include <QResizeEvent>
#include <QToolButton>

namespace velmora {

namespace {

QString glyph(DataNavigator::Button b)
{
    using B = DataNavigator::Button;
    switch (b) {
    case B::First: return QStringLiteral("|◀");
    case B::Prior: return QStringLiteral("◀");
    case B::Next: return QStringLiteral("▶");
    case B::Last: return QStringLiteral("▶|");
    case B::Insert: return QStringLiteral("+");
    case B::Delete: return QStringLiteral("−");
    case B::Edit: return QStringLiteral("✎");
    case B::Post: return QStringLiteral("✔");
    case B::Cancel: return QStringLiteral("✖");
    case B::Refresh: return QStringLiteral("⟳");
    }
    return QString();
}

} // namespace

QList<DataNavigator::Button> DataNavigator::allButtons()
{
    return {Button::First, Button::Prior, Button::Next, Button::Last, Button::Insert,
            Button::Delete, Button::Edit, Button::Post, Button::Cancel, Button::Refresh};
}

QString DataNavigator::defaultHint(Button b)
{
    switch (b) {
    case Button::First: return QStringLiteral("Primo");
    case Button::Prior: return QStringLiteral("Precedente");
    case Button::Next: return QStringLiteral("Successivo");
    case Button::Last: return QStringLiteral("Ultimo");
    case Button::Insert: return QStringLiteral("Inserisci");
    case Button::Delete: return QStringLiteral("Elimina");
    case Button::Edit: return QStringLiteral("Modifica");
    case Button::Post: return QStringLiteral("Conferma");
    case Button::Cancel: return QStringLiteral("Annulla");
    case Button::Refresh: return QStringLiteral("Aggiorna");
    }
    return QString();
}

DataNavigator::DataNavigator(QWidget* parent) : QWidget(parent)
{
    for (Button b : allButtons()) {
        // Reached with Tab, pressed with Return or Space, a dotted rectangle
        // inside it while it has the focus.
        auto* tb = new KeyButton(this, 2);
        tb->setText(glyph(b));
        tb->setToolTip(defaultHint(b));
        tb->setStatusTip(defaultHint(b));
        tb->setAutoRaise(false);
        // The navigator gives each button its share of the width, however
        // narrow: the button must not ask for more.
        tb->setMinimumSize(0, 0);
        connect(tb, &QToolButton::clicked, this, [this, b] { trigger(b); });
        m_buttons.insert(b, tb);
    }
    layButtons();
    updateButtons();
}

QSize DataNavigator::sizeHint() const
{
    return QSize(25 * qMax<qsizetype>(1, visibleButtons().size()), 25);
}

void DataNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layButtons();
}

void DataNavigator::layButtons()
{
    // Equal parts of the whole width, the remainder spread one pixel at a
    // time, so that the last button ends exactly at the right edge.
    const QList<Button> shown = visibleButtons();
    const int n = int(shown.size());
    const int w = width();
    const int h = height();
    for (int i = 0; i < n; ++i) {
        const int left = i * w / n;
        const int right = (i + 1) * w / n;
        m_buttons[shown[i]]->setGeometry(left, 0, right - left, h);
    }
}

void DataNavigator::setTable(store::Table* table)
{
    for (auto& c : m_conn)
        disconnect(c);
    m_table = table;
    if (table) {
        m_conn[0] = connect(table, &store::Table::dataSetChanged, this, &DataNavigator::updateButtons);
        m_conn[1] = connect(table, &store::Table::recordChanged, this, &DataNavigator::updateButtons);
        m_conn[2] = connect(table, &store::Table::stateChanged, this, &DataNavigator::updateButtons);
    }
    updateButtons();
}

void DataNavigator::setVisibleButtons(const QList<Button>& buttons)
{
    for (Button b : allButtons())
        m_buttons[b]->setVisible(buttons.contains(b));
    layButtons();
    updateGeometry();
}

QList<DataNavigator::Button> DataNavigator::visibleButtons() const
{
    QList<Button> out;
    for (Button b : allButtons())
        if (!m_buttons[b]->isHidden())
            out << b;
    return out;
}

void DataNavigator::setHint(Button b, const QString& text)
{
    // The hint shows as a tooltip and in the main window's status bar.
    m_buttons[b]->setToolTip(text);
    m_buttons[b]->setStatusTip(text);
}
QString DataNavigator::hint(Button b) const { return m_buttons[b]->toolTip(); }
QToolButton* DataNavigator::button(Button b) const { return m_buttons.value(b); }

void DataNavigator::updateButtons()
{
    store::Table* t = m_table;
    const bool open = t && t->isOpen();
    bool atStart = true, atEnd = true, empty = true, editing = false, inserting = false, canModify = false;
    if (open) {
        const store::Table::State state = t->state();
        inserting = state == store::Table::State::Insert;
        editing = inserting || state == store::Table::State::Edit;
        canModify = !t->isReadOnly();
        try {
            // Counting would read every key of a large selection: the
            // table tells whether a record follows from the rows it knows.
            empty = t->isEmpty();
            if (inserting) {
                // The new record is shown after the last one.
                atStart = empty;
                atEnd = true;
            } else {
                // The table reports BOF and EOF; a move onto the first or
                // last record does not set them, the record's place does.
                const int row = t->recNo();
                atStart = empty || t->isBof() || row <= 0;
                atEnd = empty || t->isEof() || !t->hasRowAfter(row);
            }
        } catch (const store::DbError&) {
        }
    }
    auto set = [this](Button b, bool on) { m_buttons[b]->setEnabled(on); };
    set(Button::First, open && !atStart);
    set(Button::Prior, open && !atStart);
    set(Button::Next, open && !atEnd);
    set(Button::Last, open && !atEnd);
    set(Button::Insert, open && canModify);
    // Deleting a record being inserted gives it up.
    set(Button::Delete, open && canModify && (!empty || inserting));
    // Edit on an empty table starts an insertion, as the table itself does.
    set(Button::Edit, open && canModify && !editing);
    set(Button::Post, open && editing);
    set(Button::Cancel, open && editing);
    set(Button::Refresh, open && !editing);
}

void DataNavigator::trigger(Button b)
{
    store::Table* t = m_table;
    if (!t)
        return;
    // A number or date the table refused is still in its box: moving on or
    // posting would keep the old value without a word, so say so and stop.
    if (b != Button::Cancel && b != Button::Delete && !commitPendingEdits(parentWidget()))
        return;
    try {
        switch (b) {
        case Button::First: t->first(); break;
        case Button::Prior: t->prior(); break;
        case Button::Next: t->next(); break;
        case Button::Last: t->last(); break;
        case Button::Insert: t->append(); break;
        case Button::Edit: t->edit(); break;
        case Button::Post: t->post(); break;
        case Button::Cancel: t->cancel(); break;
        case Button::Refresh: t->refresh(); break;
        case Button::Delete:
            // Never delete without asking.
            if (!m_dialogs || !m_dialogs->confirm(QStringLiteral("Eliminare il record?")))
                break;
            t->remove();
            break;
        }
    } catch (const store::DbError& e) {
        showDbError(m_dialogs, e);
    }
    // Some moves (next at the last record) change EOF without announcing it.
    updateButtons();
    emit clicked(b);
}

} // namespace velmora
