// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ToolSet.h"

#include <algorithm>
#include <utility>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include "tools/JavaScriptRuntimes.h"
#include "tools/ToolLookup.h"
#include "tools/VersionQuestion.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// A downloader that does not answer this fast is left alone: the version is only shown.
constexpr auto versionTimeLimit = 30s;
// Video sites change every few weeks; a downloader older than this fails on many of them.
constexpr qint64 staleAfterDays = 90;
// The first release that knows "--js-runtimes".
const QDate javaScriptRuntimesSince(2025, 11, 1);
} // namespace

// Function-local statics: initialised once, on first use, safely from any thread.
std::optional<QString> &youtubeDLPath()
{
    static std::optional<QString> path;
    return path;
}

std::optional<QString> &ffmpegPath()
{
    static std::optional<QString> path;
    return path;
}

QString managedToolFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(u"tools"_s);
}

QDate downloaderReleaseDate(const QString &version)
{
    static const QRegularExpression pattern(u"^(\\d{4})\\.(\\d{2})\\.(\\d{2})(\\.\\d+)?$"_s);
    const QRegularExpressionMatch match = pattern.match(version);
    return match.hasMatch()
        ? QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt())
        : QDate();
}

QString stalenessAdvice(const QString &version, const QDate &today)
{
    const QDate released = downloaderReleaseDate(version);
    if (!released.isValid() || released.daysTo(today) <= staleAfterDays) {
        return {};
    }
    return ToolSet::tr("Téléchargeur du %1 : Outils → Mettre à jour le téléchargeur")
        .arg(QLocale(QLocale::French).toString(released, u"d MMMM yyyy"_s));
}

ToolSet::ToolSet(QObject *parent)
    : QObject(parent)
    , m_versionQuestion(new VersionQuestion(this))
    , m_runtimes(new JavaScriptRuntimes(this))
{
    m_versionQuestion->setTimeLimit(versionTimeLimit);
    connect(m_versionQuestion, &VersionQuestion::answered, this, &ToolSet::versionAnswered);
    connect(m_runtimes, &JavaScriptRuntimes::detected, this, [this] {
        m_runtimesKnown = true;
        emit downloaderChanged();
    });
}

ToolSet::~ToolSet() = default;

void ToolSet::lookUp(const QString &bundledFolder, const QString &managedFolder)
{
    m_bundledFolder = bundledFolder;
    m_managedFolder = managedFolder;
    const QString downloader = QString::fromUtf16(downloaderToolName);
    youtubeDLPath() = resourcePath(downloader, managedFolder);
    if (!youtubeDLPath()) {
        youtubeDLPath() = resourcePath(downloader, bundledFolder);
    }
    ffmpegPath() = resourcePath(QString::fromUtf16(converterToolName), bundledFolder);
    m_version.clear();
    m_runtimesKnown = false;
    emit downloaderChanged();
}

void ToolSet::reload()
{
    lookUp(m_bundledFolder, m_managedFolder);
    askDownloaderVersion();
}

QString ToolSet::managedFolder() const
{
    return m_managedFolder;
}

bool ToolSet::isManaged() const
{
    return youtubeDLPath() && !m_managedFolder.isEmpty()
        && QFileInfo(*youtubeDLPath()).absolutePath()
        == QFileInfo(m_managedFolder).absoluteFilePath();
}

void ToolSet::revertToBundled()
{
    if (isManaged()) {
        QFile::remove(*youtubeDLPath());
    }
    reload();
}

QString ToolSet::missing(Need need) const
{
    QStringList names;
    if (!youtubeDLPath()) {
        names << QString::fromUtf16(downloaderToolName);
    }
    if (need == Need::DownloaderAndConverter && !ffmpegPath()) {
        names << QString::fromUtf16(converterToolName);
    }
    return names.isEmpty() ? QString() : tr("Outil introuvable : %1").arg(names.join(u", "_s));
}

QString ToolSet::downloaderProgram() const
{
    if (!youtubeDLPath()) {
        return {};
    }
    if (isManaged()) {
        return u"yt-dlp"_s;
    }
    // The tool folder's entry is usually a link: name what it leads to.
    return QFileInfo(QFileInfo(*youtubeDLPath()).canonicalFilePath()).fileName();
}

QString ToolSet::downloaderVersion() const
{
    return m_version;
}

QString ToolSet::description() const
{
    if (m_version.isEmpty()) {
        return {};
    }
    return tr("Téléchargeur : %1 %2 (%3)")
        .arg(downloaderProgram(), m_version, isManaged() ? tr("mis à jour") : tr("fourni"));
}

QString ToolSet::advice() const
{
    const QString stale = stalenessAdvice(m_version, QDate::currentDate());
    if (!stale.isEmpty()) {
        return stale;
    }
    if (knowsJavaScriptRuntimes() && m_runtimesKnown && m_runtimes->usable().isEmpty()) {
        return tr("Aucun moteur JavaScript utilisable (deno 2.3, node 22, QuickJS ou bun) : "
                  "Outils → Installer le moteur JavaScript (deno)");
    }
    return {};
}

QString ToolSet::javaScriptRuntimeOption() const
{
    return knowsJavaScriptRuntimes() ? m_runtimes->option() : QString();
}

void ToolSet::setVersionCache(QSettings *store)
{
    m_versionCache = store;
}

void ToolSet::askDownloaderVersion()
{
    if (!youtubeDLPath() || m_versionQuestion->isRunning()) {
        return;
    }
    // The answer is kept under the file's real path, and stays good while its size and
    // times of change do: the same file, unchanged, is not started again. The time of status
    // change cannot be set back, unlike the modification time (cp -p, unzip): a replacement
    // of the same size is asked again.
    m_askedPath = *youtubeDLPath();
    const QFileInfo file(QFileInfo(m_askedPath).canonicalFilePath());
    m_askedKey
        = u"DownloaderVersions/"_s
        + QString::fromLatin1(
              QCryptographicHash::hash(file.filePath().toUtf8(), QCryptographicHash::Sha1).toHex());
    m_askedStamp = u"%1 %2 %3 "_s.arg(file.size())
                       .arg(file.lastModified().toMSecsSinceEpoch())
                       .arg(file.metadataChangeTime().toMSecsSinceEpoch());
    if (m_versionCache) {
        const QString cached = m_versionCache->value(m_askedKey).toString();
        if (cached.startsWith(m_askedStamp) && cached.size() > m_askedStamp.size()) {
            setVersion(cached.sliced(m_askedStamp.size()));
            return;
        }
    }
    // Only the answer on standard output counts; what the tool says on its error output
    // is thrown away.
    m_versionQuestion->ask(m_askedPath);
}

void ToolSet::detectJavaScriptRuntimes()
{
    if (knowsJavaScriptRuntimes()) {
        m_runtimes->detect(m_managedFolder);
    }
}

void ToolSet::versionAnswered(const QString &answer)
{
    // The downloader changed while it was being asked: the answer is another file's.
    if (youtubeDLPath() != m_askedPath) {
        askDownloaderVersion();
        return;
    }
    const QString firstLine = VersionQuestion::firstLine(answer);
    if (firstLine.isEmpty()) {
        // A managed copy that does not answer gives way to the bundled downloader.
        if (isManaged()) {
            youtubeDLPath() = resourcePath(QString::fromUtf16(downloaderToolName), m_bundledFolder);
            emit downloaderChanged();
            askDownloaderVersion();
        }
        return;
    }
    if (m_versionCache) {
        m_versionCache->setValue(m_askedKey, QString(m_askedStamp + firstLine));
    }
    setVersion(firstLine);
}

void ToolSet::setVersion(const QString &version)
{
    m_version = version;
    emit downloaderChanged();
    detectJavaScriptRuntimes();
}

bool ToolSet::knowsJavaScriptRuntimes() const
{
    const QDate released = downloaderReleaseDate(m_version);
    return released.isValid() && released >= javaScriptRuntimesSince;
}
