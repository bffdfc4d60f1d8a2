#pragma once

#include "dialogs.h"

#include <QPointer>

class QCoreApplication;
class QWidget;

namespace velmora {

// Dialogs shown as real modal boxes: QMessageBox for messages, QInputDialog
// for input.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent = nullptr);

    // Boxes are centred on, and modal to, this widget (may be null).
    void setParent(QWidget* parent);
    QWidget* parent() const;

    Button message(BoxType type, const QString& text, Buttons buttons,
                   const QString& caption = QString()) override;
    std::optional<QString> input(const QString& caption, const QString& prompt,
                                 const QString& initial, bool masked) override;
    int execForm(QDialog& form) override;

private:
    QPointer<QWidget> m_parent;
};

// Loads Qt's own Italian translations, so that standard buttons read "Sì",
// "No", "Annulla". The translators are children of `app`. Calling it again
// does nothing.
void installItalianTranslations(QCoreApplication& app);

} // namespace velmora
