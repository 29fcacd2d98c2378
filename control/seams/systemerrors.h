#pragma once
// Why the system refused, in the operator's words: the one place where a failed save, a failed
// read of the record or a lost line turns the system's code into Chinese. The system's own
// text (English on most desktops, and worded for programmers) is shown, in brackets, only for
// a cause this list does not know.

#include <QString>
#include <system_error>

class QFileDevice;

namespace systemerrors {

enum class Cause {
    DiskFull,
    NoPermission,
    ReadOnly,
    NotFound,
    IsAFolder,      // the path names a folder where a file was meant
    NotAFolder,     // a step of the path is a file
    FileTooLarge,   // larger than the file system or the system's limit allows
    DeviceGone,     // unplugged or switched off
    DeviceError,    // the device failed a read or write
    Busy,           // in use, or not ready for the moment
    NotASerialLine, // a device that is no serial line
    Unknown,
};

// The cause behind a code from systemfacts::lastError() (or any std::error_code).
[[nodiscard]] Cause causeOf(std::error_code code) noexcept;

// The cause in a few words, without a full stop: "磁盘已满". Unknown gives "原因不明".
QString words(Cause cause);

// The reason for a failure, in a few words. For an unknown cause: the system's text in
// brackets, or its code where it gave no text.
QString reason(std::error_code code, const QString &systemText);

// Why `file`'s last operation failed, as reason() puts it. Called right after the failure,
// before anything else can replace the system's code.
QString failure(const QFileDevice &file);

} // namespace systemerrors
