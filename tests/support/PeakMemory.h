#pragma once

#include <QFile>
#include <QtGlobal>

#include <fcntl.h>
#include <unistd.h>

namespace quillory::test {

// The process's peak resident memory (VmHWM), for tests that a hostile input is refused
// before it is paid for: a decoder that allocates gigabytes and fails shows only here.
class PeakMemory final
{
public:
    // Starts the peak afresh from what is resident now; false where Linux does not allow it.
    static bool reset()
    {
        const int fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
        const bool done = fd >= 0 && ::write(fd, "5", 1) == 1;
        if (fd >= 0)
            ::close(fd);
        return done;
    }

    static qint64 peakKiB()
    {
        QFile file(QStringLiteral("/proc/self/status"));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
        return -1;
    }
};

} // namespace quillory::test
