#include "link/wire/portaliases.h"

#include "link/wire/portnames.h"

#include <algorithm>
#include <limits>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace portaliases {

QList<PortAlias> list()
{
    static const QRegularExpression alias(QStringLiteral("^COM([1-9][0-9]*)$"));
    const QString directory = portnames::aliasDirectory();
    const QDir folder(directory);
    QList<PortAlias> aliases;
    // System: an alias that leads to a device node (or nowhere) is not a "file" to QDir.
    for (const QString &name :
         folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = alias.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        bool ok = false;
        const int number = match.captured(1).toInt(&ok);
        // Beyond what the port box takes as a number, it could never be chosen by typing.
        if (!ok || number > std::numeric_limits<qint16>::max()) {
            continue;
        }
        // Offered only when typing the number would open this very alias: the port box and
        // the list must never disagree about what a number means.
        const QString path = directory + u'/' + name;
        if (portnames::deviceForPortNumber(number) != path) {
            continue;
        }
        aliases.append({number, path, QFileInfo(path).canonicalFilePath()});
    }
    std::sort(aliases.begin(), aliases.end(),
              [](const PortAlias &a, const PortAlias &b) { return a.number < b.number; });
    return aliases;
}

} // namespace portaliases
