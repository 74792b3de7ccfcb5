// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <memory>

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QFile;
class QTemporaryDir;
class ShellProcess;

/// Where tools are fetched from: the official release addresses, unless a test points
/// elsewhere.
struct ReleaseSources
{
    QUrl downloaderStable {
        QStringLiteral("https://github.com/yt-dlp/yt-dlp/releases/latest/download/")};
    QUrl downloaderNightly {QStringLiteral(
        "https://github.com/yt-dlp/yt-dlp-nightly-builds/releases/latest/download/")};
    QUrl deno {QStringLiteral("https://github.com/denoland/deno/releases/latest/download/")};
    /// The downloader's release signing key, armoured; empty: the key shipped in Quorvel.
    QByteArray signingKey;
    /// A transfer that receives nothing for this long is given up.
    std::chrono::milliseconds stallLimit {30'000};
};

/// Fetches a tool over HTTPS, verifies it and installs it into a folder of Quorvel's own,
/// atomically: the downloader (its release's SHA2-256SUMS signed with its release key,
/// checked with gpgv) or the JavaScript runtime deno (its archive's published SHA-256). The
/// new file is written beside its final name, made executable, asked for its version, and
/// only then renamed over the previous one; on any failure nothing is installed and
/// nothing half-written is left.
class ToolInstaller final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolInstaller)

public:
    enum class Tool { Downloader, NightlyDownloader, JavaScriptRuntime };

    explicit ToolInstaller(QObject *parent = nullptr);
    ~ToolInstaller() override;

    void setSources(const ReleaseSources &sources);
    /// The name of deno's release archive for this machine ("deno-x86_64-unknown-linux-gnu.zip").
    static QString denoArchive();

    /// Installs into `folder` (made when missing) under the name "youtube-dl" or "deno".
    /// Ignored while an installation runs.
    void install(Tool tool, const QString &folder);
    bool isRunning() const;
    /// Stops the transfer; ends with failed().
    void cancel();

signals:
    /// Of the tool's own file; `total` is -1 while unknown.
    void progressChanged(qint64 received, qint64 total);
    void installed(const QString &path, const QString &version);
    /// In French: what went wrong; the previous tool stays.
    void failed(const QString &message);

private:
    QNetworkReply *fetch(const QString &name);
    void readAsset();
    void transferEnded(QNetworkReply *reply);
    void checkSignature();
    void checkSumAndUnpack();
    void askVersion(const QString &file);
    void finishInstallation(const QString &file, const QString &version);
    void fail(const QString &reason);
    void clear();

    QNetworkAccessManager *m_network = nullptr;
    ShellProcess *m_step = nullptr;
    ReleaseSources m_sources;
    Tool m_tool = Tool::Downloader;
    QString m_folder;
    QString m_assetName;
    QNetworkReply *m_asset = nullptr;
    QList<QNetworkReply *> m_replies;
    QByteArray m_sums;
    QByteArray m_signature;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QCryptographicHash m_hash {QCryptographicHash::Sha256};
    QByteArray m_stepOutput;
    bool m_running = false;
};
