// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/ViewController.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QSettings>
#include <QVBoxLayout>

#include "app/AddressBar.h"
#include "app/DownloadPanel.h"
#include "app/FormatPanel.h"
#include "app/PlaylistPanel.h"
#include "app/PlaylistWiring.h"
#include "app/PreferencesWiring.h"
#include "app/QueuePanel.h"
#include "app/QueueWiring.h"
#include "app/ResultPanel.h"
#include "app/StatusReadouts.h"
#include "app/ToolsMenu.h"
#include "app/VideoCard.h"
#include "app/WindowPlacement.h"
#include "download/DownloadQueue.h"
#include "download/QueueModel.h"
#include "settings/preferenceViewController.h"
#include "tools/Logging.h"
#include "ui_ViewController.h"

using namespace Qt::StringLiterals;

ViewController::ViewController(QSettings &store, ToolSet &tools, JobStore *jobs, QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ViewController>())
    , m_store(store)
    , m_settings(store)
    , m_tools(tools)
    , m_session(new Session(store, tools, jobs, this))
    , m_folderChooser(askForFolder)
    , m_quitConfirmation(confirmQuit)
    , m_goingBackConfirmation(confirmGoingBack)
{
    m_ui->setupUi(this);
    createCentralWidget();
    createMenus();
    createStatusBar();
    connectActions();
    connectSession();
    viewDidLoad();
}

ViewController::~ViewController() = default;

void ViewController::connectActions()
{
    connect(m_addressBar, &AddressBar::formatsRequested, this, &ViewController::getFormatButton);
    connect(m_downloadPanel, &DownloadPanel::downloadRequested, this,
            &ViewController::downloadButton);
    connect(m_downloadPanel, &DownloadPanel::cancelRequested, this,
            &ViewController::cancelDownload);
    connect(m_downloadPanel, &DownloadPanel::mergeToggled, this,
            [this](bool merge) { m_settings.setMergeVideoAndAudio(merge); });
    connect(m_downloadPanel, &DownloadPanel::qualityChosen, m_session, &Session::setQualityChoice);
    connect(m_ui->preferencesAction, &QAction::triggered, this, &ViewController::openPreferences);
    connectSignIn(m_downloadPanel, this);
    connect(m_ui->quitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->aboutAction, &QAction::triggered, this, [this] { showAbout(this, m_tools); });
    connect(m_toolsMenu, &ToolsMenu::updateRequested, this, &ViewController::updateDownloader);
    connect(m_toolsMenu, &ToolsMenu::revertRequested, m_session, &Session::revertDownloader);
    connect(m_toolsMenu, &ToolsMenu::javaScriptRuntimeRequested, m_session,
            &Session::installJavaScriptRuntime);
    connect(this, &ViewController::isRunningChanged, this, &ViewController::updateControls);
    connect(&m_tools, &ToolSet::downloaderChanged, this, &ViewController::showDownloaderVersion);
}

void ViewController::connectSession()
{
    m_session->setGoingBackConfirmation([this](const QString &installed, const QString &offered) {
        return m_goingBackConfirmation(this, installed, offered);
    });
    connect(m_session, &Session::started, this,
            [this](Session::Work work) { showWork(work, true); });
    connect(m_session, &Session::ended, this,
            [this](Session::Work work) { showWork(work, false); });
    connect(m_session, &Session::messageChanged, m_downloadPanel, &DownloadPanel::setMessage);
    connect(m_session, &Session::qualityChoiceChanged, m_downloadPanel,
            &DownloadPanel::setQualityChoice);
    connect(m_session, &Session::progressChanged, m_downloadPanel, &DownloadPanel::showProgress);
    connect(m_session, &Session::videoDescribed, m_videoCard, &VideoCard::showVideo);
    connect(m_formatPanel, &FormatPanel::listCleared, m_videoCard, &VideoCard::clear);
    connect(m_session, &Session::downloadFinished, m_resultPanel, &ResultPanel::showDownloadEnd);
    connect(m_session, &Session::transferProgressChanged, m_downloadPanel,
            &DownloadPanel::showTransfer);
    DownloadQueue *queue = m_session->queue();
    connectQueue(m_queuePanel, queue, this);
    connectPlaylist(m_playlistPanel, m_formatPanel, m_addressBar, m_session);
    connect(m_playlistPanel, &PlaylistPanel::listShownChanged, m_downloadPanel,
            [this](bool shown) { m_downloadPanel->offerTickedFormats(!shown); });
    connect(queue, &DownloadQueue::activeChanged, this, &ViewController::setIsRunning);
    setIsRunning(queue->isActive());
}

void ViewController::viewDidLoad()
{
    restoreLayout();
    // The message line starts empty, or names the tools that are missing.
    m_downloadPanel->setMessage(m_session->startMessage());
    m_addressBar->setFocus();
    m_downloadPanel->setMergeVideoAndAudio(m_settings.mergeVideoAndAudio());
    m_downloadPanel->setQualityChoice(m_session->qualityChoice());
    if (m_settings.seedIfAbsent()) {
        printDiagnostic(u"Les paramètres n'existent pas"_s);
    }
    updateControls();
}

void ViewController::createCentralWidget()
{
    // Created in the order that Tab goes through them.
    auto *central = new QWidget(this);
    m_addressBar = new AddressBar(central);
    m_videoCard = new VideoCard(m_store, central);
    m_formatPanel = new FormatPanel(m_session->formats(), central);
    m_playlistPanel = new PlaylistPanel(m_session->playlist(), central);
    m_resultPanel = new ResultPanel(central);
    m_downloadPanel = new DownloadPanel(central);
    m_queuePanel = new QueuePanel(m_session->queue()->model(), central);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_addressBar);
    layout->addWidget(m_videoCard);
    layout->addWidget(m_formatPanel, 1);
    layout->addWidget(m_playlistPanel, 1);
    layout->addWidget(m_resultPanel);
    layout->addWidget(m_downloadPanel);
    layout->addWidget(m_queuePanel, 1);
    setCentralWidget(central);
}

void ViewController::createMenus()
{
    m_ui->editMenu->addActions(m_formatPanel->editActions());
    m_toolsMenu = new ToolsMenu(this);
    menuBar()->insertMenu(m_ui->helpMenu->menuAction(), m_toolsMenu);
    // Linux and Windows have no standard key for the preferences: Ctrl+, as elsewhere.
    m_ui->preferencesAction->setShortcut(QKeySequence::keyBindings(QKeySequence::Preferences)
                                             .value(0, QKeySequence(Qt::CTRL | Qt::Key_Comma)));
    m_ui->quitAction->setShortcut(QKeySequence::Quit);
}

void ViewController::createStatusBar()
{
    m_statusReadouts = new StatusReadouts(this);
    statusBar()->addWidget(m_statusReadouts, 1);
    showDownloaderVersion();
}

bool ViewController::isRunning() const
{
    return m_isRunning;
}

void ViewController::setIsRunning(bool running)
{
    if (m_isRunning == running) {
        return;
    }
    m_isRunning = running;
    emit isRunningChanged(running);
}

void ViewController::setAddress(const QString &address)
{
    m_addressBar->setAddress(address);
}

void ViewController::setReleaseSources(const ReleaseSources &sources)
{
    m_session->setReleaseSources(sources);
}

void ViewController::getFormatButton()
{
    m_session->queryFormats(m_addressBar->address());
}

void ViewController::showWork(Session::Work work, bool running)
{
    m_downloadPanel->showWork(work, running);
    // The end of the last download is no longer shown once the next starts.
    if (work == Session::Work::Download && running) {
        m_resultPanel->clearResult();
    }
    updateControls();
}

void ViewController::downloadButton(int tag)
{
    // A download refused at once (no address, a folder refused) says why on the message line;
    // the last one's result no longer stands beside it.
    const QMetaObject::Connection refusal
        = connect(m_session, &Session::messageChanged, m_resultPanel, &ResultPanel::clearResult);
    const auto chooser = [this](const QString &start) { return m_folderChooser(this, start); };
    m_playlistPanel->isListChosen()
        ? m_session->downloadList(chooser)
        : m_session->download(tag == DownloadPanel::audioTag ? DownloadMode::Audio
                                                             : DownloadMode::Plain,
                              m_addressBar->address(), chooser);
    disconnect(refusal);
}

void ViewController::cancelDownload()
{
    // The one cancel control serves the download, the listing and the tools' installation.
    m_session->cancel();
}

void ViewController::updateDownloader()
{
    m_session->updateDownloader();
}

void ViewController::showDownloaderVersion()
{
    m_statusReadouts->showDownloader(m_tools);
    m_resultPanel->setAdvice(m_tools.advice());
    updateControls();
}

void ViewController::restoreLayout()
{
    restoreGeometry(m_settings.windowGeometry());
    fitIntoScreen(this);
    m_formatPanel->keepColumnWidths(m_store);
}

void ViewController::saveLayout()
{
    m_settings.setWindowGeometry(saveGeometry());
}

preferenceViewController *ViewController::openPreferences()
{
    return showPreferences(m_preferences, m_store, m_session, this);
}

void ViewController::quitWithoutAsking()
{
    m_askBeforeQuitting = false;
    close();
}

bool ViewController::keyDown(Qt::KeyboardModifiers modifiers, quint32 nativeScanCode,
                             quint32 nativeVirtualKey)
{
    return m_formatPanel->keyCommand(modifiers, nativeScanCode, nativeVirtualKey);
}

void ViewController::keyPressEvent(QKeyEvent *event)
{
    if (keyDown(event->modifiers(), event->nativeScanCode(), event->nativeVirtualKey())) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void ViewController::closeEvent(QCloseEvent *event)
{
    const QuitChoice choice
        = m_isRunning && m_askBeforeQuitting ? m_quitConfirmation(this) : QuitChoice::PauseAndQuit;
    if (choice == QuitChoice::Stay) {
        event->ignore();
        return;
    }
    // No downloader keeps running behind a closed window, nor a listing that would hold up
    // the quit.
    m_session->stop(choice == QuitChoice::CancelAndQuit ? Session::Leaving::CancelDownloads
                                                        : Session::Leaving::PauseDownloads);
    if (m_preferences) {
        m_preferences->close();
    }
    saveLayout();
    event->accept();
}

void ViewController::updateControls()
{
    m_addressBar->setListingEnabled(m_session->canList());
    m_downloadPanel->setAllowed({m_session->canDownload(DownloadMode::Plain),
                                 m_session->canDownload(DownloadMode::Audio), m_session->isBusy(),
                                 ffmpegPath().has_value()});
    m_toolsMenu->setAllowed({m_session->canInstall(), m_session->canRevertDownloader()});
}
