// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "ServedFolder.h"

using namespace Qt::StringLiterals;

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
