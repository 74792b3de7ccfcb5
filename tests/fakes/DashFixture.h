// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

/// A short DASH presentation made with ffmpeg and served over HTTP from 127.0.0.1 on a
/// free port. Its two representations carry the numeric ids 137 (video) and 140 (audio),
/// which the downloader's generic extractor lists as format codes. The server stops with
/// the fixture.
class DashFixture final
{
public:
    struct Options
    {
        int durationSeconds = 4;
        QString videoSize = QStringLiteral("320x240");
        /// Video bit rate in kbit/s; 0 leaves ffmpeg's choice (a tiny file).
        int videoBitrateKbps = 0;
        QString title = QStringLiteral("manifest");
        /// Where to make the presentation; empty: a temporary folder. An existing one whose
        /// manifest is there is served as it is.
        QString folder;
    };

    DashFixture();
    explicit DashFixture(const Options &options);
    ~DashFixture();
    Q_DISABLE_COPY_MOVE(DashFixture)

    bool isValid() const { return m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }
    /// http://127.0.0.1:<port>/<title>.mpd
    QString manifestUrl() const { return m_baseUrl + m_title + u".mpd"; }
    /// The address of a file that does not exist on the server.
    QString missingUrl() const { return m_baseUrl + u"absent.mpd"; }

private:
    bool makePresentation(const Options &options);
    bool startServer();

    QTemporaryDir m_temporary;
    QString m_folder;
    std::unique_ptr<QProcess> m_server;
    QString m_baseUrl;
    QString m_errorString;
    QString m_title;
};
