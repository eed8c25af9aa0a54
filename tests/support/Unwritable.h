// Makes a file or folder unchangeable for the duration of a test. Tests often run as root, which
// ignores permission bits, so for root the file system's immutable flag is used instead; where
// neither works, active() is false and the test should skip.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

class Unwritable
{
public:
    explicit Unwritable(const QString& path);
    ~Unwritable();
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool active() const { return m_active; }

private:
    bool setImmutable(bool on);

    QByteArray m_path;
    mode_t m_mode = 0;
    bool m_active = false;
};
