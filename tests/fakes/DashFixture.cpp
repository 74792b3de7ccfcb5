// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "DashFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {
// ffmpeg names representations by stream index; the downloader lists them by these ids.
const QList<std::pair<QString, QString>> representationIds = {
    {u"0"_s, u"137"_s},
    {u"1"_s, u"140"_s},
};
} // namespace

DashFixture::DashFixture()
    : DashFixture(Options {})
{
}

DashFixture::DashFixture(const Options &options)
    : m_title(options.title)
{
    if (!m_dir.isValid()) {
        m_errorString = u"no temporary folder"_s;
        return;
    }
    if (makePresentation(options)) {
        startServer();
    }
}

DashFixture::~DashFixture()
{
    if (m_server && m_server->state() != QProcess::NotRunning) {
        m_server->kill();
        m_server->waitForFinished(5000);
    }
}

QString DashFixture::missingUrl() const
{
    QString url = m_manifestUrl;
    url.replace(m_title + u".mpd"_s, u"absent.mpd"_s);
    return url;
}

bool DashFixture::makePresentation(const Options &options)
{
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_s);
    if (ffmpeg.isEmpty()) {
        m_errorString = u"ffmpeg not found"_s;
        return false;
    }
    const QString duration = QString::number(options.durationSeconds);
    QStringList arguments {
        u"-hide_banner"_s,
        u"-loglevel"_s,
        u"error"_s,
        u"-y"_s,
        u"-f"_s,
        u"lavfi"_s,
        u"-i"_s,
        u"testsrc=size=%1:rate=25:duration=%2"_s.arg(options.videoSize, duration),
        u"-f"_s,
        u"lavfi"_s,
        u"-i"_s,
        u"sine=frequency=440:duration=%1"_s.arg(duration),
        u"-map"_s,
        u"0:v"_s,
        u"-map"_s,
        u"1:a"_s,
        u"-c:v"_s,
        u"libx264"_s,
        u"-preset"_s,
        u"ultrafast"_s,
        u"-pix_fmt"_s,
        u"yuv420p"_s,
    };
    if (options.videoBitrateKbps > 0) {
        const QString rate = QString::number(options.videoBitrateKbps) + u'k';
        arguments << u"-b:v"_s << rate << u"-minrate"_s << rate << u"-maxrate"_s << rate
                  << u"-bufsize"_s << rate << u"-x264-params"_s << u"nal-hrd=cbr"_s;
    }
    arguments << u"-c:a"_s << u"aac"_s << u"-b:a"_s << u"64k"_s << u"-f"_s << u"dash"_s
              << u"-use_template"_s << u"1"_s << u"-use_timeline"_s << u"1"_s << u"-seg_duration"_s
              << u"2"_s << u"-adaptation_sets"_s << u"id=0,streams=v id=1,streams=a"_s
              << u"-init_seg_name"_s << u"init-$RepresentationID$.m4s"_s << u"-media_seg_name"_s
              << u"chunk-$RepresentationID$-$Number%05d$.m4s"_s
              << m_dir.filePath(m_title + u".mpd"_s);

    QProcess encoder;
    encoder.setProcessChannelMode(QProcess::MergedChannels);
    encoder.start(ffmpeg, arguments);
    if (!encoder.waitForFinished(600'000) || encoder.exitCode() != 0) {
        m_errorString = u"ffmpeg failed: "_s + QString::fromUtf8(encoder.readAll());
        return false;
    }

    // Give the representations their numeric ids, in the manifest and in the file names.
    QFile manifest(m_dir.filePath(m_title + u".mpd"_s));
    if (!manifest.open(QIODevice::ReadOnly)) {
        m_errorString = u"no manifest"_s;
        return false;
    }
    QString text = QString::fromUtf8(manifest.readAll());
    manifest.close();
    QDir dir(m_dir.path());
    for (const auto &[index, id] : representationIds) {
        text.replace(u"<Representation id=\""_s + index + u'"',
                     u"<Representation id=\""_s + id + u'"');
        const QStringList files = dir.entryList(
            {u"init-"_s + index + u".m4s"_s, u"chunk-"_s + index + u"-*.m4s"_s}, QDir::Files);
        for (const QString &file : files) {
            const qsizetype dash = file.indexOf(u'-');
            QString renamed = file;
            renamed.replace(dash + 1, index.size(), id);
            dir.rename(file, renamed);
        }
    }
    if (!manifest.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_errorString = u"manifest not writable"_s;
        return false;
    }
    manifest.write(text.toUtf8());
    return true;
}

bool DashFixture::startServer()
{
    const QString python = QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s});
    if (python.isEmpty()) {
        m_errorString = u"python3 not found"_s;
        return false;
    }
    // Port 0: the system picks a free port, which the server prints on its first line.
    m_server = std::make_unique<QProcess>();
    // The request log goes to standard error: thrown away, so that it never fills a pipe.
    m_server->setStandardErrorFile(QProcess::nullDevice());
    m_server->setWorkingDirectory(m_dir.path());
    m_server->start(python,
                    {u"-u"_s, u"-m"_s, u"http.server"_s, u"0"_s, u"--bind"_s, u"127.0.0.1"_s,
                     u"--directory"_s, m_dir.path()});
    static const QRegularExpression portPattern(u"port (\\d+)"_s);
    QByteArray banner;
    const QDeadlineTimer deadline(15'000);
    while (!deadline.hasExpired()) {
        if (!m_server->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            break;
        }
        banner += m_server->readAll();
        const auto match = portPattern.match(QString::fromUtf8(banner));
        if (match.hasMatch()) {
            m_manifestUrl = u"http://127.0.0.1:%1/%2.mpd"_s.arg(match.captured(1), m_title);
            return true;
        }
    }
    m_errorString = u"HTTP server did not start: "_s + QString::fromUtf8(banner);
    return false;
}
