// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "catalogue/VideoDescription.h"
#include "download/DownloadCommand.h"
#include "download/DownloadOutputMonitor.h"
#include "settings/Settings.h"
#include "tools/ToolInstaller.h"
#include "tools/ToolSet.h"

class DownloadRunner;
class FormatQuery;
class FormatTableModel;
class QSettings;

/// What the application does, apart from any window: the format listing and its table, the
/// download, the installation of tools, and the rule of what may start while what runs. The
/// window forwards the user's intent here and shows what the session reports.
class Session final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Session)

public:
    enum class Work { Listing, Download, Installation };
    Q_ENUM(Work)
    /// Asks the user for the download folder, starting in `start`; empty: given up.
    using FolderChooser = std::function<QString(const QString &start)>;

    /// `store` and `tools` must outlive the session.
    Session(QSettings &store, ToolSet &tools, QObject *parent = nullptr);
    ~Session() override;

    /// The listed formats over formatList(), with their ticks and order.
    FormatTableModel *formats() const;
    void setQueryTimeout(std::chrono::milliseconds timeout);
    void setReleaseSources(const ReleaseSources &sources);
    void setGoingBackConfirmation(ToolInstaller::GoingBackConfirmation confirmation);

    bool isRunning(Work work) const;
    /// Whether any work runs: then nothing else may start, and cancel() has something to stop.
    bool isBusy() const;
    // Whether each may start now: nothing runs, and the tools it needs are there.
    bool canList() const;
    bool canDownload(DownloadMode mode) const;
    bool canInstall() const;
    bool canRevertDownloader() const;

    /// What the download button fetches; remembered from one start to the next. Ticking a
    /// format turns it to the ticked formats.
    QualityChoice qualityChoice() const;
    void setQualityChoice(QualityChoice choice);

    void queryFormats(const QString &address);
    /// Downloads the quality choice, or the ticked formats in the table's order, into the
    /// folder that `chooseFolder` gives. The audio download always takes the ticked formats.
    void download(DownloadMode mode, const QString &address, const FolderChooser &chooseFolder);
    void updateDownloader();
    void installJavaScriptRuntime();
    void revertDownloader();
    /// Stops whatever runs: the download, the listing or the installation.
    void cancel();
    /// For quitting: stops a download and waits for it (a few seconds at most), and a listing.
    void stop();

signals:
    void started(Session::Work work);
    void ended(Session::Work work);
    /// What the message line says; the detail is the tool's own line, for the tooltip.
    void messageChanged(const QString &message, const QString &detail);
    void formatsListed(const QList<formatYoutube> &formats);
    /// The listed video, just before its formats.
    void videoDescribed(const VideoDescription &video);
    void qualityChoiceChanged(QualityChoice choice);
    void progressChanged(const DownloadProgress &progress);
    /// A download ended well, with the files it left in `folder`.
    void downloadFinished(const QStringList &files, const QString &folder);
    /// Of the tool being installed; `total` is -1 while unknown.
    void transferProgressChanged(qint64 received, qint64 total);

private:
    void connectQuery();
    void connectRunner();
    void connectInstaller();
    /// Whether the tools of `need` and an address are there; says what is missing otherwise.
    bool mayRun(ToolSet::Need need, const QString &address);
    DownloaderOptions downloaderOptions() const;
    void install(ToolInstaller::Tool tool, const QString &message);
    void end(Work work, const QString &message, const QString &detail = {});
    void toolInstalled(const QString &version);

    Settings m_settings;
    ToolSet &m_tools;
    FormatTableModel *m_model = nullptr;
    FormatQuery *m_query = nullptr;
    DownloadRunner *m_runner = nullptr;
    ToolInstaller *m_installer = nullptr;
    QString m_downloadFolder;
    /// What the request changed in the ticked formats, said again at the end.
    QString m_downloadNote;
    /// Why the listing's description was refused, said at its end when nothing weighs more.
    QString m_listingNote;
    // Set before each work starts, so that a failure reported at once finds it running.
    bool m_listing = false;
    bool m_downloading = false;
    bool m_installing = false;
    // The tool being installed, which the end reports on.
    ToolInstaller::Tool m_installedTool = ToolInstaller::Tool::Downloader;
};
