#pragma once
// Whole files read and written in one call, for tests that check what lies on disk.

#include <QByteArray>
#include <QFile>
#include <QString>

// A file that cannot be read gives a text no file in these tests holds, so that it never
// compares equal to an expected (or empty) content.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
