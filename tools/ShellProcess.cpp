// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ShellProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "tools/ProcessGroup.h"
#include "tools/ShellCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// One read takes what a full pipe holds.
constexpr std::size_t readSize = 64 * 1024;
// A writer of short pieces, such as a progress line at a time, would wake Quorvel for each
// of them: after a read shorter than this, the pipe rests a moment and the next read takes
// all that came meanwhile. After a longer read, or once the shell has exited, reading goes
// on at once. The rest lasts defaultRest unless told otherwise.
constexpr ssize_t restBelow = 16 * 1024;
} // namespace

QString ShellProcess::End::reason() const
{
    switch (kind) {
    case EndKind::Exited:
        return ShellProcess::tr("code de sortie %1").arg(code);
    case EndKind::Crashed:
        return ShellProcess::tr("arrêté par le signal %1").arg(code);
    case EndKind::FailedToStart:
        return ShellProcess::tr("impossible de lancer %1 : %2").arg(shellProgram(), error);
    case EndKind::Cancelled:
        return ShellProcess::tr("annulé");
    case EndKind::TimedOut:
        return ShellProcess::tr("délai dépassé");
    }
    return {};
}

QString ShellProcess::workingFolder()
{
    // Made once, and removed at exit.
    static const QTemporaryDir folder(
        QDir::tempPath() + u"/quorvel-%1-XXXXXX"_s.arg(QCoreApplication::applicationPid()));
    return folder.isValid() ? folder.path() : QDir::rootPath();
}

void ShellProcess::removeLeftoverWorkingFolders()
{
    const QDir temporary(QDir::tempPath());
    const QFileInfoList folders = temporary.entryInfoList(
        {u"quorvel-*-*"_s}, QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &folder : folders) {
        bool number = false;
        const qint64 pid = folder.fileName().section(u'-', 1, 1).toLongLong(&number);
        // Only this user's, and only once its Quorvel is gone.
        if (number && pid > 0 && folder.ownerId() == ::getuid()
            && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            QDir(folder.filePath()).removeRecursively();
        }
    }
}

QByteArray ShellProcess::s_ownerValue;

void ShellProcess::setOwnerMarker(const QByteArray &marker)
{
    s_ownerValue = marker.isEmpty() ? QByteArray() : ownerValue(marker);
}

ShellProcess::ShellProcess(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
    , m_timer(new QTimer(this))
    , m_rest(new QTimer(this))
{
    m_process->setProgram(shellProgram());
    // A tool that asks a question reads end of file instead of waiting for ever. Its two
    // output channels are our own pipe, set up in the child below, not QProcess's.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_timer->setSingleShot(true);
    m_rest->setSingleShot(true);
    m_rest->setInterval(defaultRest);

    connect(m_process, &QProcess::finished, this, &ShellProcess::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, &ShellProcess::processErrorOccurred);
    connect(m_timer, &QTimer::timeout, this, &ShellProcess::deadlinePassed);
    connect(m_rest, &QTimer::timeout, this, &ShellProcess::readOutput);
}

ShellProcess::~ShellProcess()
{
    // The owner is going away: it hears nothing more, but nothing of the group survives.
    blockSignals(true);
    stopAndWait();
}

void ShellProcess::setTimeLimit(std::chrono::milliseconds limit)
{
    m_timeLimit = limit;
}

void ShellProcess::setRestInterval(std::chrono::milliseconds interval)
{
    m_rest->setInterval(interval);
}

void ShellProcess::start(const QString &commandLine)
{
    if (m_running) {
        return;
    }
    std::array<int, 2> pipe {-1, -1};
    // Close-on-exec: no other child of Quorvel may inherit either end and keep it open.
    if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
        m_running = true;
        m_shellExited = true;
        m_end = {EndKind::FailedToStart, 0, QString::fromLocal8Bit(std::strerror(errno))};
        endIfDone();
        return;
    }
    const int writeFd = pipe[1];
    m_readFd = pipe[0];
    ::fcntl(m_readFd, F_SETFL, ::fcntl(m_readFd, F_GETFL) | O_NONBLOCK);
    m_reader = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this, &ShellProcess::readOutput);

    m_running = true;
    m_shellExited = false;
    m_end = {};
    m_stopReason = EndKind::Exited;
    m_groupId = 0;
    m_process->setWorkingDirectory(workingFolder());
    m_process->setArguments(shellArguments(commandLine));
    if (!s_ownerValue.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(ownerVariable),
                           QString::fromLocal8Bit(s_ownerValue));
        m_process->setProcessEnvironment(environment);
    }
    // The child is killed when the thread that forks it ends, not the process: only the main
    // thread lives as long as Quorvel.
    Q_ASSERT(!QCoreApplication::instance()
             || QThread::currentThread() == QCoreApplication::instance()->thread());
    const qint64 parent = QCoreApplication::applicationPid();
    // Runs in the child after QProcess has set up its channels, just before exec.
    m_process->setChildProcessModifier([writeFd, parent] {
        becomeProcessGroupLeader(parent);
        ::dup2(writeFd, STDOUT_FILENO);
        ::dup2(writeFd, STDERR_FILENO);
    });
    m_process->start();
    // The child has its copy: the writing end must not stay open here, or the output
    // would never end.
    ::close(writeFd);
    m_groupId = m_process->processId();
    if (m_running && m_timeLimit.count() > 0) {
        arm(Deadline::TimeLimit, m_timeLimit);
    }
}

bool ShellProcess::isRunning() const
{
    return m_running;
}

void ShellProcess::cancel()
{
    requestStop(EndKind::Cancelled);
}

void ShellProcess::stopAndWait()
{
    if (!m_running) {
        return;
    }
    requestStop(m_stopReason == EndKind::Exited ? EndKind::Cancelled : m_stopReason);
    const int graceMilliseconds = static_cast<int>(gracePeriod.count());
    if (!m_shellExited && !m_process->waitForFinished(graceMilliseconds)) {
        signalProcessGroup(m_groupId, SIGKILL);
        m_process->waitForFinished(graceMilliseconds);
    }
    signalProcessGroup(m_groupId, SIGKILL);
    // What the group wrote before it ended is still read, as it would have been.
    const QDeadlineTimer deadline(gracePeriod);
    while (m_readFd >= 0 && !deadline.hasExpired()) {
        pollfd readable {m_readFd, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(deadline.remainingTime())) <= 0) {
            break;
        }
        readOutput();
    }
    closeOutput();
    m_shellExited = true;
    endIfDone();
}

void ShellProcess::readOutput()
{
    if (m_readFd < 0) {
        return;
    }
    std::array<char, readSize> buffer;
    const ssize_t count = ::read(m_readFd, buffer.data(), buffer.size());
    if (count > 0) {
        const bool rest = count < restBelow && !m_shellExited;
        m_reader->setEnabled(!rest);
        if (rest) {
            m_rest->start();
        }
        emit outputRead(QByteArray(buffer.data(), count));
        return;
    }
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        // Nothing came while resting: wait for the writer.
        m_reader->setEnabled(true);
        return;
    }
    // End of file: every writer has closed the pipe.
    closeOutput();
    endIfDone();
}

void ShellProcess::closeOutput()
{
    if (m_readFd < 0) {
        return;
    }
    m_rest->stop();
    // Closing may happen inside the notifier's own signal: it goes once that has returned.
    m_reader->setEnabled(false);
    m_reader->deleteLater();
    m_reader = nullptr;
    ::close(m_readFd);
    m_readFd = -1;
}

void ShellProcess::processFinished(int exitCode, int exitStatus)
{
    m_shellExited = true;
    m_end = {exitStatus == QProcess::NormalExit ? EndKind::Exited : EndKind::Crashed, exitCode, {}};
    if (m_rest->isActive()) {
        m_rest->stop();
        m_reader->setEnabled(true);
    }
    // Writers that outlive the shell may still be finishing their output: they get the
    // grace period, or what is left of the time limit.
    if (m_readFd >= 0 && m_deadline == Deadline::None) {
        arm(Deadline::Drain, gracePeriod);
    }
    endIfDone();
}

void ShellProcess::processErrorOccurred()
{
    // Every other error is followed by finished().
    if (m_process->error() != QProcess::FailedToStart || !m_running) {
        return;
    }
    m_shellExited = true;
    m_end = {EndKind::FailedToStart, 0, m_process->errorString()};
    closeOutput();
    endIfDone();
}

void ShellProcess::deadlinePassed()
{
    switch (std::exchange(m_deadline, Deadline::None)) {
    case Deadline::None:
        break;
    case Deadline::TimeLimit:
        requestStop(EndKind::TimedOut);
        break;
    case Deadline::Kill:
    case Deadline::Drain:
        signalProcessGroup(m_groupId, SIGKILL);
        arm(Deadline::Abandon, gracePeriod);
        break;
    case Deadline::Abandon:
        // Only a writer that left the group can still hold the pipe: stop waiting for it.
        closeOutput();
        endIfDone();
        break;
    }
}

void ShellProcess::requestStop(EndKind reason)
{
    if (!m_running || m_stopReason != EndKind::Exited) {
        return;
    }
    m_stopReason = reason;
    signalProcessGroup(m_groupId, SIGTERM);
    arm(Deadline::Kill, gracePeriod);
}

void ShellProcess::arm(Deadline deadline, std::chrono::milliseconds after)
{
    m_deadline = deadline;
    m_timer->start(after);
}

void ShellProcess::endIfDone()
{
    if (!m_running || !m_shellExited || m_readFd >= 0) {
        return;
    }
    m_timer->stop();
    m_deadline = Deadline::None;
    // The shell is gone and the output closed; a member that closed its output (a detached
    // child, one that ignored SIGTERM) goes now.
    signalProcessGroup(m_groupId, SIGKILL);
    m_groupId = 0;
    m_running = false;
    End end = m_end;
    if (m_stopReason != EndKind::Exited && end.kind != EndKind::FailedToStart) {
        end = {m_stopReason, 0, {}};
    }
    emit ended(end);
}
