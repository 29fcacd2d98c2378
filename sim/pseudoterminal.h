#pragma once
// The simulated pump's end of the cable: a pseudo-terminal whose slave side the console opens
// like any serial device, and the optional "COMn" alias that lets the operator type a port
// number for it.

#include <QString>

class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;
    ~PseudoTerminal() { close(); }

    // Creates the pair in raw mode. On failure says why in `error`.
    bool open(QString *error);
    // Pulls the plug: the console's next read fails as with an unplugged adapter.
    void close();

    int master() const { return m_master; }
    int slave() const { return m_slave; }
    QString slaveName() const { return m_slaveName; }
    // Bytes the pump sent that the console has not read yet.
    int unread() const;

private:
    int m_master = -1;
    // Our own handle on the slave: without it the console's close would hang up the line and
    // the next open would find a dead master.
    int m_slave = -1;
    QString m_slaveName;
};

class AliasLink
{
public:
    AliasLink() = default;
    AliasLink(const AliasLink &) = delete;
    AliasLink &operator=(const AliasLink &) = delete;
    ~AliasLink() { remove(); }

    // Makes `directory` (0700, parents as needed) and in it the link `name` -> `target`,
    // replacing a link of that name but never a file. Refuses, saying why, a folder that is
    // not the user's own or that others may write to: the console would not follow the link.
    bool create(const QString &directory, const QString &name, const QString &target,
                QString *error);
    // Removes the link if it is still ours (another simulator may have taken the name since).
    void remove();
    QString path() const { return m_path; }

private:
    QString m_path;
    QString m_target;
};
