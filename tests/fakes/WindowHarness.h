// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include "app/ViewController.h"
#include "tools/ToolSet.h"

/// The main window as a user has it, with a settings store and a tool folder of its own:
/// the real converter, and the real downloader or the stand-in one. The folder chooser
/// answers `target` (an empty text: cancelled) and a quit is confirmed unless told.
class WindowHarness final
{
public:
    enum class Downloader { Real, StandIn, None };

    explicit WindowHarness(Downloader downloader = Downloader::Real, bool converter = true);
    ~WindowHarness();
    Q_DISABLE_COPY_MOVE(WindowHarness)

    template<typename T> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QString message() const;
    /// Clicks a button by its object name.
    void click(const QString &name) const;
    /// Runs the format query to its end and ticks the rows whose code is in `codes`.
    bool listAndTick(const QString &address, const QStringList &codes) const;
    /// Waits until the download that runs has ended.
    bool waitForDownloadEnd(int milliseconds = 180'000) const;

    /// The stand-in's behaviour: a bash script run after it recorded its arguments.
    void setBehaviour(const QByteArray &script) const;
    /// The arguments that the stand-in was last given.
    QStringList arguments() const;

    QTemporaryDir tools;
    /// Quorvel's own tool folder, where managed tools are installed.
    QTemporaryDir managed;
    QTemporaryDir target;
    QString chosenFolder;
    /// Where the folder chooser was last asked to start.
    QString chooserStart;
    bool confirmQuit = true;
    std::unique_ptr<QSettings> store;
    ToolSet toolSet;
    std::unique_ptr<ViewController> window;
};
