// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "download/DownloadOutputMonitor.h"
#include "tools/Logging.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int quitGraceMilliseconds = 3000;

void logRefusal(const QString &path, const QString &reason)
{
    qCWarning(lcQuorvel).noquote() << u"Fichier %1 ne peut être supprimé : %2"_s.arg(path, reason);
}

// Nothing to remove is no fault: an information line only.
void logMissing(const QString &path)
{
    qCInfo(lcQuorvel).noquote() << u"Fichier %1 ne peut être supprimé : il n'existe pas"_s.arg(
        path);
}

// What the downloader leaves beside a destination while it writes it: the partial file,
// the partial fragments of a segmented download and its resume record.
QStringList partialFiles(const QString &destination)
{
    QStringList files {destination + u".part"_s, destination + u".ytdl"_s};
    const QFileInfo info(destination);
    const QString fragmentPrefix = info.fileName() + u".part-Frag"_s;
    // Matched by prefix rather than by a name filter, which would read wildcard characters
    // in the file name.
    const QStringList entries = info.dir().entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString &entry : entries) {
        if (entry.startsWith(fragmentPrefix)) {
            files << info.dir().filePath(entry);
        }
    }
    return files;
}

} // namespace

bool deleteFile(const QString &path, const QString &folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    if (path.isEmpty() || folder.isEmpty() || canonicalFolder.isEmpty()) {
        logRefusal(path, u"le dossier « %1 » est introuvable"_s.arg(folder));
        return false;
    }
    const QFileInfo given(path);
    const QString name = given.fileName();
    if (name.isEmpty() || name == u"."_s || name == u".."_s) {
        logRefusal(path, u"ce n'est pas un nom de fichier"_s);
        return false;
    }
    // The parent is resolved with its links and "..": whatever the text of the path, the
    // file is removed from the folder it really lies in.
    const QString parent = QFileInfo(given.absolutePath()).canonicalFilePath();
    if (parent.isEmpty()) {
        logMissing(path);
        return false;
    }
    const QString target = parent + u'/' + name;
    const QString folderPrefix
        = canonicalFolder.endsWith(u'/') ? canonicalFolder : canonicalFolder + u'/';
    if (!target.startsWith(folderPrefix)) {
        logRefusal(path, u"il est hors du dossier « %1 »"_s.arg(folder));
        return false;
    }

    // A link is judged as a link, not by what it points to, and only the link goes.
    const QFileInfo item(target);
    if (!item.isSymLink()) {
        if (!item.exists()) {
            logMissing(path);
            return false;
        }
        if (!item.isFile()) {
            logRefusal(path, u"ce n'est pas un fichier ordinaire"_s);
            return false;
        }
    }
    QFile file(target);
    if (!file.remove()) {
        logRefusal(path, file.errorString());
        return false;
    }
    return true;
}

DownloadRunner::DownloadRunner(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
    , m_monitor(new DownloadOutputMonitor(this))
{
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    startInOwnProcessGroup(*m_process);

    connect(m_process, &QProcess::started, this, &DownloadRunner::started);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &DownloadRunner::readOutput);
    connect(m_process, &QProcess::finished, this, &DownloadRunner::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, &DownloadRunner::processErrorOccurred);

    connect(m_monitor, &DownloadOutputMonitor::destinationAnnounced, this,
            [this](const QString &path) {
                // The line may be read after the downloader has already written the file
                // (a busy machine): a file changed since the start is this download's own.
                const QDateTime changed = QFileInfo(path).metadataChangeTime();
                if (!changed.isValid() || changed <= m_startTime) {
                    deleteFile(path, m_folder);
                }
                m_destinations << path;
                emit destinationAnnounced(path);
            });
    connect(m_monitor, &DownloadOutputMonitor::progressChanged, this,
            &DownloadRunner::progressChanged);
    connect(m_monitor, &DownloadOutputMonitor::errorReported, this,
            [this](const QString &line) { m_lastError = line; });
}

DownloadRunner::~DownloadRunner()
{
    // Receivers may be half destroyed by now (a parent window): clean up without telling.
    blockSignals(true);
    stopAndWait();
}

void DownloadRunner::start(const QStringList &arguments, const QString &folder)
{
    if (isRunning()) {
        return;
    }
    m_folder = folder;
    m_destinations.clear();
    m_lastError.clear();
    m_cancelling = false;
    m_startTime = QDateTime::currentDateTimeUtc();

    qCInfo(lcQuorvel).noquote() << arguments.join(u' ');
    m_process->setProgram(shellProgram());
    m_process->setArguments(arguments);
    m_process->start();
}

bool DownloadRunner::isRunning() const
{
    return m_process->state() != QProcess::NotRunning;
}

void DownloadRunner::cancel()
{
    if (!isRunning() || m_cancelling) {
        return;
    }
    m_cancelling = true;
    terminateProcessGroup(*m_process);
}

void DownloadRunner::stopAndWait()
{
    if (!isRunning()) {
        return;
    }
    m_cancelling = true;
    // Members of the group that outlive the shell (a converter ignoring SIGTERM) go too.
    stopProcessGroupAndWait(*m_process, quitGraceMilliseconds);
}

void DownloadRunner::readOutput()
{
    m_monitor->feed(m_process->readAllStandardOutput());
}

void DownloadRunner::processFinished(int exitCode, int exitStatus)
{
    readOutput();
    m_monitor->finish();

    if (m_cancelling) {
        for (const QString &destination : std::as_const(m_destinations)) {
            for (const QString &partial : partialFiles(destination)) {
                if (QFileInfo(partial).isSymLink() || QFileInfo::exists(partial)) {
                    deleteFile(partial, m_folder);
                }
            }
        }
        emit cancelled();
        return;
    }
    if (exitStatus == QProcess::NormalExit && exitCode == 0) {
        emit finished();
        return;
    }
    QString reason = m_lastError;
    if (reason.isEmpty()) {
        reason = exitStatus == QProcess::NormalExit ? tr("code de sortie %1").arg(exitCode)
                                                    : tr("le téléchargeur s'est arrêté");
    }
    emit failed(tr("Échec du téléchargement : %1").arg(reason));
}

void DownloadRunner::processErrorOccurred()
{
    // Only a failed start ends a download here; every other error is followed by finished().
    if (m_process->error() != QProcess::FailedToStart) {
        return;
    }
    emit failed(tr("Échec du téléchargement : %1").arg(m_process->errorString()));
}
