#pragma once
#include <functional>

#include "dialogs.h"
#include "document.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace velmora {

// Dialogs for tests: answers from a script instead of showing boxes, and
// records every box shown. A box the script did not expect is recorded as a
// failure and answered the safest way (Cancel, else No, else OK; nullopt for
// input), so that a test never blocks and the screen under test does the
// harmless thing.
//
// Matching: each box is checked against the oldest entry left. When the box
// and the entry share the kind and at least their type or their text (for
// input: the prompt), the box is taken for the expected one shown wrongly and
// the entry is used up; otherwise the box counts as unexpected and the entry
// stays for the boxes that follow.
//
// Reports: a print set-up is answered by the next entry when that entry is a
// print set-up (expectPrintSetup); otherwise it is unexpected and cancelled.
// A preview needs no entry of its own, since it follows a confirmed set-up;
// it is a failure unless the box shown just before it is a confirmed set-up
// of the same document. Every previewed document is kept (previews()), so
// tests read the pages the user would have seen.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        enum Kind { Message, Input, PrintSetup, Preview };
        Kind kind = Message;
        BoxType type = BoxType::Plain;  // Plain for all but messages
        QString caption;                // as shown, defaults applied
        QString text;                   // message text, input prompt, or document title
        Buttons buttons;                // as shown; Ok|Cancel for input boxes and set-ups
        bool masked = false;            // input boxes only
        QString initial;                // input boxes only
        int pages = 0;                  // set-ups and previews: pages of the document
        QString file;                   // set-ups: the PDF file name proposed (pdfFileNameFor)
    };

    // "Message", "Input", "PrintSetup", "Preview".
    static QString kindName(Shown::Kind kind);

    // A message box of `type` with exactly `text`, answered with `answer`.
    void expectMessage(BoxType type, const QString& text, Button answer = Button::Ok);
    // A message box of `type` whose text matches `pattern` (e.g. a database
    // error whose wording is not ours).
    void expectMessage(BoxType type, const QRegularExpression& pattern,
                       Button answer = Button::Ok);
    // A message box of `type` with any text.
    void expectAnyMessage(BoxType type, Button answer = Button::Ok);
    // An input box with exactly `prompt`; nullopt stands for Cancel.
    void expectInput(const QString& prompt, std::optional<QString> answer, bool masked = false);
    // The next form shown must bear `objectName`; `fill` plays the user on
    // it (types into its edits) and returns its result code.
    void expectForm(const QString& objectName, std::function<int(QDialog&)> fill);
    int execForm(QDialog& form) override;
    // The next print set-up, confirmed or cancelled.
    void expectPrintSetup(bool confirm);

    Button message(BoxType type, const QString& text, Buttons buttons,
                   const QString& caption = QString()) override;
    std::optional<QString> input(const QString& caption, const QString& prompt,
                                 const QString& initial, bool masked) override;
    bool printSetup(const print::Document& doc) override;
    void preview(const print::Document& doc) override;
    // Opens nothing: records the address and answers `openUrlAnswer`.
    bool openUrl(const QUrl& url) override;
    bool openUrlAnswer = true;
    // Every address asked to be opened, in order.
    const QList<QUrl>& opened() const { return m_opened; }

    const QList<Shown>& shown() const { return m_shown; }
    // A copy of every document previewed, in order (also those previewed
    // against the script).
    const QList<print::Document>& previews() const { return m_previews; }
    // Boxes shown against the script, one description each.
    QStringList failures() const { return m_failures; }
    // True when every script entry (forms included) has been used.
    bool done() const { return m_script.isEmpty() && m_forms.isEmpty(); }
    // Failures, then the script entries never used.
    QStringList problems() const;

    // Forgets script, record (previews and addresses opened included) and
    // failures.
    void clear();

private:
    enum class TextMatch { Exact, Pattern, Any };

    struct Entry
    {
        Shown::Kind kind = Shown::Message;
        BoxType type = BoxType::Plain;
        TextMatch match = TextMatch::Exact;
        QString text;
        QRegularExpression pattern;
        Button answer = Button::Ok;
        std::optional<QString> inputAnswer;
        bool masked = false;
        bool confirm = false;  // print set-ups
    };

    static bool textMatches(const Entry& entry, const QString& text);
    static QString describe(const Entry& entry);
    static QString describe(const Shown& shown);
    void fail(const QString& what);

    QList<Entry> m_script;
    QList<QPair<QString, std::function<int(QDialog&)>>> m_forms;
    QList<Shown> m_shown;
    QList<print::Document> m_previews;
    QList<QUrl> m_opened;
    // Index in m_shown of the last print set-up answered with confirm, -1
    // when none; a preview is in order only right after it.
    qsizetype m_confirmedSetup = -1;
    QStringList m_failures;
};

} // namespace velmora
