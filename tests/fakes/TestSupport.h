// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUrl>

namespace TestSupport {

/// The build's tool folder (the real downloader, ffmpeg and ffprobe), and the stand-in
/// downloader script of tests/fakes.
QString toolFolder();
QString standInDownloader();
/// tests/fakes/StandInQuorvel.cpp, built: a Quorvel to kill in the middle of its work.
QString standInQuorvel();
/// A settings store of the test's own: an INI file inside `dir`.
std::unique_ptr<QSettings> makeSettings(const QTemporaryDir &dir);
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);

/// What the process writes to its standard output while this lives, QtTest's lines left out.
class StdoutCapture final
{
public:
    StdoutCapture();
    ~StdoutCapture();
    Q_DISABLE_COPY_MOVE(StdoutCapture)
    QByteArray text();

private:
    int m_savedFd = -1;
    QTemporaryFile m_file;
};

} // namespace TestSupport

/// A folder made by a script of tests/fakes (make-dash.sh: the local DASH presentation, codes
/// 137 and 140; make-releases.sh: the tools' releases; make-page.sh: a page with a video and
/// its French subtitles), served from 127.0.0.1 by serve.py.
class ServedFolder final
{
public:
    /// Runs the script on the folder (a temporary one unless given) with the arguments.
    explicit ServedFolder(const QString &script = QStringLiteral("make-dash.sh"),
                          const QStringList &arguments = {}, const QString &folder = {});
    ~ServedFolder();
    Q_DISABLE_COPY_MOVE(ServedFolder)

    bool isValid() const { return !m_port.isEmpty(); }
    /// http://127.0.0.1:<port>/<mode>/<path>; see serve.py for the modes.
    QUrl url(const QString &path, const QString &mode = QStringLiteral("ok")) const;
    /// The DASH presentation's address.
    QString manifestUrl() const { return url(QStringLiteral("manifest.mpd")).toString(); }
    QString folder() const { return m_folder; }

private:
    QTemporaryDir m_temporary;
    QString m_folder;
    QProcess m_server;
    QString m_port;
};
