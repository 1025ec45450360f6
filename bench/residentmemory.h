// The process's resident memory, for benchmarks that report what a workload keeps.
#pragma once

#include <QFile>
#include <QList>
#include <cstring>
#include <unistd.h>

inline long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// A field of /proc/self/status in KiB, such as "VmHWM:", the kernel's high-water mark,
// which sees the peaks inside a stall too.
inline long statusKiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

inline long peakResidentKiB() { return statusKiB("VmHWM:"); }
