#include "ui/widgetdialogs.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace {

// The icon bits of a message-box style (16 critical, 32 question, 48 exclamation,
// 64 information); the handlers use style 0, which has none.
QMessageBox::Icon iconForStyle(int style)
{
    switch (style & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

WidgetDialogs::WidgetDialogs(QWidget *parent) : m_parent(parent) {}

QString WidgetDialogs::displayText(const QString &prompt)
{
    QString text = prompt;
    text.replace(u"\r\n"_s, u"\n"_s);
    // A lone CR would show as a box glyph in some fonts; it was meant as a break too.
    text.replace(u'\r', u'\n');
    return text;
}

QString WidgetDialogs::titleOrDefault(const QString &title) const
{
    // A box without a title would be anonymous in the task bar; name the program instead.
    if (!title.isEmpty()) {
        return title;
    }
    return m_parent ? m_parent->window()->windowTitle() : QGuiApplication::applicationDisplayName();
}

std::optional<QString> WidgetDialogs::InputBox(const QString &prompt, const QString &title,
                                               const QString &defaultText)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(titleOrDefault(title));
    dialog.setLabelText(displayText(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

void WidgetDialogs::MsgBox(const QString &prompt, int style, const QString &title)
{
    // The handlers never ask which button was pressed, so OK is the only one offered.
    QMessageBox box(iconForStyle(style), titleOrDefault(title), displayText(prompt),
                    QMessageBox::Ok, m_parent);
    box.exec();
}

void WidgetDialogs::notify(const QString &prompt, const QString &title)
{
    // open() returns at once: the handler that raised the message runs on while it is shown.
    auto *box = new QMessageBox(QMessageBox::NoIcon, titleOrDefault(title), displayText(prompt),
                                QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
