#include "dialogs.h"

#include <QCoreApplication>

namespace velmora {

Dialogs::~Dialogs() = default;

bool Dialogs::confirm(const QString& text, const QString& caption)
{
    return message(BoxType::Confirmation, text, Button::Yes | Button::No, caption) == Button::Yes;
}

void Dialogs::error(const QString& text, const QString& caption)
{
    message(BoxType::Error, text, Button::Ok, caption);
}

void Dialogs::warning(const QString& text, const QString& caption)
{
    message(BoxType::Warning, text, Button::Ok, caption);
}

void Dialogs::information(const QString& text, const QString& caption)
{
    message(BoxType::Information, text, Button::Ok, caption);
}

void Dialogs::plain(const QString& text, const QString& caption)
{
    message(BoxType::Plain, text, Button::Ok, caption);
}

QString Dialogs::defaultCaption(BoxType type)
{
    switch (type) {
    case BoxType::Confirmation:
        return QStringLiteral("Conferma");
    case BoxType::Error:
        return QStringLiteral("Errore");
    case BoxType::Warning:
        return QStringLiteral("Attenzione");
    case BoxType::Information:
        return QStringLiteral("Informazione");
    case BoxType::Plain:
        break;
    }
    return QCoreApplication::applicationName();
}

QString Dialogs::effectiveCaption(BoxType type, const QString& caption)
{
    return caption.isEmpty() ? defaultCaption(type) : caption;
}

Buttons Dialogs::effectiveButtons(Buttons buttons)
{
    return buttons ? buttons : Buttons(Button::Ok);
}

} // namespace velmora
