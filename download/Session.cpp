// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/Session.h"

#include <utility>

#include "catalogue/FormatList.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/FormatTableModel.h"
#include "download/DownloadRunner.h"

using namespace Qt::StringLiterals;

Session::Session(QSettings &store, ToolSet &tools, QObject *parent)
    : QObject(parent)
    , m_settings(store)
    , m_tools(tools)
    , m_model(new FormatTableModel(formatList(), this))
    , m_query(new FormatQuery(this))
    , m_runner(new DownloadRunner(this))
    , m_installer(new ToolInstaller(this))
{
    connectQuery();
    connectRunner();
    connectInstaller();
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
    connect(m_query, &FormatQuery::videoDescribed, this, &Session::videoDescribed);
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

void Session::connectRunner()
{
    for (const auto announced :
         {&DownloadRunner::destinationAnnounced, &DownloadRunner::conversionAnnounced}) {
        connect(m_runner, announced, this,
                [this](const QString &path) { emit messageChanged(path, {}); });
    }
    connect(m_runner, &DownloadRunner::progressChanged, this, &Session::progressChanged);
    connect(m_runner, &DownloadRunner::finished, this, [this](const QStringList &files) {
        end(Work::Download, m_downloadNote);
        emit downloadFinished(files, m_downloadFolder);
    });
    connect(m_runner, &DownloadRunner::failed, this,
            [this](const QString &message, const QString &detail) {
                end(Work::Download, message, detail);
            });
    connect(m_runner, &DownloadRunner::cancelled, this,
            [this] { end(Work::Download, tr("Téléchargement annulé")); });
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
        return m_downloading;
    case Work::Installation:
        return m_installing;
    }
    return false;
}

bool Session::isBusy() const
{
    // One at a time: a download during a listing would take the old ticks to a new address,
    // and one during an installation a downloader being replaced.
    return m_listing || m_downloading || m_installing;
}

bool Session::canList() const
{
    return !isBusy() && youtubeDLPath().has_value();
}

bool Session::canDownload(DownloadMode mode) const
{
    return canList() && (mode == DownloadMode::Plain || ffmpegPath().has_value());
}

bool Session::canInstall() const
{
    return !isBusy();
}

bool Session::canRevertDownloader() const
{
    return !isBusy() && m_tools.isManaged();
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
    return {m_tools.javaScriptRuntimeOption()};
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
    emit messageChanged(tr("Recherche des formats…"), {});
    emit started(Work::Listing);
    m_query->start(*youtubeDLPath(), address, downloaderOptions());
}

void Session::download(DownloadMode mode, const QString &address, const FolderChooser &chooseFolder)
{
    if (isBusy()) {
        return;
    }
    // The settings are read on every download, plain ones included, before the folder.
    const AudioSettings audio = m_settings.audioSettings();
    DownloadChoice choice;
    choice.mode = mode;
    choice.quality = mode == DownloadMode::Plain ? qualityChoice() : QualityChoice::Ticked;
    choice.ticked = m_model->checkedFormats();
    choice.listed = formatList();
    // The ready-made choices merge or extract: they need the converter too.
    const bool converter = mode == DownloadMode::Audio || choice.quality != QualityChoice::Ticked;
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
    const DownloadRequest request = makeDownloadRequest(choice);
    m_downloadNote = request.note;
    m_downloadFolder = request.folder;
    m_settings.setLastFolder(request.folder);
    m_downloading = true;
    emit messageChanged(m_downloadNote, {});
    emit started(Work::Download);
    m_runner->start(request);
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
    emit messageChanged(message, {});
    emit started(Work::Installation);
    m_installer->install(
        tool, m_tools.managedFolder(),
        tool == ToolInstaller::Tool::JavaScriptRuntime ? QString() : m_tools.downloaderVersion());
}

void Session::toolInstalled(const QString &version)
{
    m_installing = false;
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
    m_runner->cancel();
    m_query->cancel();
    m_installer->cancel();
}

void Session::stop()
{
    if (m_downloading) {
        m_runner->stopAndWait();
    }
    // A listing would hold up the quit.
    m_query->cancel();
}

void Session::end(Work work, const QString &message, const QString &detail)
{
    (work == Work::Listing        ? m_listing
         : work == Work::Download ? m_downloading
                                  : m_installing)
        = false;
    emit messageChanged(message, detail);
    emit ended(work);
}
