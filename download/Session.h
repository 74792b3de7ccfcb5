// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "catalogue/PlaylistEntry.h"
#include "catalogue/VideoDescription.h"
#include "download/DownloadCommand.h"
#include "download/DownloadOutputMonitor.h"
#include "settings/Settings.h"
#include "tools/ToolInstaller.h"
#include "tools/ToolSet.h"

class DownloadQueue;
struct DownloadJob;
class FormatQuery;
class FormatTableModel;
class JobStore;
class PlaylistModel;
class PlaylistReader;
class QSettings;

/// What the application does, apart from any window: the format listing and its table, the
/// queue of downloads, the installation of tools, and the rule of what may start while what
/// runs. The window forwards the user's intent here and shows what the session reports.
///
/// Downloads are jobs of the queue: asking for one queues it and returns at once, so that the
/// next video can be listed while it runs. The message line and the progress follow the job
/// that started last.
class Session final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Session)

public:
    enum class Work { Listing, Download, Installation };
    Q_ENUM(Work)
    /// Asks the user for the download folder, starting in `start`; empty: given up.
    using FolderChooser = std::function<QString(const QString &start)>;

    /// `store`, `tools` and `jobs` must outlive the session; without `jobs` (or with one that
    /// is not open), the queue lives in memory. The stored jobs come back at once.
    Session(QSettings &store, ToolSet &tools, JobStore *jobs = nullptr, QObject *parent = nullptr);
    ~Session() override;

    /// The listed formats over formatList(), with their ticks and order.
    FormatTableModel *formats() const;
    DownloadQueue *queue() const;
    /// How many downloads run at once.
    void setSimultaneousDownloads(int count);
    /// Before a failed download is tried again (10 seconds unless set).
    void setRetryDelay(std::chrono::milliseconds delay);
    void setQueryTimeout(std::chrono::milliseconds timeout);
    void setReleaseSources(const ReleaseSources &sources);
    void setGoingBackConfirmation(ToolInstaller::GoingBackConfirmation confirmation);

    /// Listing and Installation: whether it runs; Download: whether the job that started last
    /// runs.
    bool isRunning(Work work) const;
    /// Whether cancel() has something to stop: a listing, an installation, or the download
    /// that started last.
    bool isBusy() const;
    // Whether each may start now, and the tools it needs are there. A listing and a download
    // wait for each other (the ticks belong to the listed video); an installation waits for
    // the downloads that run, and holds back the next ones while it runs.
    bool canList() const;
    bool canDownload(DownloadMode mode) const;
    bool canInstall() const;
    bool canRevertDownloader() const;
    /// What the message line says at start: the tools that are missing, or else why the
    /// queue cannot be kept; empty when all is well.
    QString startMessage() const;

    /// What the download button fetches; remembered from one start to the next. Ticking a
    /// format turns it to the ticked formats.
    QualityChoice qualityChoice() const;
    void setQualityChoice(QualityChoice choice);

    void queryFormats(const QString &address);
    /// Queues a download of the quality choice, or of the ticked formats in the table's
    /// order, into the folder that `chooseFolder` gives. The audio download always takes the
    /// ticked formats.
    void download(DownloadMode mode, const QString &address, const FolderChooser &chooseFolder);
    /// Queues a download of each chosen entry of a list, in their order, as the quality
    /// choice says ("Formats cochés" gives the best), into a folder named after the list
    /// inside the one that `chooseFolder` gives. `count`: how many entries the list holds
    /// (negative when unknown), for the width of the numbers that lead the file names.
    void downloadEntries(const QString &listTitle, const QList<PlaylistEntry> &entries, int count,
                         const FolderChooser &chooseFolder);
    /// The entries of the list that readList() reads, with their ticks.
    PlaylistModel *playlist() const;
    /// Reads the entries of the list at `address` into playlist(), from the first, as they
    /// come; each reading ends with listEnded(), a failure said on the message line.
    void readList(const QString &address);
    bool isReadingList() const;
    void cancelList();
    /// Queues the ticked entries of playlist(), as downloadEntries() does.
    void downloadList(const FolderChooser &chooseFolder);
    void updateDownloader();
    void installJavaScriptRuntime();
    void revertDownloader();
    /// Stops the listing or the installation, or else the download that started last.
    void cancel();
    /// What quitting does with the downloads that run or wait.
    enum class Leaving { PauseDownloads, CancelDownloads };
    /// For quitting: pauses (they come back at the next start) or cancels the downloads and
    /// waits for them (a few seconds at most), and stops a listing.
    void stop(Leaving leaving = Leaving::PauseDownloads);

signals:
    void started(Session::Work work);
    void ended(Session::Work work);
    /// What the message line says; the detail is the tool's own line, for the tooltip.
    void messageChanged(const QString &message, const QString &detail);
    void formatsListed(const QList<formatYoutube> &formats);
    /// The listed video, just before its formats.
    void videoDescribed(const VideoDescription &video);
    void qualityChoiceChanged(QualityChoice choice);
    /// Of the download that started last.
    void progressChanged(const DownloadProgress &progress);
    /// The download that started last ended well, with the files it left in `folder`.
    void downloadFinished(const QStringList &files, const QString &folder);
    void listStarted();
    void listEnded();
    /// Of the tool being installed; `total` is -1 while unknown.
    void transferProgressChanged(qint64 received, qint64 total);

private:
    void connectQuery();
    void connectQueue();
    /// The tools' paths and the downloader's options of a run, or why it cannot run.
    QString prepareRun(DownloadRequest &request) const;
    /// Queues the request under the listed video's title and picture when it is the one.
    /// `title`, when given, is the job's.
    void queue(const DownloadRequest &request, const DownloadChoice &choice,
               const QString &title = {});
    /// The job of a request, under the listed video's title and picture when it is the one;
    /// `title`, when given, is the job's.
    DownloadJob makeJob(const DownloadRequest &request, const DownloadChoice &choice,
                        const QString &title) const;
    void connectInstaller();
    void connectListReader();
    /// Whether the tools of `need` and an address are there; says what is missing otherwise.
    bool mayRun(ToolSet::Need need, const QString &address);
    DownloaderOptions downloaderOptions() const;
    void install(ToolInstaller::Tool tool, const QString &message);
    void end(Work work, const QString &message, const QString &detail = {});
    void toolInstalled(const QString &version);

    Settings m_settings;
    ToolSet &m_tools;
    JobStore *m_jobs = nullptr;
    FormatTableModel *m_model = nullptr;
    FormatQuery *m_query = nullptr;
    DownloadQueue *m_queue = nullptr;
    ToolInstaller *m_installer = nullptr;
    PlaylistModel *m_playlist = nullptr;
    PlaylistReader *m_listReader = nullptr;
    /// The listed video, whose title and picture a download of its address takes along.
    VideoDescription m_described;
    QString m_describedAddress;
    /// The job that started last, which the message line and the progress follow; 0: none.
    qint64 m_shownJob = 0;
    /// Why the listing's description was refused, said at its end when nothing weighs more.
    QString m_listingNote;
    // Set before each work starts, so that a failure reported at once finds it running.
    bool m_listing = false;
    bool m_installing = false;
    // The tool being installed, which the end reports on.
    ToolInstaller::Tool m_installedTool = ToolInstaller::Tool::Downloader;
};
