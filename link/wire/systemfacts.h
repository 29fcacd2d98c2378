#pragma once
// What the operating system says about a path without opening it, who we are, and why the call
// that just failed did so. The one place where the console's own code asks the system directly:
// QFileInfo reports a symbolic link's owner and permissions from the file it points at (as Unix
// programs usually do) and cannot tell a character device from a pipe or a disk, and the checks
// on port aliases and port devices need exactly those facts. Everything that decides from them
// is a plain function elsewhere, tested with made-up facts.

#include <QString>
#include <system_error>

enum class FileKind {
    Missing,
    Unknown, // the system would not say (a folder on the way may not be searched)
    Directory,
    SymLink,
    CharDevice,
    RegularFile,
    Other, // a disk, a pipe, a socket
};

struct FileFacts
{
    FileKind kind = FileKind::Missing;
    uint owner = 0;
    bool othersMayWrite = false; // the group or anybody else may write it
};

namespace systemfacts {

// The path itself: a symbolic link is described, not followed.
FileFacts describe(const QString &path);
// What the path leads to once every link is followed; Missing for a link that leads nowhere.
FileFacts describeTarget(const QString &path);

// The user this program runs as, as describe() reports owners.
uint currentUser();

// The system's code for the last call that failed in this thread (errno on Unix, the last
// Win32 error on Windows). Read it right after the failure: later calls may replace it.
std::error_code lastError();
// Forgets the last failure, so that a call that fails without a system error is not blamed
// on an older one.
void clearLastError();

} // namespace systemfacts
