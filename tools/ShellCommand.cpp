// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ShellCommand.h"

#include <csignal>

#include <QProcess>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {
constexpr int killGraceMilliseconds = 2000;
}

QString shellProgram()
{
    return u"/bin/bash"_s;
}

QStringList shellArguments(const QString &commandLine)
{
    return {u"-c"_s, commandLine};
}

QString shellQuote(const QString &text)
{
    // Inside single quotes bash interprets nothing, not even a backslash; an apostrophe
    // closes the quote, is written escaped, and the quote opens again.
    QString quoted = text;
    quoted.replace(u'\'', u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}

void startInOwnProcessGroup(QProcess &process)
{
#ifdef Q_OS_UNIX
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
#else
    Q_UNUSED(process);
#endif
}

void signalProcessGroup(const QProcess &process, int signalNumber)
{
    signalProcessGroup(process.processId(), signalNumber);
}

void signalProcessGroup(qint64 groupId, int signalNumber)
{
#ifdef Q_OS_UNIX
    if (groupId > 0) {
        ::kill(-static_cast<pid_t>(groupId), signalNumber);
    }
#else
    Q_UNUSED(groupId);
    Q_UNUSED(signalNumber);
#endif
}

void terminateProcessGroup(QProcess &process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
#ifdef Q_OS_UNIX
    // The group may ignore SIGTERM; the pid stays the group's id until the leader is reaped,
    // so take it now. Never 0 or below: kill() would then reach Quorvel's own group.
    const qint64 pid = process.processId();
    if (pid <= 0) {
        return;
    }
    signalProcessGroup(process, SIGTERM);
    QTimer::singleShot(killGraceMilliseconds, &process,
                       [pid] { signalProcessGroup(pid, SIGKILL); });
#else
    process.kill();
#endif
}

void stopProcessGroupAndWait(QProcess &process, int graceMilliseconds)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    // The id is taken now: it still names the group once the leader has been reaped.
    const qint64 groupId = process.processId();
    signalProcessGroup(groupId, SIGTERM);
    if (!process.waitForFinished(graceMilliseconds)) {
        signalProcessGroup(groupId, SIGKILL);
        process.kill();
        process.waitForFinished(graceMilliseconds);
    }
    signalProcessGroup(groupId, SIGKILL);
}
