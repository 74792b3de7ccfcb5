// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

struct stat;

/// Removes the file at `path`, but only a regular file or a link (the link itself) whose
/// real place lies inside `folder`: never a folder, never anything outside. Paths are the
/// exact bytes of the file system's names, so a name that is not valid UTF-8 is removed,
/// or kept, as itself. A refusal or a failure is logged ("Fichier <path> ne peut être
/// supprimé : <reason>"). Returns whether a file was removed.
bool deleteFile(const QByteArray &path, const QByteArray &folder);

/// Removes what a download cut short leaves beside `destination` (its partial file, its
/// fragments, its resume record, the converter's temporary file), inside `folder` only, as
/// deleteFile() does: for a paused download that is cancelled, when no process runs.
void removeUnfinishedBeside(const QByteArray &destination, const QByteArray &folder);

/// What a download may remove in the folder it writes to: the old file at each destination
/// that the downloader announces, and after a cancel its own unfinished files. Never a file
/// that this download wrote, whatever the file system's clock or time granularity: a file
/// is old only when it was in the folder at the start and is still the same file, in the
/// same state.
class DestinationCleanup final
{
public:
    /// Whether the old file at an announced destination goes, or stays (the downloader
    /// then writes nothing there).
    enum class OldFiles { Replaced, Kept };

    /// Records the files of `folder` as they are before the download starts.
    void begin(const QByteArray &folder, OldFiles oldFiles = OldFiles::Replaced);

    /// The downloader is about to write `path`: an old file there goes, unless kept.
    void destinationAnnounced(const QByteArray &path);
    /// The converter is about to write `path` (extracted audio, merged file).
    void conversionAnnounced(const QByteArray &path);
    /// The converter is done: its file is whole, and a cancel keeps it.
    void conversionFinished();
    /// The downloader named `path` as a final file: if it is the conversion's, it is whole.
    void finalFileNamed(const QByteArray &path);

    /// After a cancel: removes what the download leaves unfinished beside each announced
    /// destination (partial file, fragments, resume record, the converter's temporary
    /// file) and a conversion under way; nothing else.
    void removeUnfinished();

private:
    // What tells one file from another, and whether it changed.
    struct FileState
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modified = 0;
        qint64 changed = 0;

        static FileState of(const struct stat &info);
        friend bool operator==(const FileState &, const FileState &) = default;
    };

    bool isOld(const QByteArray &path) const;
    void removeIfPresent(const QByteArray &path);

    QByteArray m_folder;
    QByteArray m_realFolder;
    OldFiles m_oldFiles = OldFiles::Replaced;
    QHash<QByteArray, FileState> m_before;
    // The folder was not there at the start (the downloader makes a list's folder): every
    // file in it is this download's.
    bool m_folderMade = false;
    QList<QByteArray> m_destinations;
    // The converter's output while no later destination has been announced.
    QByteArray m_conversion;
};
