// Qt's own dialogs speak Chinese where Qt's catalogue is installed, and stay working (in
// English, without a word) where it is not.

#include "ui/qttranslation.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {

QString buttonText(QDialogButtonBox::StandardButton which)
{
    QDialogButtonBox box(which);
    return box.button(which)->text();
}

// Whatever a test installed is removed again, so that the order of the tests does not matter.
void removeTranslators()
{
    for (QTranslator *t : qApp->findChildren<QTranslator *>(Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

TEST(QtTranslation, MissingCatalogueLeavesQtInEnglish)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_FALSE(qttranslation::install(*qApp, empty.path()));
    EXPECT_TRUE(qApp->findChildren<QTranslator *>().isEmpty()) << "a useless translator is kept";
    EXPECT_EQ(buttonText(QDialogButtonBox::Cancel), u"Cancel"_s);
    removeTranslators();
}

TEST(QtTranslation, InstalledCatalogueTurnsQtsOwnButtonsChinese)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + u'/' + qttranslation::catalogueFile())) {
        GTEST_SKIP() << qttranslation::catalogueFile().toStdString() << " is not installed in "
                     << folder.toStdString() << " (Debian package qt6-translations-l10n)";
    }
    ASSERT_TRUE(qttranslation::install(*qApp));

    // The message boxes' and the file dialog's buttons, and the print dialog's own.
    const struct
    {
        QDialogButtonBox::StandardButton button;
        QString text;
    } cases[] = {
        {QDialogButtonBox::Ok, u"确定"_s},
        {QDialogButtonBox::Cancel, u"取消"_s},
        {QDialogButtonBox::Open, u"打开"_s},
        {QDialogButtonBox::Save, u"保存"_s},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(buttonText(c.button), c.text) << c.text.toStdString();
    }
    // The print dialog's own buttons ("打印(&P)", "选项(&O) >>").
    QPrinter printer;
    QPrintDialog dialog(&printer);
    QStringList texts;
    for (const QPushButton *b : dialog.findChildren<QPushButton *>()) {
        texts << b->text();
    }
    for (const QString &start : {u"打印"_s, u"选项"_s, u"取消"_s}) {
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                                [&](const QString &t) { return t.startsWith(start); }))
            << start.toStdString() << " not among " << texts.join(u", "_s).toStdString();
    }
    removeTranslators();
}

} // namespace
