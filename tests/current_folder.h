#pragma once

#include <QDir>
#include <QTemporaryDir>

// A temporary folder made the process's current one (where chat.txt is
// kept) for as long as it lives; the one before is put back after.
class CurrentFolder
{
public:
    CurrentFolder() : m_before(QDir::currentPath())
    {
        m_ready = m_folder.isValid() && QDir::setCurrent(m_folder.path());
    }
    ~CurrentFolder() { QDir::setCurrent(m_before); }
    CurrentFolder(const CurrentFolder &) = delete;
    CurrentFolder &operator=(const CurrentFolder &) = delete;

    bool isReady() const { return m_ready; }
    QString path() const { return m_folder.path(); }

private:
    QString m_before;
    QTemporaryDir m_folder;
    bool m_ready = false;
};
