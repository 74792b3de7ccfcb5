// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadRunner.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "download/DownloadCommand.h"
#include "download/DownloadOutputMonitor.h"
#include "download/TitleNaming.h"
#include "tools/FailureExplanation.h"
#include "tools/Logging.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
// The path without its file's last extension.
QByteArray base(const QByteArray &path)
{
    const qsizetype dot = path.lastIndexOf('.');
    return dot > path.lastIndexOf('/') ? path.first(dot) : path;
}
} // namespace

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
    connect(m_monitor, &DownloadOutputMonitor::subtitlesMissed, this,
            [this](const QString &language, const QString &cause) {
                const bool known = std::any_of(
                    m_missedSubtitles.cbegin(), m_missedSubtitles.cend(),
                    [&language](const auto &missed) { return missed.first == language; });
                if (!known) {
                    m_missedSubtitles.append({language, cause});
                }
            });
}

DownloadRunner::~DownloadRunner()
{
    // Receivers may be half destroyed by now (a parent window): clean up without telling.
    blockSignals(true);
    stopAndWait();
}

QString DownloadRunner::failurePrefix()
{
    return tr("Échec du téléchargement : ");
}

void DownloadRunner::start(const DownloadRequest &request)
{
    if (isRunning()) {
        return;
    }
    m_pausing = false;
    m_lastError.clear();
    m_missedSubtitles.clear();
    m_produced.clear();
    m_file = m_files = 0;
    // A list of this download's own, so that no file of an earlier one is counted.
    m_finalFilesList = std::make_unique<QTemporaryFile>(ShellProcess::workingFolder()
                                                        + u"/final-files-XXXXXX"_s);
    DownloadRequest named = request;
    if (m_finalFilesList->open()) {
        named.finalFilesList = m_finalFilesList->fileName();
        m_finalFilesList->close();
    } else {
        m_finalFilesList.reset();
    }
    if (const QString problem = m_cookieCopy.giveTo(named.options); !problem.isEmpty()) {
        m_finalFilesList.reset();
        // Once start() has returned, as a run's end comes (the queue starts its next job
        // from failed()); running until then.
        m_refusing = true;
        QMetaObject::invokeMethod(
            this,
            [this, problem] {
                m_refusing = false;
                emit failed(failurePrefix() + problem, {});
            },
            Qt::QueuedConnection);
        return;
    }
    m_keepsOriginals = request.audio && request.audioPreserveVideo == ControlState::On;
    const QString commandLine = composeDownloadCommand(named);
    qCInfo(lcQuorvel).noquote() << shellArguments(commandLine).join(u' ');
    m_titleOnly = request.naming == FileNaming::Title;
    m_subtitleFiles = request.subtitles.embed ? QStringList() : request.subtitles.languages;
    // A run that carries on finds its partial files among the old ones; they stay, as only
    // the file at a destination itself is ever replaced, never what lies beside it.
    m_cleanup.begin(QFile::encodeName(request.folder),
                    m_titleOnly ? DestinationCleanup::OldFiles::Kept
                                : DestinationCleanup::OldFiles::Replaced);
    m_process->start(commandLine);
}

bool DownloadRunner::isRunning() const
{
    return m_process->isRunning() || m_refusing;
}

void DownloadRunner::cancel()
{
    // A cancel asked while pausing wins: the files go.
    m_pausing = false;
    m_process->cancel();
}

void DownloadRunner::stopAndWait()
{
    m_pausing = false;
    m_process->stopAndWait();
}

void DownloadRunner::pause()
{
    if (isRunning()) {
        m_pausing = true;
        m_process->cancel();
    }
}

void DownloadRunner::pauseAndWait()
{
    if (isRunning()) {
        m_pausing = true;
        m_process->stopAndWait();
    }
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
    // The downloader has written its cookies back, and is done with them.
    m_cookieCopy.remove();
    switch (end.kind) {
    case ShellProcess::EndKind::Cancelled:
        // Every partial file stays, under the downloader's own names, for the next run to
        // carry on from: what it finds whole it counts as downloaded.
        if (m_pausing) {
            m_finalFilesList.reset();
            emit paused();
            return;
        }
        [[fallthrough]];
    case ShellProcess::EndKind::TimedOut:
        for (const QByteArray &path : namedFiles()) {
            m_cleanup.finalFileNamed(path);
        }
        m_cleanup.removeUnfinished();
        giveTitles(m_produced);
        m_finalFilesList.reset();
        emit cancelled();
        return;
    default:
        break;
    }
    QList<QByteArray> files = finalFiles();
    m_finalFilesList.reset();
    if (end.succeeded() && !files.isEmpty()) {
        giveTitles(files);
        QStringList names;
        for (const QByteArray &path : std::as_const(files)) {
            names << QFile::decodeName(path);
        }
        if (const QString warning = subtitleWarning(); !warning.isEmpty()) {
            emit warned(warning);
        }
        emit finished(names);
        return;
    }
    giveTitles(m_produced);
    // A downloader that ends well without a file, for a format it could not fetch or an
    // address with no video, has not downloaded anything.
    if (end.succeeded() && m_lastError.isEmpty()) {
        emit failed(tr("Échec du téléchargement : le téléchargeur n'a écrit aucun fichier"), {});
        return;
    }
    const Failure failure
        = describeFailure(failurePrefix(), m_lastError.isEmpty() ? end.reason() : m_lastError);
    emit failed(failure.message, failure.detail);
}

QList<QByteArray> DownloadRunner::namedFiles() const
{
    QFile list(m_finalFilesList ? m_finalFilesList->fileName() : QString());
    return list.open(QIODevice::ReadOnly) ? list.readAll().split('\n') : QList<QByteArray>();
}

QList<QByteArray> DownloadRunner::finalFiles() const
{
    // Without a list of its own, the files that the output announced.
    QList<QByteArray> named = m_finalFilesList ? namedFiles() : m_produced;
    // The downloader names the converted file only, not the original kept beside it.
    if (m_keepsOriginals) {
        named += m_produced;
    }
    QList<QByteArray> files;
    QStringList seen;
    for (const QByteArray &path : std::as_const(named)) {
        // The output and the list may spell one file two ways.
        const QString file = QFileInfo(QFile::decodeName(path)).canonicalFilePath();
        if (!path.isEmpty() && !file.isEmpty() && !seen.contains(file)) {
            seen << file;
            files << path;
        }
    }
    return files;
}

void DownloadRunner::giveTitles(QList<QByteArray> &paths) const
{
    if (!m_titleOnly) {
        return;
    }
    // What is there once the downloader has ended is whole: it writes each file under a
    // temporary name and renames it when done, and the cleanup removed an unfinished
    // conversion.
    for (QByteArray &path : paths) {
        if (!QFileInfo::exists(QFile::decodeName(path))) {
            continue;
        }
        const QByteArray marked = path;
        path = moveToFreeName(path);
        // The .srt files beside it ("<name>.fr.srt") follow it, never over another file.
        for (const QString &language : m_subtitleFiles) {
            const QByteArray ending = '.' + language.toUtf8() + ".srt";
            const QString from = QFile::decodeName(base(marked) + ending);
            if (path != marked && QFileInfo::exists(from)
                && !QFile::rename(from, QFile::decodeName(base(path) + ending))) {
                qCInfo(lcQuorvel) << "Subtitles kept as" << from;
            }
        }
    }
}

QString DownloadRunner::subtitleWarning() const
{
    // The languages missed for the same reason are named together.
    QStringList reasons;
    QList<QStringList> languages;
    for (const auto &[language, cause] : m_missedSubtitles) {
        const QString explained = explainFailure(cause);
        const QString reason = explained.isEmpty() ? cause : explained;
        const qsizetype at = reasons.indexOf(reason);
        if (at < 0) {
            reasons << reason;
            languages << QStringList {language};
        } else {
            languages[at] << language;
        }
    }
    QStringList parts;
    for (qsizetype i = 0; i < reasons.size(); ++i) {
        parts << tr("Sous-titres %1 non téléchargés : %2")
                     .arg(languages.at(i).join(u", "_s), reasons.at(i));
    }
    return parts.join(u" ; "_s);
}
