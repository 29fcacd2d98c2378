// The system's reasons in the operator's words: each common cause has its own words, and the
// system's own text shows only for a cause without them.
#include "control/seams/systemerrors.h"
#include "support/printto.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <QRegularExpression>
#include <set>

using namespace Qt::StringLiterals;
using systemerrors::Cause;

namespace {

TEST(SystemErrors, CommonCausesAreNamed)
{
    const std::pair<std::errc, Cause> cases[] = {
        {std::errc::no_space_on_device, Cause::DiskFull},
        {std::errc::permission_denied, Cause::NoPermission},
        {std::errc::operation_not_permitted, Cause::NoPermission},
        {std::errc::read_only_file_system, Cause::ReadOnly},
        {std::errc::no_such_file_or_directory, Cause::NotFound},
        {std::errc::is_a_directory, Cause::IsAFolder},
        {std::errc::not_a_directory, Cause::NotAFolder},
        {std::errc::file_too_large, Cause::FileTooLarge},
        {std::errc::no_such_device, Cause::DeviceGone},
        {std::errc::no_such_device_or_address, Cause::DeviceGone},
        {std::errc::io_error, Cause::DeviceError},
        {std::errc::device_or_resource_busy, Cause::Busy},
        {std::errc::resource_unavailable_try_again, Cause::Busy},
        {std::errc::inappropriate_io_control_operation, Cause::NotASerialLine},
        {std::errc::too_many_files_open, Cause::Unknown},
        {std::errc::broken_pipe, Cause::Unknown},
    };
    for (const auto &[errc, cause] : cases) {
        // As the system reports it (errno, or the last Win32 error) and as a portable condition.
        const int value = int(errc);
        EXPECT_EQ(systemerrors::causeOf(std::error_code(value, std::system_category())), cause)
            << value;
        EXPECT_EQ(systemerrors::causeOf(std::make_error_code(errc)), cause) << value;
    }
#ifdef EDQUOT
    EXPECT_EQ(systemerrors::causeOf(std::error_code(EDQUOT, std::system_category())),
              Cause::DiskFull);
#endif
    EXPECT_EQ(systemerrors::causeOf(std::error_code()), Cause::Unknown);
}

TEST(SystemErrors, EachCauseHasWordsOfItsOwn)
{
    std::set<QString> seen;
    for (int c = 0; c <= int(Cause::Unknown); ++c) {
        const QString words = systemerrors::words(Cause(c));
        EXPECT_FALSE(words.isEmpty()) << c;
        EXPECT_FALSE(words.contains(QRegularExpression(u"[A-Za-z]"_s))) << words.toStdString();
        EXPECT_TRUE(seen.insert(words).second) << words.toStdString();
    }
}

TEST(SystemErrors, SystemTextOnlyWhereThereAreNoWords)
{
    const auto code = [](std::errc e) { return std::make_error_code(e); };
    const std::tuple<std::error_code, QString, QString> cases[] = {
        {code(std::errc::no_space_on_device), u"Unknown error"_s, u"磁盘已满"_s},
        {code(std::errc::permission_denied), u"Permission denied"_s, u"没有权限"_s},
        {code(std::errc::read_only_file_system), u"Read-only file system"_s,
         u"磁盘或文件夹是只读的"_s},
        {code(std::errc::resource_unavailable_try_again), u"Resource temporarily unavailable"_s,
         u"设备忙，暂时无法使用"_s},
        {code(std::errc::too_many_files_open), u"Too many open files"_s,
         u"系统错误（Too many open files）"_s},
        {code(std::errc::too_many_files_open), {}, u"系统错误（代码 %1）"_s.arg(EMFILE)},
        {std::error_code(), u"Unknown error"_s, u"系统错误（Unknown error）"_s},
        {std::error_code(), {}, u"原因不明"_s},
    };
    for (const auto &[c, text, reason] : cases) {
        EXPECT_EQ(systemerrors::reason(c, text), reason) << c.value() << ' ' << text.toStdString();
    }
}

} // namespace
