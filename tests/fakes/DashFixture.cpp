// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "DashFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

DashFixture::DashFixture()
    : DashFixture(Options {})
{
}

DashFixture::DashFixture(const Options &options)
    : m_folder(options.folder.isEmpty() ? m_temporary.path() : options.folder)
    , m_title(options.title)
{
    const bool made
        = QFile::exists(QDir(m_folder).filePath(m_title + u".mpd"_s)) || makePresentation(options);
    if (made) {
        startServer();
    }
}

DashFixture::~DashFixture()
{
    if (m_server) {
        m_server->kill();
        m_server->waitForFinished(5000);
    }
}

bool DashFixture::makePresentation(const Options &options)
{
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
        u"-c:v"_s,
        u"libx264"_s,
        u"-preset"_s,
        u"ultrafast"_s,
        u"-pix_fmt"_s,
        u"yuv420p"_s};
    if (options.videoBitrateKbps > 0) {
        const QString rate = QString::number(options.videoBitrateKbps) + u'k';
        arguments << u"-b:v"_s << rate << u"-minrate"_s << rate << u"-maxrate"_s << rate
                  << u"-bufsize"_s << rate << u"-x264-params"_s << u"nal-hrd=cbr"_s;
    }
    // The representations are named by their stream index in the files; the downloader
    // lists them by the manifest's ids, made 137 and 140 below.
    arguments << u"-c:a"_s << u"aac"_s << u"-b:a"_s << u"64k"_s << u"-f"_s << u"dash"_s
              << u"-seg_duration"_s << u"2"_s << u"-adaptation_sets"_s
              << u"id=0,streams=v id=1,streams=a"_s << u"-init_seg_name"_s
              << u"init-$RepresentationID$.m4s"_s << u"-media_seg_name"_s
              << u"chunk-$RepresentationID$-$Number%05d$.m4s"_s
              << QDir(m_folder).filePath(m_title + u".mpd"_s);
    QProcess encoder;
    encoder.setProcessChannelMode(QProcess::MergedChannels);
    encoder.start(QStandardPaths::findExecutable(u"ffmpeg"_s), arguments);
    if (!encoder.waitForFinished(600'000) || encoder.exitCode() != 0) {
        m_errorString = u"ffmpeg failed: "_s + QString::fromUtf8(encoder.readAll());
        return false;
    }
    QFile manifest(QDir(m_folder).filePath(m_title + u".mpd"_s));
    if (!manifest.open(QIODevice::ReadWrite)) {
        m_errorString = u"no manifest"_s;
        return false;
    }
    QByteArray text = manifest.readAll();
    const QDir dir(m_folder);
    for (const auto &[index, id] : {std::pair {u"0"_s, u"137"_s}, std::pair {u"1"_s, u"140"_s}}) {
        text.replace(QByteArray("<Representation id=\"" + index.toUtf8() + '"'),
                     QByteArray("<Representation id=\"" + id.toUtf8() + '"'));
        for (const QString &file :
             dir.entryList({u"init-"_s + index + u".m4s"_s, u"chunk-"_s + index + u"-*.m4s"_s})) {
            QDir(m_folder).rename(file, QString(file).replace(file.indexOf(u'-') + 1, 1, id));
        }
    }
    manifest.resize(0);
    manifest.write(text);
    return true;
}

bool DashFixture::startServer()
{
    // Port 0: the system picks a free port, which the server prints on its first line. The
    // request log goes to standard error, thrown away so that it never fills a pipe.
    m_server = std::make_unique<QProcess>();
    m_server->setStandardErrorFile(QProcess::nullDevice());
    m_server->start(QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s}),
                    {u"-u"_s, u"-m"_s, u"http.server"_s, u"0"_s, u"--bind"_s, u"127.0.0.1"_s,
                     u"--directory"_s, m_folder});
    const QDeadlineTimer deadline(15'000);
    QByteArray banner;
    while (!banner.contains(')')
           && m_server->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        banner += m_server->readAll();
    }
    // "Serving HTTP on 127.0.0.1 port 41234 (http://127.0.0.1:41234/) ..."
    const qsizetype at = banner.indexOf("port ");
    if (at < 0) {
        m_errorString = u"HTTP server did not start: "_s + QString::fromUtf8(banner);
        return false;
    }
    const QByteArray port = banner.sliced(at + 5).split(' ').first();
    m_baseUrl = u"http://127.0.0.1:%1/"_s.arg(QString::fromLatin1(port));
    return true;
}
