// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

/// Releases of the downloader and of deno made by make-releases.sh and served from
/// 127.0.0.1 by release-server.py: the good ones, and variants to be refused.
class ReleaseFixture final
{
public:
    ReleaseFixture();
    ~ReleaseFixture();
    Q_DISABLE_COPY_MOVE(ReleaseFixture)

    bool isValid() const { return !m_port.isEmpty(); }
    /// The release address of a variant ("good", "wrong-hash", "deno", ...), served in a
    /// mode ("ok", "fail", "stall" or "truncate").
    QUrl url(const QString &variant, const QString &mode = QStringLiteral("ok")) const;
    /// The armoured key that signed the sums.
    QByteArray signingKey() const;

private:
    QTemporaryDir m_folder;
    QProcess m_server;
    QString m_port;
};
