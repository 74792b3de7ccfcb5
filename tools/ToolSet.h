// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArray>
#include <QObject>
#include <QString>

class ShellProcess;

/// Full paths of the two tools; absent until the tools are looked up, and never set to a
/// tool that was not found.
std::optional<QString> &youtubeDLPath();
std::optional<QString> &ffmpegPath();

/// The tools that Quorvel drives: where they are, what is missing, and which downloader
/// runs, with its version.
class ToolSet final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolSet)

public:
    enum class Need { Downloader, DownloaderAndConverter };

    explicit ToolSet(QObject *parent = nullptr);
    ~ToolSet() override;

    /// Looks both tools up in `folder` and stores them in youtubeDLPath() and ffmpegPath().
    void lookUp(const QString &folder);

    /// "Outil introuvable : …" naming the tools of `need` that are missing; empty when none is.
    QString missing(Need need) const;

    /// The program behind the downloader's entry (what a user replaces), for instance
    /// "yt-dlp"; empty without a downloader.
    QString downloaderProgram() const;
    /// The first line of the downloader's "--version"; empty until it has answered.
    QString downloaderVersion() const;

    /// Asks the downloader for its version in the background; downloaderChanged() follows
    /// the answer.
    void askDownloaderVersion();

signals:
    /// The downloader, or what is known of it, changed.
    void downloaderChanged();

private:
    void readVersion(const QByteArray &chunk);
    void versionQuestionEnded();

    ShellProcess *m_versionQuestion = nullptr;
    QByteArray m_firstLine;
    QString m_version;
};
