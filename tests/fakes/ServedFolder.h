// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

/// A folder made by a script of tests/fakes and served over HTTP from 127.0.0.1 by serve.py:
/// make-dash.sh (the local DASH presentation, formats 137 and 140) or make-releases.sh (the
/// downloader's and deno's releases). The server stops with the object.
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
    /// The DASH presentation's address, and one that the server does not have.
    QString manifestUrl() const { return url(QStringLiteral("manifest.mpd")).toString(); }
    QString missingUrl() const { return url(QStringLiteral("absent.mpd")).toString(); }
    QString folder() const { return m_folder; }

private:
    QTemporaryDir m_temporary;
    QString m_folder;
    QProcess m_server;
    QString m_port;
};
