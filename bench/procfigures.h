#pragma once
// Figures both the benchmark and the side-by-side run read: medians, and a
// process's CPU and memory as /proc tells them.
#include <QFile>
#include <QList>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

inline double median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// utime + stime of a process, in clock ticks; -1 once it is gone.
inline qint64 processCpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> rest = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return rest.size() > 12 ? rest[11].toLongLong() + rest[12].toLongLong() : -1;
}

// Resident memory of a process, in MiB; NaN once it is gone.
inline double processRssMiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return NAN;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return NAN;
}
