// The safety band in the settings file: what is saved comes back, and a file edited into
// something the dialog would refuse turns the band off rather than half on.

#include "app/pumpsettings.h"
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

TEST(PumpSettings, AddedPumpsComeBackWithTheirBandsAndEntriesNotWrittenByUsAreLeftOut)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"pumpconsole.conf"_s);
    const QList<pumpsettings::Saved> pumps{{u"2"_s, 12, {3.0, {}, 5}}, {u"/dev/ttyUSB1"_s, 0, {}}};
    {
        QSettings settings(file, QSettings::IniFormat);
        safetysettings::save(settings, {9.0, {}, {}}); // the panel's own band stays apart
        pumpsettings::save(settings, pumps);
    }
    QSettings settings(file, QSettings::IniFormat);
    EXPECT_EQ(pumpsettings::load(settings), pumps);
    EXPECT_EQ(safetysettings::load(settings), (safety::Limits{9.0, {}, {}}));
    for (const QString &number : {u"100"_s, u"-1"_s, u"x"_s}) {
        settings.setValue(u"pumps/1/number"_s, number);
        EXPECT_EQ(pumpsettings::load(settings), pumps.mid(1)) << number.toStdString();
    }
    pumpsettings::save(settings, {});
    EXPECT_TRUE(pumpsettings::load(settings).isEmpty());
}
