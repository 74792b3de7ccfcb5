// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "ReleaseFixture.h"

#include "TestSupport.h"
#include "tools/ToolInstaller.h"

using namespace Qt::StringLiterals;

ReleaseFixture::ReleaseFixture()
{
    const QString fakes = QStringLiteral(QUORVEL_FAKES_DIR_FOR_TESTS);
    QProcess maker;
    maker.setProcessChannelMode(QProcess::ForwardedChannels);
    maker.start(u"/bin/bash"_s,
                {fakes + u"/make-releases.sh"_s, m_folder.path(), ToolInstaller::denoArchive()});
    if (!maker.waitForFinished(120'000) || maker.exitCode() != 0) {
        return;
    }
    m_server.start(u"python3"_s, {fakes + u"/release-server.py"_s, m_folder.path()});
    if (m_server.waitForReadyRead(15'000)) {
        m_port = QString::fromUtf8(m_server.readLine().trimmed());
    }
}

ReleaseFixture::~ReleaseFixture()
{
    m_server.kill();
    m_server.waitForFinished();
}

QUrl ReleaseFixture::url(const QString &variant, const QString &mode) const
{
    return QUrl(u"http://127.0.0.1:%1/%2/%3/"_s.arg(m_port, mode, variant));
}

QByteArray ReleaseFixture::signingKey() const
{
    return TestSupport::readFile(m_folder.filePath(u"key.asc"_s));
}
