// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatQuery.h"

#include <algorithm>
#include <utility>

#include <QProcess>
#include <QTimer>

#include "catalogue/FormatListing.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
// How long the destructor waits for a stopped query's processes before it kills them.
constexpr int shutdownGraceMilliseconds = 1000;

// The shell's own statuses for a command it could not run: not executable, not found.
constexpr int shellCannotExecute = 126;
constexpr int shellCommandNotFound = 127;

// A listing is some KiB; a downloader that writes without end is read to its end, but no
// more than this is kept.
constexpr qsizetype outputLimit = 4 * 1024 * 1024;

// The last non-empty line of the output: what the shell said when it could not start the
// downloader.
QString lastLine(const QByteArray &output)
{
    const QList<QByteArray> lines = output.trimmed().split('\n');
    return QString::fromUtf8(lines.last()).trimmed();
}
} // namespace

FormatQuery::FormatQuery(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
    , m_timer(new QTimer(this))
{
    m_process->setProgram(shellProgram());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // A downloader that asks a question reads end of file instead of waiting for ever.
    m_process->setStandardInputFile(QProcess::nullDevice());
    startInOwnProcessGroup(*m_process);
    m_timer->setSingleShot(true);

    connect(m_process, &QProcess::readyReadStandardOutput, this, &FormatQuery::readOutput);
    connect(m_process, &QProcess::finished, this, &FormatQuery::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, &FormatQuery::processErrorOccurred);
    connect(m_timer, &QTimer::timeout, this, &FormatQuery::timedOut);
}

FormatQuery::~FormatQuery()
{
    if (m_process->state() == QProcess::NotRunning) {
        return;
    }
    // No signal from a query that its owner is tearing down.
    m_process->disconnect(this);
    stopProcessGroupAndWait(*m_process, shutdownGraceMilliseconds);
}

QString FormatQuery::composeCommand(const QString &youtubeDLPath, const QString &address)
{
    // "--" ends the options: an address that begins with "-" stays an address.
    return shellQuote(youtubeDLPath) + u" -F -- "_s + shellQuote(address);
}

void FormatQuery::start(const QString &youtubeDLPath, const QString &address)
{
    if (isRunning()) {
        return;
    }
    m_output.clear();
    m_timedOut = false;
    m_process->setArguments(shellArguments(composeCommand(youtubeDLPath, address)));
    m_timer->start(m_timeout);
    m_process->start();
}

bool FormatQuery::isRunning() const
{
    return m_process->state() != QProcess::NotRunning;
}

void FormatQuery::setTimeout(std::chrono::milliseconds timeout)
{
    m_timeout = timeout;
}

void FormatQuery::readOutput()
{
    const QByteArray chunk = m_process->readAllStandardOutput();
    m_output += chunk.first(std::min(chunk.size(), outputLimit - m_output.size()));
}

void FormatQuery::processFinished()
{
    m_timer->stop();
    readOutput();
    const QByteArray output = std::exchange(m_output, {});

    if (m_timedOut) {
        emit failed(tr("Délai dépassé : le téléchargeur ne répond pas"));
        return;
    }
    QList<formatYoutube> formats = parseFormatListing(output);
    if (formats.isEmpty()) {
        const int status
            = m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : 0;
        if (status == shellCannotExecute || status == shellCommandNotFound) {
            emit failed(tr("Impossible de lancer le téléchargeur : %1").arg(lastLine(output)));
            return;
        }
        const QString error = lastErrorLine(output);
        if (!error.isEmpty()) {
            emit failed(error);
            return;
        }
        // A downloader that failed without a word still fails, not "no formats".
        if (m_process->exitStatus() != QProcess::NormalExit || status != 0) {
            emit failed(m_process->exitStatus() == QProcess::NormalExit
                            ? tr("Le téléchargeur a échoué (code de sortie %1)").arg(status)
                            : tr("Le téléchargeur s'est arrêté"));
            return;
        }
    }
    emit formatsListed(formats);
}

void FormatQuery::processErrorOccurred()
{
    // Every other error also ends in finished(), which reports it.
    if (m_process->error() != QProcess::FailedToStart) {
        return;
    }
    m_timer->stop();
    m_output.clear();
    emit failed(tr("Impossible de lancer le téléchargeur : %1").arg(m_process->errorString()));
}

void FormatQuery::timedOut()
{
    // The report waits for finished(): only then are the shell and the downloader gone.
    m_timedOut = true;
    terminateProcessGroup(*m_process);
}
