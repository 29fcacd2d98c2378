#pragma once
// The console's boxes as Qt widgets: QInputDialog for the input box, QMessageBox for messages.

#include "control/dialogs.h"

#include <QPointer>

class QWidget;

class WidgetDialogs final : public Dialogs
{
public:
    // Boxes are centred on and owned by `parent` (the main window); it may be null.
    explicit WidgetDialogs(QWidget *parent = nullptr);

    std::optional<QString> InputBox(const QString &prompt, const QString &title,
                                    const QString &defaultText) override;
    void MsgBox(const QString &prompt, int style, const QString &title) override;
    void notify(const QString &prompt, const QString &title) override;

    // The prompt as a Qt label shows it: the handlers break lines with "\r\n".
    static QString displayText(const QString &prompt);

private:
    QString titleOrDefault(const QString &title) const;

    QPointer<QWidget> m_parent;
};
