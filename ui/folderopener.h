#pragma once
// Showing a folder in the desktop's file manager, behind a small interface so that the tests
// of the menu item need no desktop.

#include <QString>

class FolderOpener
{
public:
    virtual ~FolderOpener() = default;
    // False when the desktop could not show it.
    [[nodiscard]] virtual bool open(const QString &folder) = 0;
};

// The desktop's file manager, through QDesktopServices.
class DesktopFolderOpener final : public FolderOpener
{
public:
    bool open(const QString &folder) override;
};
