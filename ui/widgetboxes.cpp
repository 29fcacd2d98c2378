#include "ui/widgetboxes.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
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
    return choose(prompt, title, {}, defaultText);
}

std::optional<QString> WidgetBoxes::choose(const QString &prompt, const QString &title,
                                           const QStringList &choices, const QString &defaultText)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(titleOrDefault(title));
    dialog.setLabelText(displayText(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    if (!choices.isEmpty()) {
        dialog.setComboBoxItems(choices);
        dialog.setComboBoxEditable(true);
        if (auto *list = dialog.findChild<QComboBox *>()) {
            // Typing must give exactly what was typed: inline completion would turn "1" into
            // the first entry starting with 1 before the operator presses Enter.
            list->setCompleter(nullptr);
            list->setInsertPolicy(QComboBox::NoInsert);
            // Screen readers land in the text field, which Qt leaves nameless inside a combo
            // box; give it the question.
            list->lineEdit()->setAccessibleName(dialog.labelText());
            // No entry is current, so that the arrow down key starts at the first.
            list->setCurrentIndex(-1);
        }
    }
    // After the items: an editable list shows this text, not its first entry.
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

void WidgetBoxes::alarm(const QString &prompt, const QString &title,
                        std::function<void()> acknowledged)
{
    // Not modal: the operator may still stop the pump, open the line or read the panel while
    // the alarm stands; only 确认 (or closing it) acknowledges it.
    auto *box = new QMessageBox(QMessageBox::Warning, titleOrDefault(title), displayText(prompt),
                                QMessageBox::NoButton, m_parent);
    box->addButton(QStringLiteral("确认"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    QObject::connect(box, &QMessageBox::finished, box,
                     [acknowledged = std::move(acknowledged)] { acknowledged(); });
    box->show();
}
