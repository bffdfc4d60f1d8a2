#include "maskedinput.h"

#include <QApplication>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyleFactory>

namespace velmora {

namespace {

class AsteriskPasswordStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

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

QStyle* asteriskPasswordStyle(QObject* owner)
{
    // A style of the application's own kind underneath, so that the edit
    // looks like every other edit; the proxy owns it.
    QStyle* base = QApplication::style() ? QStyleFactory::create(QApplication::style()->name()) : nullptr;
    auto* style = new AsteriskPasswordStyle(base);
    style->setParent(owner);
    return style;
}

} // namespace

void maskWithAsterisks(QLineEdit* edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyle(asteriskPasswordStyle(edit));
}

} // namespace velmora
