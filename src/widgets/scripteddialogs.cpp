#include "scripteddialogs.h"
#include "qtdialogs.h"

#include <QDialog>

namespace velmora {

namespace {

QString typeName(BoxType type)
{
    switch (type) {
    case BoxType::Confirmation:
        return QStringLiteral("Confirmation");
    case BoxType::Error:
        return QStringLiteral("Error");
    case BoxType::Warning:
        return QStringLiteral("Warning");
    case BoxType::Information:
        return QStringLiteral("Information");
    case BoxType::Plain:
        break;
    }
    return QStringLiteral("Plain");
}

QString buttonName(Button button)
{
    switch (button) {
    case Button::Ok:
        return QStringLiteral("Ok");
    case Button::Yes:
        return QStringLiteral("Yes");
    case Button::No:
        return QStringLiteral("No");
    case Button::Cancel:
        return QStringLiteral("Cancel");
    case Button::None:
        break;
    }
    return QStringLiteral("None");
}

QString buttonNames(Buttons buttons)
{
    QStringList names;
    for (Button b : {Button::Ok, Button::Yes, Button::No, Button::Cancel}) {
        if (buttons.testFlag(b))
            names << buttonName(b);
    }
    return names.join(QLatin1Char('|'));
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString inputAnswerText(const std::optional<QString>& answer)
{
    return answer ? quoted(*answer) : QStringLiteral("Cancel");
}

QString confirmText(bool confirm)
{
    return confirm ? QStringLiteral("Confirm") : QStringLiteral("Cancel");
}

Button safestAnswer(Buttons buttons)
{
    for (Button b : {Button::Cancel, Button::No, Button::Ok, Button::Yes}) {
        if (buttons.testFlag(b))
            return b;
    }
    return Button::None;
}

} // namespace

QString ScriptedDialogs::kindName(Shown::Kind kind)
{
    switch (kind) {
    case Shown::Message:
        return QStringLiteral("Message");
    case Shown::Input:
        return QStringLiteral("Input");
    case Shown::PrintSetup:
        return QStringLiteral("PrintSetup");
    case Shown::Preview:
        return QStringLiteral("Preview");
    }
    return QStringLiteral("Kind(%1)").arg(int(kind));
}

void ScriptedDialogs::expectMessage(BoxType type, const QString& text, Button answer)
{
    Entry e;
    e.kind = Shown::Message;
    e.type = type;
    e.text = text;
    e.answer = answer;
    m_script.append(e);
}

void ScriptedDialogs::expectMessage(BoxType type, const QRegularExpression& pattern, Button answer)
{
    Entry e;
    e.kind = Shown::Message;
    e.type = type;
    e.match = TextMatch::Pattern;
    e.pattern = pattern;
    e.answer = answer;
    m_script.append(e);
}

void ScriptedDialogs::expectAnyMessage(BoxType type, Button answer)
{
    Entry e;
    e.kind = Shown::Message;
    e.type = type;
    e.match = TextMatch::Any;
    e.answer = answer;
    m_script.append(e);
}

void ScriptedDialogs::expectInput(const QString& prompt, std::optional<QString> answer, bool masked)
{
    Entry e;
    e.kind = Shown::Input;
    e.text = prompt;
    e.inputAnswer = std::move(answer);
    e.masked = masked;
    m_script.append(e);
}

Button ScriptedDialogs::message(BoxType type, const QString& text, Buttons buttons,
                                const QString& caption)
{
    Shown box;
    box.kind = Shown::Message;
    box.type = type;
    box.caption = effectiveCaption(type, caption);
    box.text = text;
    box.buttons = effectiveButtons(buttons);
    m_shown.append(box);

    const QString where = QStringLiteral("box %1, %2").arg(m_shown.size()).arg(describe(box));
    if (m_script.isEmpty()) {
        fail(QStringLiteral("%1: not expected, the script is over").arg(where));
        return safestAnswer(box.buttons);
    }

    const Entry& next = m_script.first();
    const bool sameKind = next.kind == Shown::Message;
    const bool sameType = next.type == type;
    const bool sameText = textMatches(next, text);
    if (!sameKind || (!sameType && !sameText)) {
        fail(QStringLiteral("%1: not expected, the script waits for %2").arg(where, describe(next)));
        return safestAnswer(box.buttons);
    }

    const Entry entry = m_script.takeFirst();
    if (!sameType || !sameText) {
        fail(QStringLiteral("%1: expected %2").arg(where, describe(entry)));
        return safestAnswer(box.buttons);
    }
    if (!box.buttons.testFlag(entry.answer) || entry.answer == Button::None) {
        fail(QStringLiteral("%1: the script answers %2, which the box does not offer")
                 .arg(where, buttonName(entry.answer)));
        return safestAnswer(box.buttons);
    }
    return entry.answer;
}

std::optional<QString> ScriptedDialogs::input(const QString& caption, const QString& prompt,
                                              const QString& initial, bool masked)
{
    Shown box;
    box.kind = Shown::Input;
    box.type = BoxType::Plain;
    box.caption = caption;
    box.text = prompt;
    box.buttons = Button::Ok | Button::Cancel;
    box.masked = masked;
    box.initial = initial;
    m_shown.append(box);

    const QString where = QStringLiteral("box %1, %2").arg(m_shown.size()).arg(describe(box));
    if (m_script.isEmpty()) {
        fail(QStringLiteral("%1: not expected, the script is over").arg(where));
        return std::nullopt;
    }

    const Entry& next = m_script.first();
    if (next.kind != Shown::Input || next.text != prompt) {
        fail(QStringLiteral("%1: not expected, the script waits for %2").arg(where, describe(next)));
        return std::nullopt;
    }

    const Entry entry = m_script.takeFirst();
    if (entry.masked != masked) {
        fail(QStringLiteral("%1: expected %2").arg(where, describe(entry)));
        return std::nullopt;
    }
    return entry.inputAnswer;
}

void ScriptedDialogs::expectPrintSetup(bool confirm)
{
    Entry e;
    e.kind = Shown::PrintSetup;
    e.confirm = confirm;
    m_script.append(e);
}

bool ScriptedDialogs::printSetup(const print::Document& doc)
{
    Shown box;
    box.kind = Shown::PrintSetup;
    box.caption = QStringLiteral("Imposta stampa");
    box.text = doc.title;
    box.buttons = Button::Ok | Button::Cancel;
    box.pages = doc.pageCount();
    box.file = pdfFileNameFor(doc);
    m_shown.append(box);

    const QString where = QStringLiteral("box %1, %2").arg(m_shown.size()).arg(describe(box));
    if (m_script.isEmpty()) {
        fail(QStringLiteral("%1: not expected, the script is over").arg(where));
        return false;
    }
    if (m_script.first().kind != Shown::PrintSetup) {
        fail(QStringLiteral("%1: not expected, the script waits for %2").arg(where, describe(m_script.first())));
        return false;
    }
    const Entry entry = m_script.takeFirst();
    if (entry.confirm)
        m_confirmedSetup = m_shown.size() - 1;
    return entry.confirm;
}

void ScriptedDialogs::preview(const print::Document& doc)
{
    // Checked before this preview joins the record: the box just before it
    // must be the confirmed set-up of the same document.
    const bool afterSetup = m_confirmedSetup >= 0 && m_confirmedSetup == m_shown.size() - 1;
    const QString setupTitle = afterSetup ? m_shown.at(m_confirmedSetup).text : QString();

    Shown box;
    box.kind = Shown::Preview;
    box.caption = QStringLiteral("Anteprima di stampa");
    box.text = doc.title;
    box.pages = doc.pageCount();
    m_shown.append(box);
    m_previews.append(doc);

    const QString where = QStringLiteral("box %1, %2").arg(m_shown.size()).arg(describe(box));
    if (!afterSetup)
        fail(QStringLiteral("%1: not expected, no confirmed print set-up just before it").arg(where));
    else if (setupTitle != doc.title)
        fail(QStringLiteral("%1: the print set-up just before it was for %2").arg(where, quoted(setupTitle)));
}

bool ScriptedDialogs::openUrl(const QUrl& url)
{
    m_opened.append(url);
    return openUrlAnswer;
}

void ScriptedDialogs::expectForm(const QString& objectName, std::function<int(QDialog&)> fill)
{
    m_forms.append({objectName, std::move(fill)});
}

int ScriptedDialogs::execForm(QDialog& form)
{
    if (m_forms.isEmpty() || m_forms.first().first != form.objectName()) {
        fail(QStringLiteral("form %1: not expected").arg(form.objectName()));
        return QDialog::Rejected;
    }
    const auto entry = m_forms.takeFirst();
    return entry.second(form);
}

QStringList ScriptedDialogs::problems() const
{
    QStringList result = m_failures;
    for (const auto& f : m_forms)
        result << QStringLiteral("never shown: form %1").arg(f.first);
    for (const Entry& entry : m_script)
        result << QStringLiteral("never shown: %1").arg(describe(entry));
    return result;
}

void ScriptedDialogs::clear()
{
    m_script.clear();
    m_forms.clear();
    m_shown.clear();
    m_previews.clear();
    m_opened.clear();
    m_confirmedSetup = -1;
    m_failures.clear();
}

bool ScriptedDialogs::textMatches(const Entry& entry, const QString& text)
{
    switch (entry.match) {
    case TextMatch::Exact:
        return entry.text == text;
    case TextMatch::Pattern:
        return entry.pattern.match(text).hasMatch();
    case TextMatch::Any:
        break;
    }
    return true;
}

QString ScriptedDialogs::describe(const Entry& entry)
{
    if (entry.kind == Shown::PrintSetup)
        return QStringLiteral("print set-up answered %1").arg(confirmText(entry.confirm));
    if (entry.kind == Shown::Input) {
        return QStringLiteral("%1input %2 answered %3")
            .arg(entry.masked ? QStringLiteral("masked ") : QString(), quoted(entry.text),
                 inputAnswerText(entry.inputAnswer));
    }
    QString text;
    switch (entry.match) {
    case TextMatch::Exact:
        text = quoted(entry.text);
        break;
    case TextMatch::Pattern:
        text = QStringLiteral("matching /%1/").arg(entry.pattern.pattern());
        break;
    case TextMatch::Any:
        text = QStringLiteral("with any text");
        break;
    }
    return QStringLiteral("%1 %2 answered %3")
        .arg(typeName(entry.type), text, buttonName(entry.answer));
}

QString ScriptedDialogs::describe(const Shown& shown)
{
    const QString pages = shown.pages == 1 ? QStringLiteral("1 page")
                                           : QStringLiteral("%1 pages").arg(shown.pages);
    if (shown.kind == Shown::PrintSetup)
        return QStringLiteral("print set-up of %1 (%2)").arg(quoted(shown.text), pages);
    if (shown.kind == Shown::Preview)
        return QStringLiteral("preview of %1 (%2)").arg(quoted(shown.text), pages);
    if (shown.kind == Shown::Input) {
        return QStringLiteral("%1input %2")
            .arg(shown.masked ? QStringLiteral("masked ") : QString(), quoted(shown.text));
    }
    return QStringLiteral("%1 %2 [%3]")
        .arg(typeName(shown.type), quoted(shown.text), buttonNames(shown.buttons));
}

void ScriptedDialogs::fail(const QString& what)
{
    m_failures.append(what);
}

} // namespace velmora
