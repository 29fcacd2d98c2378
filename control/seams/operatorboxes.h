#pragma once
// The boxes the console asks the operator questions and tells things with. The window shows
// them with Qt's dialogs; tests script the answers.

#include <functional>
#include <optional>
#include <QString>
#include <QStringList>

class OperatorBoxes
{
public:
    virtual ~OperatorBoxes() = default;

    // A modal question with a text answer. The prompt may hold "\r\n" for a line break. No
    // value when the operator cancels.
    virtual std::optional<QString> ask(const QString &prompt, const QString &title,
                                       const QString &defaultText) = 0;

    // The same question offering `choices` to pick from, while any other text may still be
    // typed. Returns the typed or chosen text, exactly as the choice reads when one was chosen.
    // With no choices it is ask().
    virtual std::optional<QString> choose(const QString &prompt, const QString &title,
                                          const QStringList &choices,
                                          const QString &defaultText) = 0;

    // A modal message with an OK button and no icon; returns once the operator has read it.
    virtual void tell(const QString &prompt, const QString &title) = 0;

    // A message that must not hold up what raised it (a reply or a tick can raise it while
    // another box waits for the operator): shown without blocking.
    virtual void notify(const QString &prompt, const QString &title) = 0;

    // An alarm: shown without blocking, with one button 确认; `acknowledged` runs once the
    // operator has pressed it (or closed the box).
    virtual void alarm(const QString &prompt, const QString &title,
                       std::function<void()> acknowledged) = 0;
};
