// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QByteArray>
#include <QObject>
#include <QString>

class QProcess;
class QSocketNotifier;
class QTimer;

/// One command line run by "/bin/bash -c" in a process group of its own, with standard
/// output and standard error merged into one pipe of its own and read as it arrives.
///
/// A run ends when the shell has exited and every process that holds the pipe has closed
/// it, so that nothing a child writes late is lost; then whatever is left of the group is
/// killed and ended() is emitted, once. The tools run in an empty working folder of
/// Quorvel's own, so that they never read options from the folder Quorvel was started in.
class ShellProcess final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShellProcess)

public:
    enum class EndKind { Exited, Crashed, FailedToStart, Cancelled, TimedOut };

    /// How a run ended.
    struct End
    {
        EndKind kind = EndKind::Exited;
        /// Exited: the shell's exit status; Crashed: the signal that ended it.
        int code = 0;
        /// FailedToStart: why.
        QString error;

        bool succeeded() const { return kind == EndKind::Exited && code == 0; }
        /// The shell's own statuses for a command that it could not run.
        bool couldNotRun() const { return kind == EndKind::Exited && (code == 126 || code == 127); }
        /// In French, for a message: "code de sortie 3", "arrêté par le signal 9", …
        QString reason() const;
    };

    /// The one grace period of the project: a group asked to stop is killed after it, and
    /// writers that keep the output open after the shell has exited get as long to close it.
    static constexpr std::chrono::milliseconds gracePeriod {2000};

    explicit ShellProcess(QObject *parent = nullptr);
    /// The empty folder of Quorvel's own (mode 0700) where the tools run; files that a tool
    /// writes for Quorvel go there too. The root folder when it could not be made.
    static QString workingFolder();
    /// Removes the working folders that a Quorvel no longer running left behind (killed, or
    /// crashed): each is named after its process id.
    static void removeLeftoverWorkingFolders();
    /// Stops a run still going and waits for it, without emitting anything.
    ~ShellProcess() override;

    /// Marks every process started from now on with ownerValue(marker) (tools/ProcessGroup.h),
    /// so that a later Quorvel can end what this one leaves behind if it is killed; empty: no
    /// mark.
    static void setOwnerMarker(const QByteArray &marker);

    /// A run still going after this time is stopped and ends as TimedOut; zero: no limit.
    void setTimeLimit(std::chrono::milliseconds limit);
    /// After a read shorter than 16 KiB, the pipe rests this long (defaultRest unless told)
    /// and the next read takes all that came meanwhile: fewer wake-ups for a writer of short
    /// pieces, at the cost of that delay.
    void setRestInterval(std::chrono::milliseconds interval);
    static constexpr std::chrono::milliseconds defaultRest {100};

    /// Starts the command line; ignored while a run is going.
    void start(const QString &commandLine);
    /// From start() until ended().
    bool isRunning() const;

    /// Asks the whole group to stop (SIGTERM), kills it after the grace period; the run
    /// ends as Cancelled once the group has ended.
    void cancel();
    /// For an owner going away: the same as cancel(), but waits (at most about twice the
    /// grace period) and reads what is left of the output before returning.
    void stopAndWait();

signals:
    /// Bytes as read from the pipe: a line or a character may be split anywhere.
    void outputRead(const QByteArray &chunk);
    void ended(const ShellProcess::End &end);

private:
    enum class Deadline { None, TimeLimit, Kill, Drain, Abandon };

    void readOutput();
    void closeOutput();
    void processFinished(int exitCode, int exitStatus);
    void processErrorOccurred();
    void deadlinePassed();
    void requestStop(EndKind reason);
    void arm(Deadline deadline, std::chrono::milliseconds after);
    void endIfDone();

    static QByteArray s_ownerValue;

    QProcess *m_process = nullptr;
    QSocketNotifier *m_reader = nullptr;
    QTimer *m_timer = nullptr;
    QTimer *m_rest = nullptr;
    int m_readFd = -1;
    qint64 m_groupId = 0;
    std::chrono::milliseconds m_timeLimit {0};
    Deadline m_deadline = Deadline::None;
    bool m_running = false;
    bool m_shellExited = false;
    End m_end;
    // Cancelled or TimedOut once a stop was asked for; Exited otherwise.
    EndKind m_stopReason = EndKind::Exited;
};
