#include "ui/qttranslation.h"

#include <QCoreApplication>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace qttranslation {

QString catalogueFile()
{
    // Simplified Chinese whatever the desktop's language: every text of the console is, and a
    // dialog half in another language would be harder to read than one all in Chinese.
    return u"qtbase_zh_CN.qm"_s;
}

bool install(QCoreApplication &app, const QString &folder)
{
    auto *translator = new QTranslator(&app);
    if (!translator->load(catalogueFile(), folder)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace qttranslation
