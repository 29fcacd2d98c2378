#pragma once
// The run log's disk side. It lives in a thread of its own, so that a slow disk, a full one or
// a network folder that hangs never holds up the window: the log hands it whole rows and it
// writes them at once. It also pushes them through to the disk, so that a power cut keeps
// them too: a batch with a command in it at once, replies at least once a second (a sync per
// batch would cost more than the rest of the log together).

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>

class RunLogWriter : public QObject
{
    Q_OBJECT
public:
    // A file that would grow past `maxFileBytes` continues in the next part.
    explicit RunLogWriter(qint64 maxFileBytes, QObject *parent = nullptr);

    // A new connection's log: `folder`/`baseName`.csv, or the next free part when that is taken.
    // Nothing that exists is ever opened for writing.
    void begin(quint64 connection, const QString &folder, const QString &baseName);
    // Whole rows. After a failure everything is dropped until the next begin(). `urgent`: to
    // the disk at once.
    void write(const QByteArray &rows, bool urgent);
    void end();

Q_SIGNALS:
    // A file was made and its header written.
    void fileStarted(const QString &path);
    // Why the log of `connection` stopped; `path` is the file, or the folder when no file
    // could be made.
    void failed(quint64 connection, const QString &path, const QString &reason);

private:
    bool openNextPart();
    void sync();
    void fail(const QString &path, const QString &reason);

    const qint64 m_maxFileBytes;
    const qint64 m_headerSize;
    QFile m_file;
    QString m_folder;
    QString m_baseName;
    int m_part = 0;
    qint64 m_size = 0;
    QElapsedTimer m_sinceSync;
    quint64 m_connection = 0;
    bool m_broken = true; // nothing to write to before the first begin()
};
