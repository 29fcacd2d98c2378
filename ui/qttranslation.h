#pragma once
// Qt's own words in the console's language: the buttons and labels of the print dialog, the
// file dialog and the standard message boxes ("Print", "Cancel", "Options") come from Qt, not
// from the console, and stay English unless Qt's Chinese catalogue is loaded.

#include <QLibraryInfo>
#include <QString>

class QCoreApplication;

namespace qttranslation {

// The catalogue's file name in Qt's translations folder.
QString catalogueFile();

// Installs Qt's Chinese catalogue from `folder` into `app`; the translator lives as long as the
// application. Returns whether it was found. Without it Qt's words stay English: the console
// works as before and says nothing (the catalogue is a package of its own that may be missing).
bool install(QCoreApplication &app,
             const QString &folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

} // namespace qttranslation
