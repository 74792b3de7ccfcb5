// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ToolInstaller.h"

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QRandomGenerator>

#include "tools/ShellCommand.h"
#include "tools/ShellProcess.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// Checking the signature, unpacking and asking the version each take seconds at most.
constexpr auto stepTimeLimit = 60s;
constexpr qsizetype stepOutputLimit = 64 * 1024;

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
} // namespace

ToolInstaller::ToolInstaller(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_step(new ShellProcess(this))
{
    m_step->setTimeLimit(stepTimeLimit);
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

bool ToolInstaller::isRunning() const
{
    return m_running;
}

void ToolInstaller::install(Tool tool, const QString &folder)
{
    if (m_running) {
        return;
    }
    m_running = true;
    m_tool = tool;
    m_folder = folder;
    m_sums.clear();
    m_signature.clear();
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
    if (tool == Tool::JavaScriptRuntime) {
        m_assetName = denoArchive();
        m_asset = fetch(m_assetName);
        fetch(m_assetName + u".sha256sum"_s);
    } else {
        m_assetName = u"yt-dlp"_s;
        m_asset = fetch(m_assetName);
        fetch(u"SHA2-256SUMS"_s);
        fetch(u"SHA2-256SUMS.sig"_s);
    }
    connect(m_asset, &QNetworkReply::readyRead, this, &ToolInstaller::readAsset);
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

QNetworkReply *ToolInstaller::fetch(const QString &name)
{
    const QUrl &base = m_tool == Tool::JavaScriptRuntime ? m_sources.deno
        : m_tool == Tool::NightlyDownloader              ? m_sources.downloaderNightly
                                                         : m_sources.downloaderStable;
    QNetworkRequest request(base.resolved(QUrl(name)));
    request.setTransferTimeout(static_cast<int>(m_sources.stallLimit.count()));
    QNetworkReply *reply = m_network->get(request);
    m_replies << reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { transferEnded(reply); });
    return reply;
}

void ToolInstaller::readAsset()
{
    const QByteArray data = m_asset->readAll();
    m_hash.addData(data);
    if (m_file->write(data) != data.size()) {
        return fail(
            tr("écriture impossible dans « %1 » (%2)").arg(m_folder, m_file->errorString()));
    }
    const QVariant total = m_asset->header(QNetworkRequest::ContentLengthHeader);
    emit progressChanged(m_file->pos(), total.isValid() ? total.toLongLong() : -1);
}

void ToolInstaller::transferEnded(QNetworkReply *reply)
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
    if (reply == m_asset) {
        readAsset();
        // Closed, or the system would refuse to run it ("text file busy").
        if (!m_running || !m_file->flush()) {
            return fail(
                tr("écriture impossible dans « %1 » (%2)").arg(m_folder, m_file->errorString()));
        }
        m_file->close();
    } else if (name.endsWith(u".sig"_s)) {
        m_signature = reply->readAll();
    } else {
        m_sums = reply->readAll();
    }
    m_replies.removeOne(reply);
    reply->deleteLater();
    if (m_replies.isEmpty()) {
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
    if (!writeFile(keyring, dearmored(key)) || !writeFile(sums, m_sums)
        || !writeFile(signature, m_signature)) {
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
    const QByteArray expected = hashFor(m_sums, m_assetName);
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
    m_stepOutput.clear();
    disconnect(m_step, &ShellProcess::ended, this, nullptr);
    connect(m_step, &ShellProcess::ended, this, [this, file](const ShellProcess::End &end) {
        const QString version = QString::fromUtf8(m_stepOutput).section(u'\n', 0, 0).trimmed();
        if (!end.succeeded() || version.isEmpty()) {
            return fail(tr("le fichier reçu ne répond pas comme un %1")
                            .arg(m_tool == Tool::JavaScriptRuntime ? u"moteur JavaScript"_s
                                                                   : u"téléchargeur"_s));
        }
        finishInstallation(file, version);
    });
    m_step->start(shellQuote(file) + u" --version 2>/dev/null"_s);
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
    disconnect(m_step, &ShellProcess::ended, this, nullptr);
    m_step->stopAndWait();
    if (m_file) {
        m_file->remove();
        m_file.reset();
    }
    m_scratch.reset();
}
