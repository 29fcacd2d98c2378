#pragma once
// How the number the operator types in the port box becomes a device.

#include "link/wire/systemfacts.h"

#include <optional>
#include <QString>

namespace portnames {

// Folder in which an alias "COMn" may stand for a device on Linux (a link that the simulated
// pump or an operator puts there). One folder per user, so two users' aliases never clash.
// Empty when the system gives this user no runtime folder: then there are no aliases.
QString aliasDirectory();

// Whether an alias may be followed. Whoever can put a link in the folder chooses where the
// operator's RUN goes, so the folder must be the user's own and closed to everybody else, and
// the link the user's own too. Both are judged as they are, not by what a link points at.
enum class AliasTrust {
    Trusted,
    FolderNotAFolder,   // the folder's name is taken by a link or a file
    FolderNotOwned,     // the folder belongs to another user
    FolderOpenToOthers, // the group or others may write into the folder
    AliasNotOwned,      // the alias itself belongs to another user
};

[[nodiscard]] AliasTrust judgeFolder(const FileFacts &folder, uint user) noexcept;
[[nodiscard]] AliasTrust judgeAlias(const FileFacts &folder, const FileFacts &alias,
                                    uint user) noexcept;

// The port that number n (n >= 1) stands for, and how it was found.
struct NumberedPort
{
    QString device;    // what to open
    QString aliasPath; // the alias COMn looked for; empty where there is no alias folder
    bool viaAlias = false;
    // An alias was there but not followed, and why; the built-in port stands instead.
    std::optional<AliasTrust> refusedAlias;
};

// COMn on Windows; elsewhere the alias COMn in aliasDirectory() if it is there, leads to
// something and is trusted, else /dev/ttyS(n-1). No value for n < 1.
std::optional<NumberedPort> resolvePortNumber(int n);
// Only the device of resolvePortNumber().
std::optional<QString> deviceForPortNumber(int n);

// The number in an answer that spells a port the Windows way: "COM3", "com3".
std::optional<int> comNumber(const QString &answer);

// A port box answer that names a device directly: "COM3", "/dev/ttyUSB0", "ttyUSB0".
// Operators with USB adapters need this because their devices have no number.
std::optional<QString> deviceFromName(const QString &answer);

} // namespace portnames
