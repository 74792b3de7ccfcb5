// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/Session.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <QDateTime>
#include <QFileInfo>

#include "catalogue/FormatList.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/FormatTableModel.h"
#include "catalogue/PlaylistModel.h"
#include "catalogue/PlaylistReader.h"
#include "catalogue/ThumbnailFetcher.h"
#include "download/DownloadQueue.h"
#include "download/JobStore.h"
#include "download/ListDownload.h"

using namespace Qt::StringLiterals;

namespace {
// Converting the subtitles to .srt, putting them or anything else into the file: ffmpeg's work.
bool needsConverter(const SubtitleRequest &subtitles, const EmbedChoice &embed)
{
    return !subtitles.languages.isEmpty() || embed != EmbedChoice {};
}
} // namespace

Session::Session(QSettings &store, ToolSet &tools, JobStore *jobs, QObject *parent)
    : QObject(parent)
    , m_settings(store)
    , m_tools(tools)
    , m_jobs(jobs)
    , m_model(new FormatTableModel(formatList(), this))
    , m_query(new FormatQuery(this))
    , m_queue(new DownloadQueue(jobs, this))
    , m_installer(new ToolInstaller(this))
    , m_playlist(new PlaylistModel(this))
    , m_listReader(new PlaylistReader(this))
{
    connectQuery();
    connectListReader();
    connectQueue();
    connectInstaller();
    m_queue->setPreparation([this](DownloadRequest &request) { return prepareRun(request); });
    m_queue->setMaximumRunning(m_settings.simultaneousDownloads());
    m_queue->restore(m_settings.resumeAtStart());
    // Ticking a format says which formats to fetch.
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.contains(Qt::CheckStateRole) && !m_model->checkedFormats().isEmpty()) {
                    setQualityChoice(QualityChoice::Ticked);
                }
            });
}

Session::~Session() = default;

void Session::connectQuery()
{
    connect(m_query, &FormatQuery::descriptionRefused, this,
            [this](const QString &message) { m_listingNote = message; });
    connect(m_query, &FormatQuery::videoDescribed, this, [this](const VideoDescription &video) {
        m_described = video;
        emit videoDescribed(video);
    });
    connect(m_query, &FormatQuery::formatsListed, this,
            [this](const QList<formatYoutube> &formats, bool cut) {
                m_model->appendFormats(formats);
                emit formatsListed(formats);
                end(Work::Listing,
                    cut ? tr("Liste des formats tronquée : au-delà de 4 Mio, des formats manquent")
                        : formats.isEmpty() ? tr("Aucun format trouvé pour cette adresse")
                                            : std::exchange(m_listingNote, {}));
                m_listingNote.clear();
            });
    connect(m_query, &FormatQuery::failed, this,
            [this](const QString &message, const QString &detail) {
                m_model->reload();
                end(Work::Listing, message, detail);
            });
}

void Session::connectQueue()
{
    connect(m_queue, &DownloadQueue::storeProblem, this,
            [this](const QString &problem) { emit messageChanged(problem, {}); });
    connect(m_queue, &DownloadQueue::jobStarted, this, [this](qint64 id) {
        // The message line and the progress turn to the job that starts, which shows what
        // its request changed in the ticked formats until the downloader names its file.
        m_shownJob = id;
        emit started(Work::Download);
        emit messageChanged(m_queue->job(id)->request.note, {});
    });
    connect(m_queue, &DownloadQueue::destinationAnnounced, this,
            [this](qint64 id, const QString &path) {
                if (id == m_shownJob) {
                    emit messageChanged(path, {});
                }
            });
    connect(m_queue, &DownloadQueue::progressChanged, this,
            [this](qint64 id, const DownloadProgress &progress) {
                if (id == m_shownJob) {
                    emit progressChanged(progress);
                }
            });
    connect(m_queue, &DownloadQueue::jobFinished, this,
            [this](qint64 id, const QStringList &files, const QString &folder) {
                if (id == m_shownJob) {
                    // What it lacks, or else what its request changed.
                    const DownloadJob *job = m_queue->job(id);
                    end(Work::Download, job->warning.isEmpty() ? job->request.note : job->warning);
                    emit downloadFinished(files, folder);
                }
            });
    connect(m_queue, &DownloadQueue::jobFailed, this,
            [this](qint64 id, const QString &message, const QString &detail) {
                if (id == m_shownJob) {
                    end(Work::Download, message, detail);
                }
            });
    connect(m_queue, &DownloadQueue::jobCancelled, this, [this](qint64 id) {
        if (id == m_shownJob) {
            end(Work::Download, tr("Téléchargement annulé"));
        }
    });
    connect(m_queue, &DownloadQueue::jobPaused, this, [this](qint64 id) {
        if (id == m_shownJob) {
            end(Work::Download, tr("Téléchargement mis en pause"));
        }
    });
}

void Session::connectInstaller()
{
    connect(m_installer, &ToolInstaller::progressChanged, this, &Session::transferProgressChanged);
    connect(m_installer, &ToolInstaller::installed, this,
            [this](const QString &, const QString &version) { toolInstalled(version); });
    connect(m_installer, &ToolInstaller::failed, this,
            [this](const QString &message) { end(Work::Installation, message); });
}

FormatTableModel *Session::formats() const
{
    return m_model;
}

DownloadQueue *Session::queue() const
{
    return m_queue;
}

void Session::setSimultaneousDownloads(int count)
{
    m_queue->setMaximumRunning(count);
}

void Session::setRetryDelay(std::chrono::milliseconds delay)
{
    m_queue->setRetryDelay(delay);
}

void Session::setQueryTimeout(std::chrono::milliseconds timeout)
{
    m_query->setTimeout(timeout);
}

void Session::setReleaseSources(const ReleaseSources &sources)
{
    m_installer->setSources(sources);
}

void Session::setGoingBackConfirmation(ToolInstaller::GoingBackConfirmation confirmation)
{
    m_installer->setGoingBackConfirmation(std::move(confirmation));
}

bool Session::isRunning(Work work) const
{
    switch (work) {
    case Work::Listing:
        return m_listing;
    case Work::Download:
        return m_shownJob != 0 && m_queue->job(m_shownJob)
            && m_queue->job(m_shownJob)->state == JobState::Running;
    case Work::Installation:
        return m_installing;
    }
    return false;
}

bool Session::isBusy() const
{
    return m_listing || m_installing || isRunning(Work::Download);
}

bool Session::canList() const
{
    // A download queued during a listing would take the old ticks to a new address, and
    // one during an installation a downloader being replaced.
    return !m_listing && !m_installing && youtubeDLPath().has_value();
}

bool Session::canDownload(DownloadMode mode) const
{
    return canList() && (mode == DownloadMode::Plain || ffmpegPath().has_value());
}

bool Session::canInstall() const
{
    return !m_listing && !m_installing && m_queue->runningCount() == 0;
}

bool Session::canRevertDownloader() const
{
    return canInstall() && m_tools.isManaged();
}

QString Session::startMessage() const
{
    const QString missing = m_tools.missing(ToolSet::Need::DownloaderAndConverter);
    return missing.isEmpty() && m_jobs && !m_jobs->isOpen() ? m_jobs->problem() : missing;
}

bool Session::mayRun(ToolSet::Need need, const QString &address)
{
    const QString missing = m_tools.missing(need);
    if (!missing.isEmpty()) {
        emit messageChanged(missing, {});
        return false;
    }
    if (address.trimmed().isEmpty()) {
        emit messageChanged(tr("Saisissez l'adresse d'une vidéo"), {});
        return false;
    }
    return true;
}

DownloaderOptions Session::downloaderOptions() const
{
    return {m_tools.javaScriptRuntimeOption(), m_settings.cookieChoice()};
}

QualityChoice Session::qualityChoice() const
{
    return qualityChoiceFromId(m_settings.downloadChoice());
}

void Session::setQualityChoice(QualityChoice choice)
{
    if (choice == qualityChoice()) {
        return;
    }
    m_settings.setDownloadChoice(qualityChoiceId(choice));
    emit qualityChoiceChanged(choice);
}

void Session::queryFormats(const QString &address)
{
    if (isBusy() || !mayRun(ToolSet::Need::Downloader, address)) {
        return;
    }
    m_listing = true;
    m_described = {};
    m_describedAddress = address;
    emit messageChanged(tr("Recherche des formats…"), {});
    emit started(Work::Listing);
    m_query->start(*youtubeDLPath(), address, downloaderOptions());
}

void Session::download(DownloadMode mode, const QString &address, const FolderChooser &chooseFolder)
{
    // A missing tool is said below.
    if (m_listing || m_installing) {
        return;
    }
    // The settings are read on every download, plain ones included, before the folder.
    const AudioSettings audio = m_settings.audioSettings();
    DownloadChoice choice;
    choice.mode = mode;
    choice.quality = mode == DownloadMode::Plain ? qualityChoice() : QualityChoice::Ticked;
    choice.ticked = m_model->checkedFormats();
    choice.listed = formatList();
    // The languages are known of the listed video only.
    if (m_described.described && !m_described.isPlaylist && address == m_describedAddress) {
        choice.subtitles = subtitleRequest(m_described.subtitles, m_settings.subtitleLanguages(),
                                           m_settings.subtitlesEmbedded());
    }
    choice.embed = m_settings.embedChoice();
    // The ready-made choices merge or extract, and the subtitles and what goes into the file
    // are written by the converter: they need it too.
    const bool converter = mode == DownloadMode::Audio || choice.quality != QualityChoice::Ticked
        || needsConverter(choice.subtitles, choice.embed);
    if (!mayRun(converter ? ToolSet::Need::DownloaderAndConverter : ToolSet::Need::Downloader,
                address)) {
        return;
    }
    if (mode == DownloadMode::Audio && !choice.ticked.isEmpty()
        && selectFormats(choice.ticked, {}, FormatUse::Audio).ids.isEmpty()) {
        emit messageChanged(tr("Aucun format coché n'a de son : cochez un format audio, ou "
                               "aucun pour le meilleur"),
                            {});
        return;
    }
    const QString folder = chooseFolder(m_settings.lastFolder());
    if (folder.isEmpty()) {
        return;
    }
    if (const QString refusal = folderRefusal(folder); !refusal.isEmpty()) {
        emit messageChanged(refusal, {});
        return;
    }
    choice.folder = folder;
    choice.address = address;
    choice.audio = audio;
    choice.mergeContainer
        = m_settings.mergeVideoAndAudio() ? m_settings.mergeContainer() : QString();
    choice.container = m_settings.mergeContainer();
    choice.options = downloaderOptions();
    choice.naming = m_settings.fileNaming();
    choice.downloadArchive = m_settings.skipDownloaded() ? downloadArchivePath() : QString();
    const DownloadRequest request = makeDownloadRequest(choice);
    m_settings.setLastFolder(request.folder);
    queue(request, choice);
}

void Session::downloadEntries(const QString &listTitle, const QList<PlaylistEntry> &entries,
                              int count, const FolderChooser &chooseFolder)
{
    QList<PlaylistEntry> chosen;
    std::copy_if(entries.cbegin(), entries.cend(), std::back_inserter(chosen),
                 [](const PlaylistEntry &entry) { return !entry.url.isEmpty(); });
    // Every ready-made choice merges or extracts: the converter is needed.
    if (m_listing || m_installing || chosen.isEmpty()
        || !mayRun(ToolSet::Need::DownloaderAndConverter, chosen.first().url.toString())) {
        return;
    }
    DownloadChoice choice;
    // The ticked formats are the listed video's, not the list's.
    choice.quality
        = qualityChoice() == QualityChoice::Ticked ? QualityChoice::Best : qualityChoice();
    choice.audio = m_settings.audioSettings();
    const QString folder = chooseFolder(m_settings.lastFolder());
    if (folder.isEmpty()) {
        return;
    }
    if (const QString refusal = folderRefusal(folder); !refusal.isEmpty()) {
        emit messageChanged(refusal, {});
        return;
    }
    choice.folder = folder;
    choice.container = m_settings.mergeContainer();
    choice.options = downloaderOptions();
    choice.naming = m_settings.fileNaming();
    choice.downloadArchive = m_settings.skipDownloaded() ? downloadArchivePath() : QString();
    // The entries' subtitle languages are not known: none are asked.
    choice.embed = m_settings.embedChoice();
    m_settings.setLastFolder(folder);
    const QList<DownloadRequest> requests = makeListRequests(choice, listTitle, chosen, count);
    QList<DownloadJob> jobs;
    for (qsizetype i = 0; i < requests.size(); ++i) {
        jobs << makeJob(requests.at(i), choice, chosen.at(i).title);
    }
    // In one go: the queue's view and its activity change once for the whole list.
    if (!m_queue->addAll(jobs).contains(m_shownJob)) {
        emit messageChanged(tr("Ajouté à la file d'attente : %1")
                                .arg(listTitle.isEmpty() ? jobs.constLast().name() : listTitle),
                            {});
    }
}

DownloadJob Session::makeJob(const DownloadRequest &request, const DownloadChoice &choice,
                             const QString &title) const
{
    DownloadJob job;
    job.request = request;
    // Filled in at each run, so that an updated downloader is the one that runs.
    job.request.youtubeDLPath.clear();
    job.request.ffmpegPath.clear();
    // But the cookies: a queued job keeps the choice it was made with.
    job.request.options = {};
    job.request.options.cookies = request.options.cookies;
    if (m_described.described && request.address == m_describedAddress) {
        job.title = m_described.title;
        if (!m_described.thumbnail.isEmpty()) {
            const QString picture = ThumbnailFetcher::cachePath(
                ThumbnailFetcher::defaultCacheFolder(), m_described.thumbnail);
            job.picturePath = QFileInfo(picture).isFile() ? picture : QString();
        }
    }
    if (request.audio) {
        job.fetched = tr("Audio %1").arg(request.audioFormat);
    } else if (choice.quality != QualityChoice::Ticked) {
        job.fetched = qualityChoiceText(choice.quality);
    } else {
        job.fetched = request.formatIDs.isEmpty()
            ? tr("Meilleur format")
            : tr("Formats %1").arg(request.formatIDs.join(u", "_s));
    }
    if (!title.isEmpty()) {
        job.title = title;
    }
    job.added = QDateTime::currentDateTimeUtc();
    return job;
}

void Session::queue(const DownloadRequest &request, const DownloadChoice &choice,
                    const QString &title)
{
    const DownloadJob job = makeJob(request, choice, title);
    const qint64 id = m_queue->add(job);
    // Started at once, the job has said so already; otherwise it waits for its turn.
    if (id != m_shownJob) {
        emit messageChanged(tr("Ajouté à la file d'attente : %1").arg(job.name()), {});
    }
}

QString Session::prepareRun(DownloadRequest &request) const
{
    const bool converter = request.audio || !request.mergeOutputFormat.isEmpty()
        || !request.formatSort.isEmpty() || needsConverter(request.subtitles, request.embed);
    const QString missing = m_tools.missing(converter ? ToolSet::Need::DownloaderAndConverter
                                                      : ToolSet::Need::Downloader);
    if (!missing.isEmpty()) {
        return missing;
    }
    request.youtubeDLPath = youtubeDLPath().value_or(QString());
    request.ffmpegPath = ffmpegPath().value_or(QString());
    // The job's own cookies, chosen when it was made.
    const CookieChoice cookies = request.options.cookies;
    request.options = downloaderOptions();
    request.options.cookies = cookies;
    return {};
}

void Session::updateDownloader()
{
    install(m_settings.downloaderChannel() == u"nightly"_s ? ToolInstaller::Tool::NightlyDownloader
                                                           : ToolInstaller::Tool::Downloader,
            tr("Mise à jour du téléchargeur…"));
}

void Session::installJavaScriptRuntime()
{
    install(ToolInstaller::Tool::JavaScriptRuntime, tr("Installation de deno…"));
}

void Session::install(ToolInstaller::Tool tool, const QString &message)
{
    if (!canInstall()) {
        return;
    }
    m_installing = true;
    m_installedTool = tool;
    // No download starts with a downloader being replaced.
    m_queue->setHeld(true);
    emit messageChanged(message, {});
    emit started(Work::Installation);
    m_installer->install(
        tool, m_tools.managedFolder(),
        tool == ToolInstaller::Tool::JavaScriptRuntime ? QString() : m_tools.downloaderVersion());
}

void Session::toolInstalled(const QString &version)
{
    m_installing = false;
    m_queue->setHeld(false);
    if (m_installedTool == ToolInstaller::Tool::JavaScriptRuntime) {
        emit messageChanged(tr("Moteur JavaScript installé : %1").arg(version), {});
        m_tools.detectJavaScriptRuntimes();
    } else {
        emit messageChanged(tr("Téléchargeur mis à jour : %1").arg(version), {});
        m_tools.reload();
    }
    emit ended(Work::Installation);
}

void Session::revertDownloader()
{
    if (canRevertDownloader()) {
        m_tools.revertToBundled();
    }
}

void Session::cancel()
{
    if (m_listing || m_installing) {
        m_query->cancel();
        m_installer->cancel();
    } else if (isRunning(Work::Download)) {
        m_queue->cancel(m_shownJob);
    }
}

void Session::stop(Leaving leaving)
{
    leaving == Leaving::PauseDownloads ? m_queue->pauseAllAndWait() : m_queue->cancelAllAndWait();
    // A listing would hold up the quit.
    m_query->cancel();
    m_listReader->cancel();
}

void Session::end(Work work, const QString &message, const QString &detail)
{
    if (work == Work::Listing) {
        m_listing = false;
    } else if (work == Work::Installation) {
        m_installing = false;
        m_queue->setHeld(false);
    }
    emit messageChanged(message, detail);
    emit ended(work);
}

void Session::connectListReader()
{
    connect(m_listReader, &PlaylistReader::entriesRead, m_playlist, &PlaylistModel::append);
    connect(m_listReader, &PlaylistReader::finished, this, [this](int, bool cut) {
        if (cut) {
            emit messageChanged(tr("Liste tronquée : seules les %L1 premières vidéos sont lues")
                                    .arg(PlaylistReader::entryLimit),
                                {});
        }
        emit listEnded();
    });
    connect(m_listReader, &PlaylistReader::failed, this,
            [this](const QString &message, const QString &detail) {
                emit messageChanged(message, detail);
                emit listEnded();
            });
    connect(m_listReader, &PlaylistReader::cancelled, this, &Session::listEnded);
}

PlaylistModel *Session::playlist() const
{
    return m_playlist;
}

void Session::readList(const QString &address)
{
    if (m_listReader->isRunning() || !canList() || !mayRun(ToolSet::Need::Downloader, address)) {
        return;
    }
    m_playlist->clear(m_described.playlistTitle.isEmpty() ? m_described.title
                                                          : m_described.playlistTitle);
    emit listStarted();
    m_listReader->start(*youtubeDLPath(), address, downloaderOptions());
}

bool Session::isReadingList() const
{
    return m_listReader->isRunning();
}

void Session::cancelList()
{
    m_listReader->cancel();
}

void Session::downloadList(const FolderChooser &chooseFolder)
{
    // While the list is read, its announced size sets the width of the numbers.
    downloadEntries(m_playlist->listTitle(), m_playlist->tickedEntries(),
                    std::max(m_playlist->rowCount(), m_described.playlistCount), chooseFolder);
}
