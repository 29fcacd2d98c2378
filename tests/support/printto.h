#pragma once
// How GoogleTest prints Qt's strings in a failure message: as the text, not as bytes.

#include <ostream>
#include <QByteArray>
#include <QString>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}
QT_END_NAMESPACE
