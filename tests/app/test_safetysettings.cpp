// The safety band in the settings file: what is saved comes back, and a file edited into
// something the dialog would refuse turns the band off rather than half on.

#include "app/safetysettings.h"

#include <gtest/gtest.h>
#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

TEST(SafetySettings, SavedBandComesBackAndABadFileIsOff)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"pumpconsole.conf"_s);
    for (const safety::Limits &band :
         {safety::Limits{}, safety::Limits{12.5, 2.0, 30}, safety::Limits{{}, 0.1, {}}}) {
        {
            QSettings settings(file, QSettings::IniFormat);
            safetysettings::save(settings, band);
        }
        QSettings settings(file, QSettings::IniFormat);
        EXPECT_EQ(safetysettings::load(settings), band);
    }
    QSettings settings(file, QSettings::IniFormat);
    EXPECT_EQ(settings.childGroups(), QStringList{u"safety"_s});
    for (const auto &[key, value] : {std::pair{u"safety/upper_mpa"_s, u"abc"_s},
                                     {u"safety/silence_s"_s, u"0"_s},
                                     {u"safety/lower_mpa"_s, u"50"_s}}) {
        safetysettings::save(settings, {40.0, 1.0, 10});
        settings.setValue(key, value);
        EXPECT_EQ(safetysettings::load(settings), safety::Limits{}) << key.toStdString();
    }
}
