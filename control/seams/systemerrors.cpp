#include "control/seams/systemerrors.h"

#include "link/wire/systemfacts.h"

#include <cerrno>
#include <QFileDevice>

namespace systemerrors {

Cause causeOf(std::error_code code) noexcept
{
    if (!code) {
        return Cause::Unknown;
    }
    // The portable condition: on Windows the system category maps its own codes onto these.
    const std::error_condition condition = code.default_error_condition();
    const auto is = [&condition](std::errc e) { return condition == e; };
    if (is(std::errc::no_space_on_device)) {
        return Cause::DiskFull;
    }
#if defined(Q_OS_UNIX) && defined(EDQUOT)
    // The user's share of the disk is used up. Not every C++ library maps it to a portable
    // condition; on Unix the system's codes are errno values.
    if (code.value() == EDQUOT &&
        (code.category() == std::system_category() || code.category() == std::generic_category())) {
        return Cause::DiskFull;
    }
#endif
    if (is(std::errc::permission_denied) || is(std::errc::operation_not_permitted)) {
        return Cause::NoPermission;
    }
    if (is(std::errc::read_only_file_system)) {
        return Cause::ReadOnly;
    }
    if (is(std::errc::no_such_file_or_directory)) {
        return Cause::NotFound;
    }
    if (is(std::errc::is_a_directory)) {
        return Cause::IsAFolder;
    }
    if (is(std::errc::not_a_directory)) {
        return Cause::NotAFolder;
    }
    if (is(std::errc::file_too_large)) {
        return Cause::FileTooLarge;
    }
    if (is(std::errc::no_such_device) || is(std::errc::no_such_device_or_address)) {
        return Cause::DeviceGone;
    }
    if (is(std::errc::io_error)) {
        return Cause::DeviceError;
    }
    if (is(std::errc::device_or_resource_busy) || is(std::errc::resource_unavailable_try_again) ||
        is(std::errc::text_file_busy)) {
        return Cause::Busy;
    }
    if (is(std::errc::inappropriate_io_control_operation)) {
        return Cause::NotASerialLine;
    }
    return Cause::Unknown;
}

QString words(Cause cause)
{
    switch (cause) {
    case Cause::DiskFull:
        return QStringLiteral("磁盘已满");
    case Cause::NoPermission:
        return QStringLiteral("没有权限");
    case Cause::ReadOnly:
        return QStringLiteral("磁盘或文件夹是只读的");
    case Cause::NotFound:
        return QStringLiteral("文件或文件夹不存在");
    case Cause::IsAFolder:
        return QStringLiteral("这是一个文件夹，不是文件");
    case Cause::NotAFolder:
        return QStringLiteral("路径中有一级不是文件夹，而是文件");
    case Cause::FileTooLarge:
        return QStringLiteral("文件超过了允许的大小");
    case Cause::DeviceGone:
        return QStringLiteral("设备已不可用，可能已被拔出");
    case Cause::DeviceError:
        return QStringLiteral("设备读写出错，可能已被拔出或已损坏");
    case Cause::Busy:
        return QStringLiteral("设备忙，暂时无法使用");
    case Cause::NotASerialLine:
        return QStringLiteral("不是串口设备");
    case Cause::Unknown:
        break;
    }
    return QStringLiteral("原因不明");
}

QString reason(std::error_code code, const QString &systemText)
{
    const Cause cause = causeOf(code);
    if (cause != Cause::Unknown) {
        return words(cause);
    }
    if (!systemText.isEmpty()) {
        return QStringLiteral("系统错误（%1）").arg(systemText);
    }
    if (code) {
        return QStringLiteral("系统错误（代码 %1）").arg(code.value());
    }
    return words(Cause::Unknown);
}

QString failure(const QFileDevice &file)
{
    return reason(systemfacts::lastError(), file.errorString());
}

} // namespace systemerrors
