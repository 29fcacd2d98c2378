#pragma once
// Which device the answer in the port box names, and what the operator must hear before it is
// opened. A port number can stand for an alias that comes and goes with the simulated pump, so
// the same answer may lead to another device than last time; the operator hears of that first,
// and of an alias that was not trusted, rather than finding the RUN gone to another device.

#include <QHash>
#include <QString>

struct PortChoice
{
    QString device;  // what to open
    QString port;    // as the operator will recognise it in a message: "1（/dev/ttyS0）"
    int number = 0;  // the port number answered; 0 for a device named directly
    QString refusal; // the answer is not a port: why, for the operator; nothing else is set
    QString notice;  // to tell before opening; empty when there is nothing to say
};

class PortResolver
{
public:
    // What `answer` names now, judged against what each number opened before.
    PortChoice choose(const QString &answer) const;
    // The choice opened: the next time its number names another device, the operator is told.
    void opened(const PortChoice &choice);

private:
    QHash<int, QString> m_openedBefore; // port number -> the device it last opened
};
