// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadRunner.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>

#include "download/DownloadCommand.h"
#include "download/DownloadOutputMonitor.h"
#include "download/TitleNaming.h"
#include "tools/FailureExplanation.h"
#include "tools/Logging.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

DownloadRunner::DownloadRunner(QObject *parent)
    : QObject(parent)
    , m_process(new ShellProcess(this))
    , m_monitor(new DownloadOutputMonitor(this))
{
    connect(m_process, &ShellProcess::outputRead, m_monitor, &DownloadOutputMonitor::feed);
    connect(m_process, &ShellProcess::ended, this, &DownloadRunner::processEnded);
    connect(m_monitor, &DownloadOutputMonitor::destinationAnnounced, this,
            &DownloadRunner::announceDestination);
    connect(m_monitor, &DownloadOutputMonitor::conversionAnnounced, this,
            [this](const QByteArray &path) {
                m_cleanup.conversionAnnounced(path);
                m_produced << path;
                emit conversionAnnounced(QString::fromUtf8(path));
            });
    connect(m_monitor, &DownloadOutputMonitor::fileAlreadyPresent, this,
            [this](const QByteArray &path) {
                ++m_file;
                m_produced << path;
                emit destinationAnnounced(QString::fromUtf8(path));
            });
    // The converter deletes the originals once its file is whole.
    connect(m_monitor, &DownloadOutputMonitor::originalDeleted, this,
            [this](const QByteArray &path) {
                m_produced.removeAll(path);
                m_cleanup.conversionFinished();
            });
    // Each video of a playlist announces its own files, counted from one.
    connect(m_monitor, &DownloadOutputMonitor::filesAnnounced, this, [this](int count) {
        m_cleanup.conversionFinished();
        m_file = 0;
        m_files = count;
    });
    connect(m_monitor, &DownloadOutputMonitor::progressChanged, this,
            &DownloadRunner::announceProgress);
    connect(m_monitor, &DownloadOutputMonitor::errorReported, this,
            [this](const QString &line) { m_lastError = line; });
}

DownloadRunner::~DownloadRunner()
{
    // Receivers may be half destroyed by now (a parent window): clean up without telling.
    blockSignals(true);
    stopAndWait();
}

void DownloadRunner::start(const DownloadRequest &request)
{
    if (isRunning()) {
        return;
    }
    m_lastError.clear();
    m_produced.clear();
    m_file = m_files = 0;
    const QString commandLine = composeDownloadCommand(request);
    qCInfo(lcQuorvel).noquote() << shellArguments(commandLine).join(u' ');
    m_titleOnly = request.naming == FileNaming::Title;
    m_cleanup.begin(QFile::encodeName(request.folder),
                    m_titleOnly ? DestinationCleanup::OldFiles::Kept
                                : DestinationCleanup::OldFiles::Replaced);
    m_process->start(commandLine);
}

bool DownloadRunner::isRunning() const
{
    return m_process->isRunning();
}

void DownloadRunner::cancel()
{
    m_process->cancel();
}

void DownloadRunner::stopAndWait()
{
    m_process->stopAndWait();
}

void DownloadRunner::announceDestination(const QByteArray &path)
{
    ++m_file;
    m_produced << path;
    m_cleanup.destinationAnnounced(path);
    emit destinationAnnounced(QString::fromUtf8(path));
}

void DownloadRunner::announceProgress(DownloadProgress progress)
{
    progress.file = m_file;
    progress.files = std::max(m_files, m_file);
    emit progressChanged(progress);
}

void DownloadRunner::processEnded(const ShellProcess::End &end)
{
    m_monitor->finish();
    switch (end.kind) {
    case ShellProcess::EndKind::Cancelled:
    case ShellProcess::EndKind::TimedOut:
        m_cleanup.removeUnfinished();
        giveTitles();
        emit cancelled();
        return;
    default:
        break;
    }
    giveTitles();
    if (end.succeeded()) {
        QStringList files;
        for (const QByteArray &path : std::as_const(m_produced)) {
            const QString file = QFile::decodeName(path);
            if (QFileInfo::exists(file) && !files.contains(file)) {
                files << file;
            }
        }
        emit finished(files);
        return;
    }
    const Failure failure = describeFailure(tr("Échec du téléchargement : "),
                                            m_lastError.isEmpty() ? end.reason() : m_lastError);
    emit failed(failure.message, failure.detail);
}

void DownloadRunner::giveTitles()
{
    if (!m_titleOnly) {
        return;
    }
    // What is there once the downloader has ended is whole: it writes each file under a
    // temporary name and renames it when done, and the cleanup removed an unfinished
    // conversion.
    for (QByteArray &path : m_produced) {
        if (QFileInfo::exists(QFile::decodeName(path))) {
            path = moveToFreeName(path);
        }
    }
}
