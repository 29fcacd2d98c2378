#include "ui/folderopener.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopFolderOpener::open(const QString &folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
