#include "Unwritable.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

Unwritable::Unwritable(const QString& path) : m_path(QFile::encodeName(path))
{
    if (geteuid() != 0) {
        struct stat st
        {
        };
        if (stat(m_path.constData(), &st) == 0 && chmod(m_path.constData(), st.st_mode & ~0222) == 0) {
            m_mode = st.st_mode;
            m_active = true;
        }
        return;
    }
    m_active = setImmutable(true);
}

Unwritable::~Unwritable()
{
    if (!m_active)
        return;
    if (geteuid() != 0)
        chmod(m_path.constData(), m_mode);
    else
        setImmutable(false);
}

bool Unwritable::setImmutable(bool on)
{
    // O_NONBLOCK keeps a FIFO from blocking the open; folders open read-only like files.
    const int fd = open(m_path.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return ok;
}
