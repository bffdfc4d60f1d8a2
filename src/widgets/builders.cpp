#include "builders.h"
#include "dataedits.h"

#include <QLabel>
#include <QToolButton>

namespace velmora {

DataEdit* labelledEdit(QWidget* parent, const char* name, const QString& caption, store::Table* table,
                       const char* field, Dialogs* dialogs, const QRect& rect)
{
    if (!caption.isEmpty()) {
        auto* l = new QLabel(caption, parent);
        l->move(rect.left(), rect.top() - 16);
        l->adjustSize();
    }
    auto* e = new DataEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(rect);
    e->setDataSource(table, QString::fromLatin1(field));
    e->setDialogs(dialogs);
    return e;
}

QToolButton* hintedButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                          const QRect& rect)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setGeometry(rect);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                           const QRect& rect)
{
    QToolButton* b = hintedButton(parent, name, text, hint, rect);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

} // namespace velmora
