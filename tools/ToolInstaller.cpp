// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ToolInstaller.h"

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QVersionNumber>

#include "tools/ShellCommand.h"
#include "tools/ShellProcess.h"
#include "tools/VersionQuestion.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// Checking the signature, unpacking and asking the version each take seconds at most.
constexpr auto stepTimeLimit = 60s;
constexpr qsizetype stepOutputLimit = 64 * 1024;
// Far above what the files are today (a few hundred bytes, 3 MB, 45 MB), far below what would
// fill a disk: a server that sends more is not sending the release.
constexpr qint64 mebibyte = 1024 * 1024;
constexpr qint64 listSizeLimit = mebibyte;
constexpr qint64 downloaderSizeLimit = 64 * mebibyte;
constexpr qint64 denoSizeLimit = 128 * mebibyte;
// What Qt itself may hold of a reply before it is read into its file.
constexpr qint64 replyBufferSize = 256 * 1024;

QString installedName(ToolInstaller::Tool tool)
{
    return tool == ToolInstaller::Tool::JavaScriptRuntime ? u"deno"_s : u"youtube-dl"_s;
}

} // namespace

QString ToolInstaller::denoArchive()
{
    const QString cpu
        = QSysInfo::currentCpuArchitecture() == u"arm64"_s ? u"aarch64"_s : u"x86_64"_s;
#ifdef Q_OS_MACOS
    return u"deno-%1-apple-darwin.zip"_s.arg(cpu);
#else
    return u"deno-%1-unknown-linux-gnu.zip"_s.arg(cpu);
#endif
}

namespace {

// gpgv reads binary keys only: the armour's base64 body, without its headers and checksum.
QByteArray dearmored(const QByteArray &armoured)
{
    QByteArray body;
    bool inBody = false;
    for (const QByteArray &rawLine : armoured.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith("-----END") || (inBody && line.startsWith('='))) {
            break;
        }
        if (inBody) {
            body += line;
        } else if (line.isEmpty() && armoured.contains("-----BEGIN")) {
            inBody = true;
        }
    }
    return QByteArray::fromBase64(body);
}

// The SHA-256 that a sums file gives for `name` ("<hash>  <name>" lines, or a lone hash).
QByteArray hashFor(const QByteArray &sums, const QString &name)
{
    QList<QByteArray> loneHashes;
    for (const QByteArray &line : sums.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.first().size() != 64) {
            continue;
        }
        const QByteArray file = words.size() > 1 ? words.at(1) : QByteArray();
        if (file == name.toUtf8() || file == '*' + name.toUtf8()) {
            return words.first().toLower();
        }
        if (file.isEmpty()) {
            loneHashes << words.first().toLower();
        }
    }
    return loneHashes.size() == 1 ? loneHashes.first() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QString tooLarge(const QNetworkReply *reply, qint64 sizeLimit)
{
    return ToolInstaller::tr("« %1 » dépasse la taille admise (%2 Mio)")
        .arg(reply->url().fileName())
        .arg(sizeLimit / mebibyte);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

ToolInstaller::ToolInstaller(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_step(new ShellProcess(this))
    , m_versionQuestion(new VersionQuestion(this))
    , m_transferTimer(new QTimer(this))
{
    m_step->setTimeLimit(stepTimeLimit);
    m_versionQuestion->setTimeLimit(stepTimeLimit);
    m_transferTimer->setSingleShot(true);
    connect(m_transferTimer, &QTimer::timeout, this, [this] {
        fail(tr("le transfert n'est pas terminé au bout de %1 s")
                 .arg(std::chrono::ceil<std::chrono::seconds>(m_sources.transferLimit).count()));
    });
    connect(m_step, &ShellProcess::outputRead, this, [this](const QByteArray &chunk) {
        m_stepOutput += chunk.first(std::min(chunk.size(), stepOutputLimit - m_stepOutput.size()));
    });
}

ToolInstaller::~ToolInstaller()
{
    clear();
}

void ToolInstaller::setSources(const ReleaseSources &sources)
{
    m_sources = sources;
}

void ToolInstaller::setGoingBackConfirmation(GoingBackConfirmation confirmation)
{
    m_goingBackConfirmation = std::move(confirmation);
}

void ToolInstaller::removeLeftovers(const QString &folder)
{
    // Only the names install() gives: a crash or a power cut during an installation leaves
    // them; anything else in the folder is someone's.
    static const QRegularExpression leftover(
        u"^\\.((youtube-dl|deno)-[0-9a-z]+|scratch-[0-9A-Za-z]{6})$"_s);
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden
                                                             | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (!leftover.match(entry.fileName()).hasMatch()) {
            continue;
        }
        // A link is removed, never followed.
        if (entry.isDir() && !entry.isSymLink()) {
            QDir(entry.filePath()).removeRecursively();
        } else {
            QFile::remove(entry.filePath());
        }
    }
}

bool ToolInstaller::isRunning() const
{
    return m_running;
}

void ToolInstaller::install(Tool tool, const QString &folder, const QString &installedVersion)
{
    if (m_running) {
        return;
    }
    m_running = true;
    m_tool = tool;
    m_folder = folder;
    m_installedVersion = installedVersion;
    m_hash.reset();
    // Written beside its final name, so that the last step is a rename on one file system.
    // A QTemporaryFile would keep its descriptor open until destroyed, and a file open for
    // writing cannot be run.
    m_file = std::make_unique<QFile>(QDir(folder).filePath(u".%1-%2"_s.arg(
        installedName(tool), QString::number(QRandomGenerator::global()->generate64(), 36))));
    const bool opened
        = QDir().mkpath(folder) && m_file->open(QIODevice::WriteOnly | QIODevice::NewOnly);
    m_scratch = std::make_unique<QTemporaryDir>(QDir(folder).filePath(u".scratch-XXXXXX"_s));
    if (!opened || !m_scratch->isValid()) {
        fail(tr("le dossier des outils « %1 » n'est pas modifiable").arg(folder));
        return;
    }
    // deno's hash is Quorvel's own: nothing but the archive comes from its server.
    if (tool == Tool::JavaScriptRuntime) {
        m_assetName = denoArchive();
        fetch(m_assetName, denoSizeLimit);
    } else {
        m_assetName = u"yt-dlp"_s;
        fetch(m_assetName, downloaderSizeLimit);
        fetch(u"SHA2-256SUMS"_s, listSizeLimit);
        fetch(u"SHA2-256SUMS.sig"_s, listSizeLimit);
    }
    m_transferTimer->start(m_sources.transferLimit);
}

void ToolInstaller::cancel()
{
    if (!m_running) {
        return;
    }
    clear();
    emit failed(m_tool == Tool::JavaScriptRuntime
                    ? tr("Installation de deno annulée")
                    : tr("Mise à jour annulée ; le téléchargeur actuel est conservé"));
}

void ToolInstaller::fetch(const QString &name, qint64 sizeLimit)
{
    const QUrl &base = m_tool == Tool::JavaScriptRuntime ? m_sources.deno
        : m_tool == Tool::NightlyDownloader              ? m_sources.downloaderNightly
                                                         : m_sources.downloaderStable;
    QNetworkRequest request(base.resolved(QUrl(name)));
    request.setTransferTimeout(static_cast<int>(m_sources.stallLimit.count()));
    QNetworkReply *reply = m_network->get(request);
    reply->setReadBufferSize(replyBufferSize);
    m_replies << reply;
    // The tool goes beside its final name, the lists into the scratch folder (closed with
    // their reply); a list that cannot be opened fails at its first write.
    QFile *sink = m_file.get();
    if (name != m_assetName) {
        sink = new QFile(m_scratch->filePath(name), reply);
        sink->open(QIODevice::WriteOnly);
    } else {
        m_asset = reply;
    }
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply, sizeLimit] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > sizeLimit) {
            fail(tooLarge(reply, sizeLimit));
        }
    });
    connect(reply, &QNetworkReply::readyRead, this,
            [this, reply, sink, sizeLimit] { receive(reply, sink, sizeLimit); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, sink, sizeLimit] { transferEnded(reply, sink, sizeLimit); });
}

void ToolInstaller::receive(QNetworkReply *reply, QFile *sink, qint64 sizeLimit)
{
    const QByteArray data = reply->readAll();
    if (sink->pos() + data.size() > sizeLimit) {
        return fail(tooLarge(reply, sizeLimit));
    }
    if (sink->write(data) != data.size()) {
        return fail(tr("écriture impossible dans « %1 » (%2)").arg(m_folder, sink->errorString()));
    }
    if (reply == m_asset) {
        m_hash.addData(data);
        const QVariant total = reply->header(QNetworkRequest::ContentLengthHeader);
        emit progressChanged(sink->pos(), total.isValid() ? total.toLongLong() : -1);
    }
}

void ToolInstaller::transferEnded(QNetworkReply *reply, QFile *sink, qint64 sizeLimit)
{
    if (!m_running) {
        return;
    }
    const QString name = reply->url().fileName();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        return fail(tr("le serveur des versions répond %1 pour « %2 »").arg(status).arg(name));
    }
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError:
        return fail(tr("le transfert de « %1 » ne progresse plus").arg(name));
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return fail(tr("pas de connexion au serveur des versions (%1)").arg(reply->errorString()));
    default:
        return fail(
            tr("le transfert de « %1 » s'est interrompu (%2)").arg(name, reply->errorString()));
    }
    receive(reply, sink, sizeLimit);
    // Closed, or the system would refuse to run it ("text file busy").
    if (!m_running || !sink->flush()) {
        return fail(tr("écriture impossible dans « %1 » (%2)").arg(m_folder, sink->errorString()));
    }
    sink->close();
    m_replies.removeOne(reply);
    reply->deleteLater();
    if (m_replies.isEmpty()) {
        m_transferTimer->stop();
        m_tool == Tool::JavaScriptRuntime ? checkSumAndUnpack() : checkSignature();
    }
}

void ToolInstaller::checkSignature()
{
    // Only the downloader's release key is in the keyring: any other signature fails.
    QFile shipped(u":/keys/yt-dlp-release-signing-key.asc"_s);
    const QByteArray key = !m_sources.signingKey.isEmpty()
        ? m_sources.signingKey
        : (shipped.open(QIODevice::ReadOnly) ? shipped.readAll() : QByteArray());
    const QString keyring = m_scratch->filePath(u"keyring.gpg"_s);
    const QString sums = m_scratch->filePath(u"SHA2-256SUMS"_s);
    const QString signature = m_scratch->filePath(u"SHA2-256SUMS.sig"_s);
    if (!writeFile(keyring, dearmored(key))) {
        return fail(tr("écriture impossible dans « %1 »").arg(m_folder));
    }
    m_stepOutput.clear();
    disconnect(m_step, &ShellProcess::ended, this, nullptr);
    connect(m_step, &ShellProcess::ended, this, [this](const ShellProcess::End &end) {
        if (end.couldNotRun()) {
            return fail(tr("gpgv est introuvable : installez le paquet gpgv"));
        }
        if (!end.succeeded()) {
            return fail(tr("la signature de SHA2-256SUMS n'est pas celle des versions du "
                           "téléchargeur"));
        }
        checkSumAndUnpack();
    });
    m_step->start(u"gpgv --keyring "_s + shellQuote(keyring) + u' ' + shellQuote(signature) + u' '
                  + shellQuote(sums));
}

void ToolInstaller::checkSumAndUnpack()
{
    // The sums file is at most a mebibyte: read whole, once its signature has been checked.
    const QByteArray expected = m_tool == Tool::JavaScriptRuntime
        ? m_sources.denoArchiveHashes.value(m_assetName)
        : hashFor(readFile(m_scratch->filePath(u"SHA2-256SUMS"_s)), m_assetName);
    if (expected.isEmpty()) {
        return fail(tr("la liste des empreintes ne donne pas celle de « %1 »").arg(m_assetName));
    }
    if (expected != m_hash.result().toHex()) {
        return fail(tr("l'empreinte de « %1 » ne correspond pas : fichier altéré ou transfert "
                       "incomplet")
                        .arg(m_assetName));
    }
    if (m_tool != Tool::JavaScriptRuntime) {
        return askVersion(m_file->fileName());
    }
    const QString unpacked = m_scratch->filePath(u"unpacked"_s);
    disconnect(m_step, &ShellProcess::ended, this, nullptr);
    connect(m_step, &ShellProcess::ended, this, [this, unpacked](const ShellProcess::End &end) {
        if (!end.succeeded()) {
            return fail(tr("l'archive « %1 » ne s'ouvre pas").arg(m_assetName));
        }
        askVersion(QDir(unpacked).filePath(u"deno"_s));
    });
    m_step->start(u"python3 -m zipfile -e "_s + shellQuote(m_file->fileName()) + u' '
                  + shellQuote(unpacked));
}

void ToolInstaller::askVersion(const QString &file)
{
    QFile::setPermissions(file,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    disconnect(m_versionQuestion, &VersionQuestion::answered, this, nullptr);
    connect(m_versionQuestion, &VersionQuestion::answered, this,
            [this, file](const QString &answer) {
                const QString version = VersionQuestion::firstLine(answer);
                if (version.isEmpty()) {
                    return fail(tr("le fichier reçu ne répond pas comme un %1")
                                    .arg(m_tool == Tool::JavaScriptRuntime ? u"moteur JavaScript"_s
                                                                           : u"téléchargeur"_s));
                }
                checkVersion(file, version);
            });
    m_versionQuestion->ask(file);
}

void ToolInstaller::checkVersion(const QString &file, const QString &version)
{
    // Releases are numbered by date, numerically part by part: "2026.12.06" is newer than
    // "2025.11.12.232650". Nightly builds add the time of the build as a fourth part.
    const QVersionNumber installed = QVersionNumber::fromString(m_installedVersion);
    if (m_tool != Tool::JavaScriptRuntime && QVersionNumber::fromString(version) < installed) {
        const bool channelChange
            = (installed.segmentCount() > 3) != (m_tool == Tool::NightlyDownloader);
        // The nightly builds run ahead of the stable releases: going back to stable is
        // expected, and the user's to decide.
        if (!channelChange || !m_goingBackConfirmation
            || !m_goingBackConfirmation(m_installedVersion, version)) {
            return fail(tr("la version reçue, %1, est plus ancienne que celle installée, %2")
                            .arg(version, m_installedVersion));
        }
        // Cancelled while the user was asked.
        if (!m_running) {
            return;
        }
    }
    finishInstallation(file, version);
}

void ToolInstaller::finishInstallation(const QString &file, const QString &version)
{
    // rename() replaces the previous copy in one step: there is always a whole tool there.
    const QString target = QDir(m_folder).filePath(installedName(m_tool));
    if (std::rename(QFile::encodeName(file).constData(), QFile::encodeName(target).constData())
        != 0) {
        return fail(tr("« %1 » ne peut être remplacé").arg(target));
    }
    if (file == m_file->fileName()) {
        m_file.reset();
    }
    clear();
    emit installed(target, version);
}

void ToolInstaller::fail(const QString &reason)
{
    if (!m_running) {
        return;
    }
    clear();
    emit failed(
        m_tool == Tool::JavaScriptRuntime
            ? tr("Installation de deno impossible : %1").arg(reason)
            : tr("Mise à jour impossible : %1 ; le téléchargeur actuel est conservé").arg(reason));
}

void ToolInstaller::clear()
{
    m_running = false;
    for (QNetworkReply *reply : std::exchange(m_replies, {})) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_asset = nullptr;
    m_transferTimer->stop();
    disconnect(m_step, &ShellProcess::ended, this, nullptr);
    m_step->stopAndWait();
    disconnect(m_versionQuestion, &VersionQuestion::answered, this, nullptr);
    m_versionQuestion->stop();
    if (m_file) {
        m_file->remove();
        m_file.reset();
    }
    m_scratch.reset();
}
