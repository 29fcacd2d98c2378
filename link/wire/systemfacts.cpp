#include "link/wire/systemfacts.h"

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>
#if defined(Q_OS_WIN)
#include <qt_windows.h>
#endif
#endif

namespace systemfacts {

#if defined(Q_OS_UNIX)

namespace {

FileFacts fromStat(int result, const struct stat &st)
{
    if (result != 0) {
        FileFacts unknown;
        unknown.kind = errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Unknown;
        return unknown;
    }
    FileKind kind = FileKind::Other;
    if (S_ISDIR(st.st_mode)) {
        kind = FileKind::Directory;
    } else if (S_ISLNK(st.st_mode)) {
        kind = FileKind::SymLink;
    } else if (S_ISCHR(st.st_mode)) {
        kind = FileKind::CharDevice;
    } else if (S_ISREG(st.st_mode)) {
        kind = FileKind::RegularFile;
    }
    return {kind, uint(st.st_uid), (st.st_mode & (S_IWGRP | S_IWOTH)) != 0};
}

} // namespace

FileFacts describe(const QString &path)
{
    struct stat st
    {
    };
    return fromStat(::lstat(QFile::encodeName(path).constData(), &st), st);
}

FileFacts describeTarget(const QString &path)
{
    struct stat st
    {
    };
    return fromStat(::stat(QFile::encodeName(path).constData(), &st), st);
}

uint currentUser()
{
    return uint(::geteuid());
}

std::error_code lastError()
{
    return {errno, std::system_category()};
}

void clearLastError()
{
    errno = 0;
}

#else

// No aliases and no device files here: ports are COM names, which QFileInfo cannot describe
// and the console does not ask it to. What QFileInfo can say is enough for the rest.
namespace {

FileFacts fromInfo(const QFileInfo &info)
{
    if (!info.exists() && !info.isSymLink()) {
        return {};
    }
    FileKind kind = FileKind::Other;
    if (info.isSymLink()) {
        kind = FileKind::SymLink;
    } else if (info.isDir()) {
        kind = FileKind::Directory;
    } else if (info.isFile()) {
        kind = FileKind::RegularFile;
    }
    return {kind, info.ownerId(), false};
}

} // namespace

FileFacts describe(const QString &path)
{
    return fromInfo(QFileInfo(path));
}

FileFacts describeTarget(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? fromInfo(QFileInfo(info.canonicalFilePath())) : FileFacts{};
}

uint currentUser()
{
    return uint(-2); // what QFileInfo::ownerId() gives where files have no owner
}

#if defined(Q_OS_WIN)
std::error_code lastError()
{
    return {int(::GetLastError()), std::system_category()};
}

void clearLastError()
{
    ::SetLastError(0);
}
#else
std::error_code lastError()
{
    return {};
}

void clearLastError() {}
#endif

#endif

} // namespace systemfacts
