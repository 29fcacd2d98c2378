#pragma once
// A private XDG_RUNTIME_DIR for as long as the object lives, so that the port aliases a test
// makes (or the simulated pump makes for it) are its own and never a user's real ones.

#include <QFile>
#include <QTemporaryDir>

class PrivateRuntimeDir
{
public:
    PrivateRuntimeDir()
        : m_wasSet(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")),
          m_saved(qgetenv("XDG_RUNTIME_DIR"))
    {
        if (m_dir.isValid()) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
        }
    }
    PrivateRuntimeDir(const PrivateRuntimeDir &) = delete;
    PrivateRuntimeDir &operator=(const PrivateRuntimeDir &) = delete;
    ~PrivateRuntimeDir()
    {
        if (m_wasSet) {
            qputenv("XDG_RUNTIME_DIR", m_saved);
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
    }

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    bool m_wasSet;
    QByteArray m_saved;
};
