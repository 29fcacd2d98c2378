#pragma once
// The modal boxes the handlers ask questions and give messages with. The window implements
// them with QInputDialog and QMessageBox; tests script the answers.

#include <optional>
#include <QString>

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Modal input box. The prompt may hold "\r\n" for a line break. No value on Cancel
    // (callers that do not care treat that as the empty answer).
    virtual std::optional<QString> InputBox(const QString &prompt, const QString &title,
                                            const QString &defaultText) = 0;

    // Modal message box; style 0 is an OK button and no icon.
    virtual void MsgBox(const QString &prompt, int style, const QString &title) = 0;

    // A message that must not stop the handler that raises it (a receive or a tick can raise
    // it while other handlers wait in a modal box): shown without blocking.
    virtual void notify(const QString &prompt, const QString &title) = 0;
};
