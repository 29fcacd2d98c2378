#pragma once
// A strict RFC 4180 reader for the tests of the run log: a field is either plain (no comma,
// quote, CR or LF) or wholly quoted with quotes doubled inside; every record ends in CR LF.
// Anything else is an error, so a row the log got wrong cannot pass as a row.

#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct CsvRead
{
    QList<QStringList> rows;
    QString error;         // empty when the whole text read
    QByteArray unfinished; // bytes after the last CR LF
};

inline CsvRead readCsv(const QByteArray &text)
{
    CsvRead out;
    qsizetype rowStart = 0;
    qsizetype i = 0;
    QStringList row;
    QByteArray field;
    const auto fail = [&](const char *what) {
        out.error = QStringLiteral("%1 at byte %2").arg(QLatin1String(what)).arg(i);
        return out;
    };
    while (i < text.size()) {
        field.clear();
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    out.unfinished = text.mid(rowStart);
                    return out;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                if (text[i] == '"') {
                    return fail("quote inside a plain field");
                }
                field += text[i++];
            }
        }
        row << QString::fromUtf8(field);
        if (i >= text.size()) {
            out.unfinished = text.mid(rowStart);
            return out;
        }
        if (text[i] == ',') {
            ++i;
            continue;
        }
        if (text[i] != '\r') {
            return fail("a line end other than CR LF, or text after a closing quote");
        }
        if (i + 1 >= text.size()) {
            out.unfinished = text.mid(rowStart);
            return out;
        }
        if (text[i + 1] != '\n') {
            return fail("CR without LF");
        }
        i += 2;
        out.rows << row;
        row.clear();
        rowStart = i;
    }
    return out;
}
