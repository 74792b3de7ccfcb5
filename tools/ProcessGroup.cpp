// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ProcessGroup.h"

#include <csignal>

#include <QDir>
#include <QFile>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(u"/proc/%1/"_s.arg(pid) + QLatin1StringView(name));
    // The files of /proc report no size: read to the end.
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.readAll() : QByteArray();
}

// The process's start time in clock ticks after boot (field 22 of /proc/<pid>/stat), which
// tells a process from a later one given the same pid; empty when there is no such process.
QByteArray startTime(qint64 pid)
{
    const QByteArray stat = readProcFile(pid, "stat");
    // The command name comes before, in parentheses, and may hold anything.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) {
        return {};
    }
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    constexpr qsizetype startTimeIndex = 22 - 3;
    return fields.size() > startTimeIndex ? fields.at(startTimeIndex) : QByteArray();
}

// The value of the owner variable in a process's environment; empty when not there.
QByteArray ownerOf(qint64 pid)
{
    const QByteArray prefix = QByteArray(ownerVariable) + '=';
    for (const QByteArray &entry : readProcFile(pid, "environ").split('\0')) {
        if (entry.startsWith(prefix)) {
            return entry.mid(prefix.size());
        }
    }
    return {};
}
} // namespace

void becomeProcessGroupLeader(qint64 parent)
{
    ::setpgid(0, 0);
    // Kept across exec: the shell, or the tool it execs in its place, dies with Quorvel.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Quorvel died before the line above: nobody would ever kill this child.
    if (::getppid() != static_cast<pid_t>(parent)) {
        ::_exit(1);
    }
}

void signalProcessGroup(qint64 groupId, int signalNumber)
{
    if (groupId > 0) {
        ::kill(-static_cast<pid_t>(groupId), signalNumber);
    }
}

QByteArray ownerValue(const QByteArray &marker)
{
    const qint64 pid = ::getpid();
    return QByteArray::number(pid) + ':' + startTime(pid) + ':' + marker;
}

int endLeftoverProcesses(const QByteArray &marker)
{
    const uid_t user = ::getuid();
    const qint64 self = ::getpid();
    int ended = 0;
    // A process may end at any step: it then reads as having no owner, or fails kill().
    for (const QString &name : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = name.toLongLong(&isPid);
        struct stat status = {};
        if (!isPid || pid == self
            || ::stat(QFile::encodeName(u"/proc/"_s + name).constData(), &status) != 0
            || status.st_uid != user) {
            continue;
        }
        const QByteArray started = startTime(pid);
        const QByteArray owner = ownerOf(pid);
        // "<pid>:<start time>:<marker>"; the marker may itself hold colons.
        const qsizetype first = owner.indexOf(':');
        const qsizetype second = first < 0 ? -1 : owner.indexOf(':', first + 1);
        if (second < 0 || owner.mid(second + 1) != marker) {
            continue;
        }
        const qint64 ownerPid = owner.left(first).toLongLong();
        const QByteArray ownerStart = owner.mid(first + 1, second - first - 1);
        if (ownerPid <= 0 || startTime(ownerPid) == ownerStart) {
            continue; // its Quorvel is still running
        }
        // The same process still: its pid was not given to another meanwhile.
        if (!started.isEmpty() && startTime(pid) == started
            && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0) {
            ++ended;
        }
    }
    return ended;
}
