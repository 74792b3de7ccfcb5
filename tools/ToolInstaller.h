// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QFile;
class QTemporaryDir;
class QTimer;
class ShellProcess;
class VersionQuestion;

/// Where tools are fetched from: the official release addresses, unless a test points
/// elsewhere.
struct ReleaseSources
{
    QUrl downloaderStable {
        QStringLiteral("https://github.com/yt-dlp/yt-dlp/releases/latest/download/")};
    QUrl downloaderNightly {QStringLiteral(
        "https://github.com/yt-dlp/yt-dlp-nightly-builds/releases/latest/download/")};
    /// The deno release that Quorvel installs: always this one, never "the latest".
    QUrl deno {QStringLiteral("https://github.com/denoland/deno/releases/download/v2.9.7/")};
    /// The SHA-256 (hex) of each of its archives, as published with that release: an archive
    /// whose hash is not here is never unpacked, run or installed, whatever its server says.
    QMap<QString, QByteArray> denoArchiveHashes {
        {QStringLiteral("deno-x86_64-unknown-linux-gnu.zip"),
         "c6527f24f4b16031d3ae4fa9f658d5f11534c8d84ce7dc8502420280919c3490"},
        {QStringLiteral("deno-aarch64-unknown-linux-gnu.zip"),
         "c832298b1ad4422481334855f6003e0f54145762c5a134f20a489511d2f65bbf"},
        {QStringLiteral("deno-x86_64-apple-darwin.zip"),
         "95daaff11c116a52ad54785e7914c8e9c9cdcaba793c5ed929c74ca2d8e6259a"},
        {QStringLiteral("deno-aarch64-apple-darwin.zip"),
         "5cd46d6268f6f78f5d88bdc7159d20bd44cdaa4b3303474839f87ec6fe7ae25c"},
    };
    /// The downloader's release signing key, armoured; empty: the key shipped in Quorvel.
    QByteArray signingKey;
    /// A transfer that receives nothing for this long is given up.
    std::chrono::milliseconds stallLimit {30'000};
    /// Transfers still running after this long are given up, however steadily they progress.
    std::chrono::milliseconds transferLimit {std::chrono::minutes(10)};
};

/// Fetches a tool over HTTPS, verifies it and installs it into a folder of Quorvel's own,
/// atomically: the downloader (its release's SHA2-256SUMS signed with its release key,
/// checked with gpgv; never older than the installed one) or the JavaScript runtime deno (its
/// archive's SHA-256 as Quorvel lists it). Each file is bounded in size and streamed to disk;
/// the transfers are bounded in time. The new file is written beside its final name, made
/// executable, asked for its version, and only then renamed over the previous one; on any
/// failure nothing is installed and nothing half-written is left.
class ToolInstaller final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolInstaller)

public:
    enum class Tool { Downloader, NightlyDownloader, JavaScriptRuntime };
    /// Whether to install a downloader older than the installed one, which a change of channel
    /// may bring.
    using GoingBackConfirmation
        = std::function<bool(const QString &installedVersion, const QString &offeredVersion)>;

    explicit ToolInstaller(QObject *parent = nullptr);
    ~ToolInstaller() override;

    void setSources(const ReleaseSources &sources);
    /// Asked on a change of channel only; without it, an older release is always refused.
    void setGoingBackConfirmation(GoingBackConfirmation confirmation);
    /// The name of deno's release archive for this machine ("deno-x86_64-unknown-linux-gnu.zip").
    static QString denoArchive();

    /// Installs into `folder` (made when missing) under the name "youtube-dl" or "deno". A
    /// downloader older than `installedVersion` (the one that runs now; empty: unknown) is
    /// refused. Ignored while an installation runs.
    void install(Tool tool, const QString &folder, const QString &installedVersion = {});
    bool isRunning() const;
    /// Stops the transfer; ends with failed().
    void cancel();
    /// Removes from `folder` what installations cut short left there (their hidden files
    /// ".youtube-dl-…", ".deno-…" and folders ".scratch-…"), and nothing else.
    static void removeLeftovers(const QString &folder);

signals:
    /// Of the tool's own file; `total` is -1 while unknown.
    void progressChanged(qint64 received, qint64 total);
    void installed(const QString &path, const QString &version);
    /// In French: what went wrong; the previous tool stays.
    void failed(const QString &message);

private:
    void fetch(const QString &name, qint64 sizeLimit);
    void receive(QNetworkReply *reply, QFile *sink, qint64 sizeLimit);
    void transferEnded(QNetworkReply *reply, QFile *sink, qint64 sizeLimit);
    void checkSignature();
    void checkSumAndUnpack();
    void askVersion(const QString &file);
    void checkVersion(const QString &file, const QString &version);
    void finishInstallation(const QString &file, const QString &version);
    void fail(const QString &reason);
    void clear();

    QNetworkAccessManager *m_network = nullptr;
    ShellProcess *m_step = nullptr;
    VersionQuestion *m_versionQuestion = nullptr;
    QTimer *m_transferTimer = nullptr;
    ReleaseSources m_sources;
    GoingBackConfirmation m_goingBackConfirmation;
    Tool m_tool = Tool::Downloader;
    QString m_folder;
    QString m_installedVersion;
    QString m_assetName;
    QNetworkReply *m_asset = nullptr;
    QList<QNetworkReply *> m_replies;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QCryptographicHash m_hash {QCryptographicHash::Sha256};
    QByteArray m_stepOutput;
    bool m_running = false;
};
