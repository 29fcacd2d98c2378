#pragma once
// The console's boxes as Qt widgets: QInputDialog for questions (with an editable list where
// there is something to choose from), QMessageBox for messages.

#include "control/seams/operatorboxes.h"

#include <QPointer>

class QWidget;

class WidgetBoxes final : public OperatorBoxes
{
public:
    // Boxes are centred on and owned by `parent` (the main window); it may be null.
    explicit WidgetBoxes(QWidget *parent = nullptr);
    // The window the boxes sit on, once it exists: the console that asks is built before it.
    void setParentWindow(QWidget *parent) { m_parent = parent; }

    std::optional<QString> ask(const QString &prompt, const QString &title,
                               const QString &defaultText) override;
    std::optional<QString> choose(const QString &prompt, const QString &title,
                                  const QStringList &choices, const QString &defaultText) override;
    void tell(const QString &prompt, const QString &title) override;
    void notify(const QString &prompt, const QString &title) override;
    void alarm(const QString &prompt, const QString &title,
               std::function<void()> acknowledged) override;

    // The prompt as a Qt label shows it: the console breaks lines with "\r\n".
    static QString displayText(const QString &prompt);

private:
    QString titleOrDefault(const QString &title) const;

    QPointer<QWidget> m_parent;
};
