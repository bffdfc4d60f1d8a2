#include "qtdialogs.h"

#include <QDialog>

#include <QCoreApplication>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QTranslator>

namespace velmora {

namespace {

// Masked input shows a plain '*' for every character, right away, whatever
// the platform style would use (often a bullet, sometimes with the last
// character left visible for a moment).
class AsteriskPasswordStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return QChar(u'*').unicode();
        if (hint == QStyle::SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QMessageBox::Icon iconFor(BoxType type)
{
    switch (type) {
    case BoxType::Confirmation:
        return QMessageBox::Question;
    case BoxType::Error:
        return QMessageBox::Critical;
    case BoxType::Warning:
        return QMessageBox::Warning;
    case BoxType::Information:
        return QMessageBox::Information;
    case BoxType::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons standardButtons(Buttons buttons)
{
    QMessageBox::StandardButtons result;
    if (buttons.testFlag(Button::Ok))
        result |= QMessageBox::Ok;
    if (buttons.testFlag(Button::Yes))
        result |= QMessageBox::Yes;
    if (buttons.testFlag(Button::No))
        result |= QMessageBox::No;
    if (buttons.testFlag(Button::Cancel))
        result |= QMessageBox::Cancel;
    return result;
}

Button fromStandardButton(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok:
        return Button::Ok;
    case QMessageBox::Yes:
        return Button::Yes;
    case QMessageBox::No:
        return Button::No;
    case QMessageBox::Cancel:
        return Button::Cancel;
    default:
        return Button::None;
    }
}

// The answer of a box closed without pressing any of its buttons.
Button closedAnswer(Buttons buttons)
{
    for (Button b : {Button::Cancel, Button::No, Button::Ok, Button::Yes}) {
        if (buttons.testFlag(b))
            return b;
    }
    return Button::None;
}

} // namespace

QtDialogs::QtDialogs(QWidget* parent)
    : m_parent(parent)
{
}

void QtDialogs::setParent(QWidget* parent)
{
    m_parent = parent;
}

QWidget* QtDialogs::parent() const
{
    return m_parent;
}

Button QtDialogs::message(BoxType type, const QString& text, Buttons buttons,
                          const QString& caption)
{
    buttons = effectiveButtons(buttons);
    // Some messages break their line with a bare carriage return, which a
    // label would draw as a space.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(iconFor(type), effectiveCaption(type, caption), shown,
                    standardButtons(buttons), m_parent);
    // Messages may quote user data or database errors: never read them as HTML.
    box.setTextFormat(Qt::PlainText);
    if (buttons.testFlag(Button::Yes))
        box.setDefaultButton(QMessageBox::Yes);
    else if (buttons.testFlag(Button::Ok))
        box.setDefaultButton(QMessageBox::Ok);
    box.exec();

    const Button answer = box.clickedButton()
                              ? fromStandardButton(box.standardButton(box.clickedButton()))
                              : Button::None;
    if (answer == Button::None || !buttons.testFlag(answer))
        return closedAnswer(buttons);
    return answer;
}

std::optional<QString> QtDialogs::input(const QString& caption, const QString& prompt,
                                        const QString& initial, bool masked)
{
    // Declared before the dialog so that it outlives the line edit using it.
    AsteriskPasswordStyle asterisks;

    QInputDialog dialog(m_parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    if (masked) {
        dialog.setTextEchoMode(QLineEdit::Password);
        if (auto* edit = dialog.findChild<QLineEdit*>())
            edit->setStyle(&asterisks);
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void installItalianTranslations(QCoreApplication& app)
{
    const QString marker = QStringLiteral("velmora-qt-italian");
    if (app.findChild<QTranslator*>(marker, Qt::FindDirectChildrenOnly))
        return;

    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // qt_it is a catalogue of the Qt modules; qtbase_it holds the standard
    // buttons and is the one that matters.
    for (const char* name : {"qtbase_it", "qt_it"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QString::fromLatin1(name), folder)) {
            translator->setObjectName(marker);
            app.installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

int QtDialogs::execForm(QDialog& form)
{
    return form.exec();
}

} // namespace velmora
