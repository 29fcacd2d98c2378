#include "link/wire/portnames.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace portnames {

QString aliasDirectory()
{
    // Qt gives no runtime folder when the one it would use belongs to somebody else; a folder
    // at the root of the file system would be nobody's to trust either.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/pumpconsole");
}

AliasTrust judgeFolder(const FileFacts &folder, uint user) noexcept
{
    if (folder.kind != FileKind::Directory) {
        return AliasTrust::FolderNotAFolder;
    }
    if (folder.owner != user) {
        return AliasTrust::FolderNotOwned;
    }
    if (folder.othersMayWrite) {
        return AliasTrust::FolderOpenToOthers;
    }
    return AliasTrust::Trusted;
}

AliasTrust judgeAlias(const FileFacts &folder, const FileFacts &alias, uint user) noexcept
{
    if (const AliasTrust trust = judgeFolder(folder, user); trust != AliasTrust::Trusted) {
        return trust;
    }
    return alias.owner == user ? AliasTrust::Trusted : AliasTrust::AliasNotOwned;
}

std::optional<NumberedPort> resolvePortNumber(int n)
{
    if (n < 1) {
        return std::nullopt;
    }
    const QString com = QStringLiteral("COM%1").arg(n);
#ifdef Q_OS_WIN
    return NumberedPort{com, {}, false, std::nullopt};
#else
    NumberedPort port{QStringLiteral("/dev/ttyS%1").arg(n - 1), {}, false, std::nullopt};
    const QString folder = aliasDirectory();
    if (folder.isEmpty()) {
        return port;
    }
    port.aliasPath = folder + u'/' + com;
    const FileFacts alias = systemfacts::describe(port.aliasPath);
    if (alias.kind == FileKind::Missing) {
        return port;
    }
    const AliasTrust trust =
        judgeAlias(systemfacts::describe(folder), alias, systemfacts::currentUser());
    if (trust != AliasTrust::Trusted) {
        port.refusedAlias = trust;
        return port;
    }
    // exists() follows the link: an alias left behind by a pump that has gone away points at
    // nothing and must not hide the built-in port.
    if (QFileInfo::exists(port.aliasPath)) {
        port.device = port.aliasPath;
        port.viaAlias = true;
    }
    return port;
#endif
}

std::optional<QString> deviceForPortNumber(int n)
{
    const auto port = resolvePortNumber(n);
    return port ? std::optional(port->device) : std::nullopt;
}

std::optional<int> comNumber(const QString &answer)
{
    // The Windows spelling, which operators also type on Linux out of habit.
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(answer.trimmed());
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
