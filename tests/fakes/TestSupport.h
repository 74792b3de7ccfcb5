// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QList>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace TestSupport {

/// The build's tool folder (the real downloader, ffmpeg and ffprobe), and the stand-in
/// downloader script of tests/fakes.
QString toolFolder();
QString standInDownloader();

/// A settings store of the test's own: an INI file inside `dir`.
std::unique_ptr<QSettings> makeSettings(const QTemporaryDir &dir);

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);

/// The process ids written, separated by blanks, into a file.
QList<qint64> processIds(const QString &file);
/// Whether all these processes end (or have ended: zombies count as ended) within the time.
bool allEnd(const QList<qint64> &pids, int milliseconds = 10'000);

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
    QTemporaryFile m_file;
};

} // namespace TestSupport
