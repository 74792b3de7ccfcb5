// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "settings/Settings.h"

class DownloadRunner;
class FormatQuery;
class FormatTableModel;
class QSettings;
class ToolVersionQuery;
class preferenceViewController;

namespace Ui {
class ViewController;
}

/// The main window: the address, the format table, the download controls, the message line
/// and the progress bar. It turns user actions into calls on the core objects and shows
/// what they report.
class ViewController final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewController)
    Q_PROPERTY(bool isRunning READ isRunning WRITE setIsRunning NOTIFY isRunningChanged)

public:
    /// Asks the user for the destination folder; an empty text means cancelled.
    using FolderChooser = std::function<QString(QWidget *parent)>;
    /// Asks whether to quit while a download runs.
    using QuitConfirmation = std::function<bool(QWidget *parent)>;

    /// `store` holds the audio settings and must outlive the window; `toolFolder` is where
    /// the downloader ("youtube-dl") and the converter ("ffmpeg") are looked up.
    ViewController(QSettings &store, const QString &toolFolder, QWidget *parent = nullptr);
    ~ViewController() override;

    bool isRunning() const;
    void setIsRunning(bool running);

    void setFolderChooser(FolderChooser chooser);
    void setQuitConfirmation(QuitConfirmation confirmation);
    /// A format query still running after this time is stopped (120 seconds unless set).
    void setQueryTimeout(std::chrono::milliseconds timeout);
    /// Puts an address into the address field (an address handed over on the command line).
    void setAddress(const QString &address);

    // The window's actions.
    void getFormatButton();
    /// Tag 3 asks for an audio download; any other tag for a plain download.
    void downloadButton(int tag);
    void cancelDownload();
    void openPreferences();

    /// A key command: Command (Ctrl elsewhere) + Shift and a key position of KeyPosition.
    /// Returns whether the event was one of the commands' shape (and so is consumed).
    bool keyDown(Qt::KeyboardModifiers modifiers, quint32 nativeScanCode, quint32 nativeVirtualKey);

signals:
    void isRunningChanged(bool running);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class ToolNeed { Downloader, DownloaderAndConverter };

    void viewDidLoad(const QString &toolFolder);
    /// Whether the tools and the address that an action needs are there; says what is
    /// missing on the message line otherwise.
    bool canRun(ToolNeed need, const QString &address);
    void queryFormats();
    void startDownload(const QStringList &arguments, const QString &folder);
    void resetDownloadDisplay();
    void showDownloadProgress(double percent);
    void updateControls();
    void setMessage(const QString &message);

    std::unique_ptr<Ui::ViewController> m_ui;
    QSettings &m_store;
    Settings m_settings;
    FormatTableModel *m_model = nullptr;
    FormatQuery *m_query = nullptr;
    DownloadRunner *m_runner = nullptr;
    ToolVersionQuery *m_versionQuery = nullptr;
    QPointer<preferenceViewController> m_preferences;
    FolderChooser m_folderChooser;
    QuitConfirmation m_quitConfirmation;
    bool m_isRunning = false;
    // The column and order that the table is sorted by; -1: never sorted.
    int m_sortedSection = -1;
    Qt::SortOrder m_sortedOrder = Qt::DescendingOrder;
};
