// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <cstdio>

#include <QFile>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace TestSupport {

QString toolFolder()
{
    return QStringLiteral(QUORVEL_TOOL_DIR_FOR_TESTS);
}

QString standInDownloader()
{
    return QStringLiteral(QUORVEL_FAKES_DIR_FOR_TESTS "/standin-downloader.sh");
}

QString standInQuorvel()
{
    return QStringLiteral(QUORVEL_STANDIN_QUORVEL_FOR_TESTS);
}

std::unique_ptr<QSettings> makeSettings(const QTemporaryDir &dir)
{
    return std::make_unique<QSettings>(dir.filePath(u"settings.ini"_s), QSettings::IniFormat);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    m_file.open();
    m_savedFd = ::dup(STDOUT_FILENO);
    ::dup2(m_file.handle(), STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush(stdout);
    ::dup2(m_savedFd, STDOUT_FILENO);
    ::close(m_savedFd);
}

QByteArray StdoutCapture::text()
{
    std::fflush(stdout);
    // QtTest writes its own lines ("QWARN  : ...") to standard output too: leave them out.
    QByteArray text;
    for (const QByteArray &line : readFile(m_file.fileName()).split('\n')) {
        const QByteArray head = line.first(std::max<qsizetype>(line.indexOf(':'), 0));
        if (!line.isEmpty() && !(line.startsWith('Q') && head == head.toUpper())) {
            text += line + '\n';
        }
    }
    return text;
}

} // namespace TestSupport

ServedFolder::ServedFolder(const QString &script, const QStringList &arguments,
                           const QString &folder)
    : m_folder(folder.isEmpty() ? m_temporary.path() : folder)
{
    const QString fakes = QStringLiteral(QUORVEL_FAKES_DIR_FOR_TESTS);
    QProcess maker;
    maker.setProcessChannelMode(QProcess::ForwardedChannels);
    maker.start(u"/bin/bash"_s, QStringList {fakes + u'/' + script, m_folder} + arguments);
    if (!maker.waitForFinished(600'000) || maker.exitCode() != 0) {
        return;
    }
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_server.start(u"python3"_s, {fakes + u"/serve.py"_s, m_folder});
    if (m_server.waitForReadyRead(15'000)) {
        m_port = QString::fromUtf8(m_server.readLine().trimmed());
    }
}

ServedFolder::~ServedFolder()
{
    m_server.kill();
    m_server.waitForFinished();
}

QUrl ServedFolder::url(const QString &path, const QString &mode) const
{
    return QUrl(u"http://127.0.0.1:%1/%2/%3"_s.arg(m_port, mode, path));
}
