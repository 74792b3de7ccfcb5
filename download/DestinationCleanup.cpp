// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DestinationCleanup.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <QFile>
#include <QString>

#include "tools/Logging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void logRefusal(const QByteArray &path, const QString &reason)
{
    qCWarning(lcQuorvel).noquote()
        << u"Fichier %1 ne peut être supprimé : %2"_s.arg(QString::fromUtf8(path), reason);
}

// Nothing to remove is no fault: an information line only.
void logMissing(const QByteArray &path)
{
    qCInfo(lcQuorvel).noquote() << u"Fichier %1 ne peut être supprimé : il n'existe pas"_s.arg(
        QString::fromUtf8(path));
}

// The path with its links and ".." resolved; empty when it does not exist.
QByteArray realPath(const QByteArray &path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(path.constData(), nullptr), &std::free);
    return resolved ? QByteArray(resolved.get()) : QByteArray();
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return "."_ba;
    }
    return slash == 0 ? "/"_ba : path.first(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? QByteArray(folder + name) : QByteArray(folder + '/' + name);
}

bool exists(const QByteArray &path)
{
    struct stat info = {};
    return ::lstat(path.constData(), &info) == 0;
}

// The converter's temporary file for `path`: "clip.temp.m4a" for "clip.m4a", as the
// downloader names it (an extension never starts a name: ".m4a" has none).
QByteArray temporaryFileOf(const QByteArray &path)
{
    const QByteArray name = nameOf(path);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || name.first(dot).count('.') == dot) {
        return path + ".temp";
    }
    const qsizetype at = path.size() - name.size() + dot;
    return path.first(at) + ".temp" + path.sliced(at);
}

} // namespace

DestinationCleanup::FileState DestinationCleanup::FileState::of(const struct stat &info)
{
    constexpr qint64 nanoseconds = 1'000'000'000;
    return {info.st_dev, info.st_ino, info.st_size,
            info.st_mtim.tv_sec * nanoseconds + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * nanoseconds + info.st_ctim.tv_nsec};
}

bool deleteFile(const QByteArray &path, const QByteArray &folder)
{
    const QByteArray realFolder = realPath(folder);
    if (path.isEmpty() || realFolder.isEmpty()) {
        logRefusal(path, u"le dossier « %1 » est introuvable"_s.arg(QString::fromUtf8(folder)));
        return false;
    }
    const QByteArray name = nameOf(path);
    if (name.isEmpty() || name == "." || name == "..") {
        logRefusal(path, u"ce n'est pas un nom de fichier"_s);
        return false;
    }
    // The parent is resolved with its links and "..": whatever the text of the path, the
    // file is removed from the folder it really lies in.
    const QByteArray parent = realPath(parentOf(path));
    if (parent.isEmpty()) {
        logMissing(path);
        return false;
    }
    const QByteArray target = joined(parent, name);
    if (!target.startsWith(joined(realFolder, {}))) {
        logRefusal(path, u"il est hors du dossier « %1 »"_s.arg(QString::fromUtf8(folder)));
        return false;
    }
    // A link is judged as a link, not by what it points to, and only the link goes.
    struct stat info = {};
    if (::lstat(target.constData(), &info) != 0) {
        logMissing(path);
        return false;
    }
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        logRefusal(path, u"ce n'est pas un fichier ordinaire"_s);
        return false;
    }
    if (::unlink(target.constData()) != 0) {
        logRefusal(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void DestinationCleanup::begin(const QByteArray &folder, OldFiles oldFiles)
{
    m_folder = folder;
    m_oldFiles = oldFiles;
    m_realFolder = realPath(folder);
    m_before.clear();
    m_destinations.clear();
    m_conversion.clear();

    DIR *directory = ::opendir(m_realFolder.constData());
    m_folderMade = !directory && errno == ENOENT;
    if (!directory) {
        return;
    }
    while (const dirent *entry = ::readdir(directory)) {
        struct stat info = {};
        if (::fstatat(::dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            m_before.insert(QByteArray(entry->d_name), FileState::of(info));
        }
    }
    ::closedir(directory);
}

void DestinationCleanup::destinationAnnounced(const QByteArray &path)
{
    m_destinations << path;
    m_conversion.clear();
    // The usual case: the downloader has not created the file yet. There is nothing to
    // remove, nor to report; and a file that it creates from now on is its own, which
    // deleteFile() must not be left to find.
    if (!exists(path) || m_oldFiles == OldFiles::Kept || m_folderMade) {
        return;
    }
    // What lies outside the folder is for deleteFile() to refuse and log.
    if (realPath(parentOf(path)) == m_realFolder && !isOld(path)) {
        qCInfo(lcQuorvel).noquote()
            << u"Fichier %1 conservé : ce téléchargement l'a écrit"_s.arg(QString::fromUtf8(path));
        return;
    }
    deleteFile(path, m_folder);
}

void DestinationCleanup::conversionAnnounced(const QByteArray &path)
{
    m_conversion = path;
}

void DestinationCleanup::conversionFinished()
{
    m_conversion.clear();
}

void DestinationCleanup::finalFileNamed(const QByteArray &path)
{
    // A converter that keeps its input says nothing once done: only the name tells.
    if (path == m_conversion) {
        m_conversion.clear();
    }
}

void removeUnfinishedBeside(const QByteArray &destination, const QByteArray &folder)
{
    const auto removeIfPresent = [&folder](const QByteArray &path) {
        if (exists(path)) {
            deleteFile(path, folder);
        }
    };
    removeIfPresent(destination + ".part");
    removeIfPresent(destination + ".ytdl");
    removeIfPresent(temporaryFileOf(destination));
    // The fragments of a segmented download, matched by name rather than by a pattern,
    // which would read wildcard characters in the name.
    const QByteArray fragmentPrefix = nameOf(destination) + ".part-Frag";
    DIR *directory = ::opendir(parentOf(destination).constData());
    if (!directory) {
        return;
    }
    QList<QByteArray> fragments;
    while (const dirent *entry = ::readdir(directory)) {
        if (QByteArrayView(entry->d_name).startsWith(fragmentPrefix)) {
            fragments << joined(parentOf(destination), entry->d_name);
        }
    }
    ::closedir(directory);
    for (const QByteArray &fragment : std::as_const(fragments)) {
        removeIfPresent(fragment);
    }
}

void DestinationCleanup::removeUnfinished()
{
    for (const QByteArray &destination : std::as_const(m_destinations)) {
        removeUnfinishedBeside(destination, m_folder);
    }
    if (!m_conversion.isEmpty()) {
        removeIfPresent(temporaryFileOf(m_conversion));
        // A conversion cut short leaves a file that no player reads; an old file that the
        // converter had not yet replaced stays.
        if (exists(m_conversion) && !isOld(m_conversion)) {
            removeIfPresent(m_conversion);
        }
    }
}

bool DestinationCleanup::isOld(const QByteArray &path) const
{
    if (realPath(parentOf(path)) != m_realFolder) {
        return false;
    }
    const auto before = m_before.constFind(nameOf(path));
    struct stat info = {};
    if (before == m_before.cend()
        || ::lstat(joined(m_realFolder, nameOf(path)).constData(), &info) != 0) {
        return false;
    }
    return *before == FileState::of(info);
}

void DestinationCleanup::removeIfPresent(const QByteArray &path)
{
    if (exists(path)) {
        deleteFile(path, m_folder);
    }
}
