#include "ui/widgetboxes.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>

using namespace Qt::StringLiterals;

WidgetBoxes::WidgetBoxes(QWidget *parent) : m_parent(parent) {}

QString WidgetBoxes::displayText(const QString &prompt)
{
    QString text = prompt;
    text.replace(u"\r\n"_s, u"\n"_s);
    // A lone CR would show as a box glyph in some fonts; it was meant as a break too.
    text.replace(u'\r', u'\n');
    return text;
}

QString WidgetBoxes::titleOrDefault(const QString &title) const
{
    // A box without a title would be anonymous in the task bar; name the program instead.
    if (!title.isEmpty()) {
        return title;
    }
    return m_parent ? m_parent->window()->windowTitle() : QGuiApplication::applicationDisplayName();
}

std::optional<QString> WidgetBoxes::ask(const QString &prompt, const QString &title,
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

void WidgetBoxes::tell(const QString &prompt, const QString &title)
{
    // Nothing asks which button was pressed, so OK is the only one offered.
    QMessageBox box(QMessageBox::NoIcon, titleOrDefault(title), displayText(prompt),
                    QMessageBox::Ok, m_parent);
    box.exec();
}

void WidgetBoxes::notify(const QString &prompt, const QString &title)
{
    // open() returns at once: what raised the message runs on while it is shown.
    auto *box = new QMessageBox(QMessageBox::NoIcon, titleOrDefault(title), displayText(prompt),
                                QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
