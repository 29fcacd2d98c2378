#pragma once
// The pump side's cutting of the console's byte stream into commands. Its rules differ from
// the console's FrameReader on purpose: commands vary in length (pump 12 gives ten characters),
// so a command ends at its 'Y', not at a fixed ninth character.

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

class CommandSplitter
{
public:
    // Appends `bytes` and returns every whole command that commandframes::parse() takes, in
    // arrival order. Noise is skipped up to the next 'Q'; an unfinished command is kept until
    // the rest arrives.
    std::vector<QByteArray> feed(QByteArrayView bytes);
    const QByteArray &pending() const { return m_pending; }

private:
    QByteArray m_pending;
};
