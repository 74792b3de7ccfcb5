// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QMainWindow>
#include <QPointer>

#include "app/UserQuestions.h"
#include "download/Session.h"
#include "settings/Settings.h"
#include "tools/ToolSet.h"

class AddressBar;
class DownloadPanel;
class FormatPanel;
class JobStore;
class PlaylistPanel;
class QueuePanel;
class ResultPanel;
class QSettings;
class StatusReadouts;
class ToolsMenu;
class VideoCard;
class preferenceViewController;
struct ReleaseSources;

namespace Ui {
class ViewController;
}

/// The main window, composed of its parts: the address (AddressBar), the last listed video
/// (VideoCard), the format table
/// (FormatPanel) or the entries of a list (PlaylistPanel), the last download's result and the
/// advice on the downloader (ResultPanel), the download controls with the message line and the
/// progress (DownloadPanel), the queue of downloads (QueuePanel), the tools menu (ToolsMenu) and
/// the status bar's readouts (StatusReadouts). It forwards what the user asks to the session, and
/// shows what the session reports.
class ViewController final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewController)
    /// Whether a download of the queue runs or waits.
    Q_PROPERTY(bool isRunning READ isRunning WRITE setIsRunning NOTIFY isRunningChanged)

public:
    /// Asks the user for the destination folder, starting in `start` (the folder of the last
    /// download); an empty text means cancelled.
    using FolderChooser = std::function<QString(QWidget *parent, const QString &start)>;
    /// Asks what to do with the downloads that run or wait, and whether to quit.
    using QuitConfirmation = std::function<QuitChoice(QWidget *parent)>;
    /// Asks whether to install a downloader older than the installed one (after a change of
    /// the release channel).
    using GoingBackConfirmation = std::function<bool(
        QWidget *parent, const QString &installedVersion, const QString &offeredVersion)>;

    /// `store` holds the settings, `tools` the tools looked up at start-up and `jobs` the
    /// queue (without it, the queue lives in memory); all must outlive the window.
    ViewController(QSettings &store, ToolSet &tools, JobStore *jobs = nullptr,
                   QWidget *parent = nullptr);
    ~ViewController() override;

    bool isRunning() const;
    void setIsRunning(bool running);

    void setFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    void setQuitConfirmation(QuitConfirmation confirmation)
    {
        m_quitConfirmation = std::move(confirmation);
    }
    void setGoingBackConfirmation(GoingBackConfirmation confirmation)
    {
        m_goingBackConfirmation = std::move(confirmation);
    }
    /// A format query still running after this time is stopped (120 seconds unless set).
    void setQueryTimeout(std::chrono::milliseconds timeout) { m_session->setQueryTimeout(timeout); }
    /// Before a download that failed for a passing cause is tried again (10 seconds unless
    /// set).
    void setRetryDelay(std::chrono::milliseconds delay) { m_session->setRetryDelay(delay); }
    /// Puts an address into the address field (an address handed over on the command line).
    void setAddress(const QString &address);
    /// Where the tools menu fetches the downloader and deno (the official releases unless set).
    void setReleaseSources(const ReleaseSources &sources);

    // The window's actions.
    void getFormatButton();
    /// Tag 3 (DownloadPanel::audioTag) asks for an audio download; any other tag for a plain
    /// download.
    void downloadButton(int tag);
    void cancelDownload();
    /// Shows the Preferences window, raised when already open.
    preferenceViewController *openPreferences();
    void updateDownloader();
    /// Ends Quorvel as closing the window does, without asking, the downloads paused (for
    /// the signals that end a program: Ctrl+C, the end of the session, a plain kill).
    void quitWithoutAsking();

    /// A key command: Command (Ctrl elsewhere) + Shift and a key position of KeyPosition.
    /// Returns whether the event was one of the commands' shape (and so is consumed).
    bool keyDown(Qt::KeyboardModifiers modifiers, quint32 nativeScanCode, quint32 nativeVirtualKey);

signals:
    void isRunningChanged(bool running);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Set-up, in the order the constructor runs it.
    void createCentralWidget();
    void createMenus();
    void createStatusBar();
    void connectActions();
    void connectSession();
    void viewDidLoad();
    void restoreLayout();
    void saveLayout();

    void showWork(Session::Work work, bool running);
    void showDownloaderVersion();
    void updateControls();

    std::unique_ptr<Ui::ViewController> m_ui;
    QSettings &m_store;
    Settings m_settings;
    ToolSet &m_tools;
    Session *m_session = nullptr;
    AddressBar *m_addressBar = nullptr;
    VideoCard *m_videoCard = nullptr;
    FormatPanel *m_formatPanel = nullptr;
    PlaylistPanel *m_playlistPanel = nullptr;
    ResultPanel *m_resultPanel = nullptr;
    DownloadPanel *m_downloadPanel = nullptr;
    QueuePanel *m_queuePanel = nullptr;
    ToolsMenu *m_toolsMenu = nullptr;
    StatusReadouts *m_statusReadouts = nullptr;
    QPointer<preferenceViewController> m_preferences;
    FolderChooser m_folderChooser;
    QuitConfirmation m_quitConfirmation;
    GoingBackConfirmation m_goingBackConfirmation;
    bool m_isRunning = false;
    bool m_askBeforeQuitting = true;
};
