// Which aliases the port box lists: exactly those that typing their number would open.

#include "link/wire/portaliases.h"
#include "link/wire/portnames.h"
#include "support/printto.h"
#include "support/runtimedir.h"
#ifndef Q_OS_WIN
#include "support/pty.h"
#endif

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

#ifndef Q_OS_WIN

TEST(PortAliases, ListedWhenTheirNumberWouldOpenThem)
{
    PrivateRuntimeDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QString folder = portnames::aliasDirectory();

    EXPECT_TRUE(portaliases::list().isEmpty()) << "no folder yet";
    // As the simulated pump makes them: a private folder of links to pseudo-terminals.
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    PtyPair pty;
    ASSERT_TRUE(pty.isValid());
    const QString device = pty.slaveName();
    for (const QString &name : {u"COM12"_s, u"COM1"_s, u"COM2"_s, u"com4"_s, u"COM0"_s, u"COM007"_s,
                                u"COMX"_s, u"COM99999"_s, u"COM1.bak"_s}) {
        ASSERT_TRUE(QFile::link(device, folder + u'/' + name)) << name.toStdString();
    }
    ASSERT_TRUE(QFile::link(runtime.filePath(u"gone"_s), folder + u"/COM3"_s)); // pump gone

    QStringList listed;
    for (const auto &alias : portaliases::list()) {
        listed << u"%1 %2 %3"_s.arg(alias.number).arg(alias.path, alias.target);
    }
    EXPECT_EQ(listed, (QStringList{u"1 %1/COM1 %2"_s.arg(folder, device),
                                   u"2 %1/COM2 %2"_s.arg(folder, device),
                                   u"12 %1/COM12 %2"_s.arg(folder, device)}));
}

#endif

} // namespace
