#include "link/wire/portnames.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace portnames {

namespace {

// "COM3", "com3": the Windows spelling, which operators also type on Linux out of habit.
std::optional<int> comNumber(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(name);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const int n = match.captured(1).toInt(&ok);
    if (!ok) {
        return std::nullopt; // more digits than any port could have
    }
    return n;
}

} // namespace

QString aliasDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/pumpconsole");
}

std::optional<QString> deviceForPortNumber(int n)
{
    if (n < 1) {
        return std::nullopt;
    }
    const QString com = QStringLiteral("COM%1").arg(n);
#ifdef Q_OS_WIN
    return com;
#else
    // exists() follows the link: an alias left behind by a pump that has gone away points at
    // nothing and must not hide the built-in port.
    const QString alias = aliasDirectory() + u'/' + com;
    if (QFileInfo::exists(alias)) {
        return alias;
    }
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

std::optional<QString> deviceFromName(const QString &answer)
{
    const QString name = answer.trimmed();
    if (const auto n = comNumber(name)) {
        return deviceForPortNumber(*n);
    }
#ifdef Q_OS_WIN
    return std::nullopt;
#else
    if (name.startsWith(u'/')) {
        return name;
    }
    // A bare device name as ls /dev shows it; "tty" alone would be our own terminal.
    static const QRegularExpression bare(QStringLiteral("^tty[A-Za-z0-9_.-]+$"));
    if (bare.match(name).hasMatch()) {
        return QStringLiteral("/dev/") + name;
    }
    return std::nullopt;
#endif
}

} // namespace portnames
