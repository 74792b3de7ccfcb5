// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>

class JavaScriptRuntimes;
class QSettings;
class VersionQuestion;

/// Full paths of the two tools; absent until the tools are looked up, and never set to a
/// tool that was not found.
std::optional<QString> &youtubeDLPath();
std::optional<QString> &ffmpegPath();

/// Quorvel's own tool folder in the user's data folder, where the managed downloader and
/// JavaScript runtime are installed. Needs the application's name to be set.
QString managedToolFolder();

/// The release date in a downloader's version ("2023.03.04", "2025.11.12.232650" for a
/// nightly build); invalid when there is none.
QDate downloaderReleaseDate(const QString &version);
/// In French, for a downloader older than 90 days on `today`: "Téléchargeur du 4 mars 2023 :
/// Outils → Mettre à jour le téléchargeur"; empty otherwise.
QString stalenessAdvice(const QString &version, const QDate &today);

/// The tools that Quorvel drives: where they are, what is missing, which downloader runs
/// (the managed copy when there is one that answers, the bundled one otherwise), its
/// version, and the JavaScript runtime it is to be given.
class ToolSet final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolSet)

public:
    enum class Need { Downloader, DownloaderAndConverter };

    explicit ToolSet(QObject *parent = nullptr);
    ~ToolSet() override;

    /// Looks the tools up, the downloader first in `managedFolder`, then in `bundledFolder`,
    /// and stores them in youtubeDLPath() and ffmpegPath().
    void lookUp(const QString &bundledFolder, const QString &managedFolder = {});
    /// Looks the tools up again where they were looked for, and asks the version again.
    void reload();
    QString managedFolder() const;
    bool isManaged() const;
    /// Removes the managed downloader: the bundled one runs again.
    void revertToBundled();

    /// "Outil introuvable : …" naming the tools of `need` that are missing; empty when none is.
    QString missing(Need need) const;

    /// The program behind the downloader's entry (what a user replaces), for instance
    /// "yt-dlp"; empty without a downloader.
    QString downloaderProgram() const;
    /// The first line of the downloader's "--version"; empty until it has answered.
    QString downloaderVersion() const;
    /// "Téléchargeur : yt-dlp 2023.03.04 (fourni)"; empty until it answered.
    QString description() const;
    /// What the user should do about the downloader, in French; empty when nothing.
    QString advice() const;
    /// The value of "--js-runtimes" for the command lines; empty when none is to be passed
    /// (an older downloader does not know the option).
    QString javaScriptRuntimeOption() const;

    /// Where answers to the version question are kept, by the downloader's path, size and
    /// times of change, so that an unchanged downloader is not asked again; none by default.
    void setVersionCache(QSettings *store);
    /// Asks the downloader for its version in the background, unless the cache knows it;
    /// downloaderChanged() follows the answer. A managed copy that does not answer gives way
    /// to the bundled one.
    void askDownloaderVersion();
    /// Looks for the JavaScript runtimes again (after one was installed).
    void detectJavaScriptRuntimes();

signals:
    /// The downloader, or what is known of it, changed.
    void downloaderChanged();

private:
    void versionAnswered(const QString &answer);
    void setVersion(const QString &version);
    bool knowsJavaScriptRuntimes() const;

    VersionQuestion *m_versionQuestion = nullptr;
    QSettings *m_versionCache = nullptr;
    JavaScriptRuntimes *m_runtimes = nullptr;
    QString m_bundledFolder;
    QString m_managedFolder;
    // The file the running version question asks, and where its answer is kept.
    QString m_askedPath;
    QString m_askedKey;
    QString m_askedStamp;
    QString m_version;
    bool m_runtimesKnown = false;
};
