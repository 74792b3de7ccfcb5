// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace TestSupport {

/// The build's tool folder, with the real downloader, ffmpeg and ffprobe.
QString toolFolder();

/// A settings store of the test's own: an INI file inside `dir`.
std::unique_ptr<QSettings> makeSettings(const QTemporaryDir &dir);

/// Writes an executable script into `dir` and returns its path.
QString writeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &body);

/// The content of a file; empty when it cannot be read.
QByteArray readFile(const QString &path);

/// Writes `content` into a file, replacing what it held; whether all of it was written.
bool writeFile(const QString &path, const QByteArray &content);

/// Whether a process with this id exists and is not a zombie.
bool isProcessAlive(qint64 pid);

/// Captures what the process writes to its standard output while alive.
class StdoutCapture final
{
public:
    StdoutCapture();
    ~StdoutCapture();
    Q_DISABLE_COPY_MOVE(StdoutCapture)

    /// The lines written to standard output since construction, QtTest's own left out.
    QByteArray text();

private:
    int m_savedFd = -1;
    std::unique_ptr<QTemporaryFile> m_file;
};

} // namespace TestSupport
