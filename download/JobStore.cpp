// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/JobStore.h"

#include <atomic>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include "catalogue/VideoDescriptionParser.h"
#include "tools/Logging.h"

using namespace Qt::StringLiterals;

namespace {
// The schema's version in PRAGMA user_version; a database of a later one is not touched.
// Version 2 adds the warning of a finished job.
constexpr int schemaVersion = 2;
// Another Quorvel writing the same queue holds it for milliseconds; longer is another program.
constexpr int busyTimeoutMilliseconds = 200;

// Why a database cannot be used: it decides whether the file is put aside.
enum class Failure { None, Damaged, Unwritable, Busy, Later, Other };

// SQLite's primary result codes, as the driver reports them.
Failure failureOf(const QSqlError &error)
{
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return Failure::Damaged;
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return Failure::Busy;
    case 3: // SQLITE_PERM
    case 8: // SQLITE_READONLY
    case 14: // SQLITE_CANTOPEN
        return Failure::Unwritable;
    default:
        return Failure::Other;
    }
}

QString namingId(FileNaming naming)
{
    switch (naming) {
    case FileNaming::TitleAndCode:
        return u"title-code"_s;
    case FileNaming::Title:
        return u"title"_s;
    case FileNaming::TitleCodeAndFormat:
        break;
    }
    return u"title-code-format"_s;
}

FileNaming namingFromId(const QString &id)
{
    return id == u"title-code"_s ? FileNaming::TitleAndCode
        : id == u"title"_s       ? FileNaming::Title
                                 : FileNaming::TitleCodeAndFormat;
}

QString listToJson(const QStringList &list)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

QStringList listFromJson(const QString &json)
{
    QStringList list;
    for (const QJsonValue &value : QJsonDocument::fromJson(json.toUtf8()).array()) {
        list << value.toString();
    }
    return list;
}

QVariant dateToText(const QDateTime &date)
{
    return date.isValid() ? QVariant(date.toUTC().toString(Qt::ISODateWithMs)) : QVariant();
}

QDateTime dateFromText(const QVariant &text)
{
    return QDateTime::fromString(text.toString(), Qt::ISODateWithMs);
}

// What a job stores besides its id and place, bound in this order.
constexpr const char *jobColumns[]
    = {"request", "title",        "picture", "fetched", "state", "reason", "detail", "percent",
       "files",   "destinations", "begun",   "retries", "added", "ended",  "warning"};

void bindJob(QSqlQuery &query, const DownloadJob &job)
{
    const QVariantList values {QString::fromUtf8(requestToJson(job.request)),
                               job.title,
                               job.picturePath,
                               job.fetched,
                               jobStateId(job.state),
                               job.reason,
                               job.detail,
                               job.progress.percent,
                               listToJson(job.files),
                               listToJson(job.destinations),
                               int(job.begun),
                               job.retries,
                               dateToText(job.added),
                               dateToText(job.ended),
                               job.warning};
    for (const QVariant &value : values) {
        query.addBindValue(value);
    }
}

std::optional<DownloadJob> jobFromRow(const QSqlQuery &query)
{
    const std::optional<DownloadRequest> request
        = requestFromJson(query.value(u"request"_s).toString().toUtf8());
    if (!request) {
        return std::nullopt;
    }
    DownloadJob job;
    job.id = query.value(u"id"_s).toLongLong();
    job.request = *request;
    job.title = query.value(u"title"_s).toString();
    job.picturePath = query.value(u"picture"_s).toString();
    job.fetched = query.value(u"fetched"_s).toString();
    job.state = jobStateFromId(query.value(u"state"_s).toString());
    job.reason = query.value(u"reason"_s).toString();
    job.detail = query.value(u"detail"_s).toString();
    job.progress.percent = query.value(u"percent"_s).toDouble();
    job.files = listFromJson(query.value(u"files"_s).toString());
    job.destinations = listFromJson(query.value(u"destinations"_s).toString());
    job.begun = query.value(u"begun"_s).toInt() != 0;
    job.retries = query.value(u"retries"_s).toInt();
    job.added = dateFromText(query.value(u"added"_s));
    job.ended = dateFromText(query.value(u"ended"_s));
    job.warning = query.value(u"warning"_s).toString();
    return job;
}

// The free name beside `path` under which a damaged database is kept.
QString asideName(const QString &path)
{
    const QString base
        = path + u".endommagé-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
    QString name = base;
    for (int count = 2; QFileInfo::exists(name); ++count) {
        name = base + u'-' + QString::number(count);
    }
    return name;
}

QString storeText(const char *text)
{
    return QCoreApplication::translate("JobStore", text);
}
} // namespace

struct JobStore::Private
{
    QString path;
    QString connectionName;
    QSqlDatabase database;
    bool open = false;
    QString problem;
    // The ids given to jobs that are not stored: negative, so never a stored one's.
    qint64 nextMemoryId = -1;

    Failure openDatabase();
    void putAside();
    bool exec(QSqlQuery &query, const QString &statement = {});
    template<typename Work> bool inTransaction(Work work);
    void writeFailed(const QSqlError &error);
};

bool JobStore::Private::exec(QSqlQuery &query, const QString &statement)
{
    const bool done = statement.isEmpty() ? query.exec() : query.exec(statement);
    if (!done) {
        qCWarning(lcQuorvel) << "Queue database" << path << query.lastError().text();
    }
    return done;
}

// Runs `work` in one write transaction, rolled back when any step of it fails.
template<typename Work> bool JobStore::Private::inTransaction(Work work)
{
    if (!open) {
        return false;
    }
    QSqlQuery query(database);
    if (!exec(query, u"BEGIN IMMEDIATE"_s)) {
        writeFailed(query.lastError());
        return false;
    }
    if (work(query) && exec(query, u"COMMIT"_s)) {
        return true;
    }
    writeFailed(query.lastError());
    QSqlQuery(database).exec(u"ROLLBACK"_s);
    return false;
}

void JobStore::Private::writeFailed(const QSqlError &error)
{
    problem = storeText("Les changements de la file d'attente n'ont pas pu être enregistrés : %1")
                  .arg(error.databaseText());
}

Failure JobStore::Private::openDatabase()
{
    database = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
    database.setDatabaseName(path);
    database.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(busyTimeoutMilliseconds));
    if (!database.open()) {
        qCWarning(lcQuorvel) << "Queue database" << path << database.lastError().text();
        return failureOf(database.lastError());
    }
    QSqlQuery query(database);
    // Reading the first page tells a database from any other file.
    if (!exec(query, u"PRAGMA quick_check"_s)) {
        return failureOf(query.lastError());
    }
    if (!query.next() || query.value(0).toString() != u"ok"_s) {
        qCWarning(lcQuorvel) << "Queue database" << path << "fails its check:" << query.value(0);
        return Failure::Damaged;
    }
    // Under WAL, a commit is kept through a crash of Quorvel without waiting for the disk;
    // only a power cut may lose the last ones, never the database.
    if (!exec(query, u"PRAGMA journal_mode=WAL"_s)) {
        return failureOf(query.lastError());
    }
    if (!query.next() || query.value(0).toString() != u"wal"_s) {
        return Failure::Unwritable;
    }
    if (!exec(query, u"PRAGMA synchronous=NORMAL"_s) || !exec(query, u"BEGIN IMMEDIATE"_s)) {
        return failureOf(query.lastError());
    }
    // Taking the write lock, as every change does, tells a database that can be written.
    const auto schema = [&] {
        if (!exec(query, u"PRAGMA user_version"_s) || !query.next()) {
            return failureOf(query.lastError());
        }
        const int version = query.value(0).toInt();
        if (version > schemaVersion) {
            qCWarning(lcQuorvel) << "Queue database" << path << "of a later version" << version;
            return Failure::Later;
        }
        // A queue of version 1 gains the warning column; its jobs have none.
        const bool made = version == schemaVersion
            || ((version == 1
                     ? exec(query, u"ALTER TABLE jobs ADD COLUMN warning TEXT"_s)
                     : exec(query,
                            u"CREATE TABLE IF NOT EXISTS jobs (id INTEGER PRIMARY KEY "
                            "AUTOINCREMENT, position INTEGER NOT NULL, request TEXT NOT NULL, "
                            "title TEXT, picture TEXT, fetched TEXT, state TEXT, reason TEXT, "
                            "detail TEXT, percent REAL, files TEXT, destinations TEXT, begun "
                            "INTEGER, retries INTEGER, added TEXT, ended TEXT, warning TEXT)"_s))
                && exec(query, u"PRAGMA user_version = %1"_s.arg(schemaVersion)));
        return made && exec(query, u"COMMIT"_s) ? Failure::None : failureOf(query.lastError());
    };
    const Failure failure = schema();
    if (failure != Failure::None) {
        QSqlQuery(database).exec(u"ROLLBACK"_s);
    }
    return failure;
}

void JobStore::Private::putAside()
{
    const QString aside = asideName(path);
    if (!QFile::rename(path, aside)) {
        problem
            = storeText("La file d'attente enregistrée est illisible et n'a pas pu être mise de "
                        "côté. Les téléchargements de cette session ne seront pas conservés.");
        return;
    }
    // Its journal goes with it, under the name SQLite would look for.
    for (const QString &suffix : {u"-wal"_s, u"-shm"_s}) {
        if (QFileInfo::exists(path + suffix)) {
            QFile::rename(path + suffix, aside + suffix);
        }
    }
    qCWarning(lcQuorvel) << "Damaged queue database put aside as" << aside;
    problem
        = storeText("La file d'attente enregistrée est illisible ; elle a été mise de côté sous "
                    "%1. Les téléchargements de cette session ne seront pas conservés.")
              .arg(QDir::toNativeSeparators(aside));
}

JobStore::JobStore(const QString &path)
    : d(std::make_unique<Private>())
{
    static std::atomic<int> instances = 0;
    d->path = path;
    d->connectionName = u"quorvel-jobs-%1"_s.arg(++instances);
    const QFileInfo file(path);
    // A folder or a file that cannot be written is left exactly as it is: SQLite would
    // make its journal files beside it, or open it for reading only.
    Failure failure = Failure::Unwritable;
    if (QDir().mkpath(file.absolutePath()) && QFileInfo(file.absolutePath()).isWritable()
        && (!file.exists() || (file.isFile() && file.isWritable()))) {
        failure = d->openDatabase();
    }
    d->open = failure == Failure::None;
    if (d->open) {
        return;
    }
    d->database.close();
    switch (failure) {
    case Failure::Damaged:
        d->putAside();
        break;
    case Failure::Later:
        d->problem = storeText("La file d'attente enregistrée vient d'une version plus récente de "
                               "Quorvel. Les téléchargements de cette session ne seront pas "
                               "conservés.");
        break;
    case Failure::Busy:
        d->problem = storeText("La file d'attente enregistrée est utilisée par un autre programme. "
                               "Les téléchargements de cette session ne seront pas conservés.");
        break;
    default:
        d->problem = storeText("La file d'attente ne peut pas être enregistrée dans %1. "
                               "Les téléchargements de cette session ne seront pas conservés.")
                         .arg(QDir::toNativeSeparators(path));
        break;
    }
}

JobStore::~JobStore()
{
    // Qt removes a connection only once no handle of it is left.
    d->database.close();
    d->database = QSqlDatabase();
    if (QSqlDatabase::contains(d->connectionName)) {
        QSqlDatabase::removeDatabase(d->connectionName);
    }
}

QString JobStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u"/queue.sqlite"_s;
}

bool JobStore::isOpen() const
{
    return d->open;
}

QString JobStore::problem() const
{
    return d->problem;
}

QList<DownloadJob> JobStore::load()
{
    QList<DownloadJob> jobs;
    if (!d->open) {
        return jobs;
    }
    QSqlQuery query(d->database);
    query.setForwardOnly(true);
    if (!d->exec(query, u"SELECT * FROM jobs ORDER BY position, id"_s)) {
        return jobs;
    }
    while (query.next()) {
        if (std::optional<DownloadJob> job = jobFromRow(query)) {
            jobs << *job;
        } else {
            qCWarning(lcQuorvel) << "Queue database: job" << query.value(u"id"_s).toLongLong()
                                 << "has an unreadable request, skipped";
        }
    }
    return jobs;
}

bool JobStore::insert(DownloadJob &job)
{
    const bool stored = d->inTransaction([&](QSqlQuery &query) {
        QStringList columns;
        for (const char *column : jobColumns) {
            columns << QLatin1StringView(column);
        }
        query.prepare(u"INSERT INTO jobs (position, "_s + columns.join(u", "_s)
                      + u") VALUES ((SELECT COALESCE(MAX(position), 0) + 1 FROM jobs)"_s
                      + u", ?"_s.repeated(columns.size()) + u')');
        bindJob(query, job);
        if (!d->exec(query)) {
            return false;
        }
        job.id = query.lastInsertId().toLongLong();
        return true;
    });
    if (!stored) {
        job.id = d->nextMemoryId--;
    }
    return stored;
}

bool JobStore::save(const DownloadJob &job)
{
    // A job kept in memory only has no row; a removed one has none any more.
    int rows = 0;
    const bool saved = d->inTransaction([&](QSqlQuery &query) {
        QStringList columns;
        for (const char *column : jobColumns) {
            columns << QLatin1StringView(column) + u" = ?"_s;
        }
        query.prepare(u"UPDATE jobs SET "_s + columns.join(u", "_s) + u" WHERE id = ?"_s);
        bindJob(query, job);
        query.addBindValue(job.id);
        if (!d->exec(query)) {
            return false;
        }
        rows = query.numRowsAffected();
        return true;
    });
    return saved && rows == 1;
}

bool JobStore::remove(const QList<qint64> &ids)
{
    return d->inTransaction([&](QSqlQuery &query) {
        query.prepare(u"DELETE FROM jobs WHERE id = ?"_s);
        for (const qint64 id : ids) {
            query.bindValue(0, id);
            if (!d->exec(query)) {
                return false;
            }
        }
        return true;
    });
}

bool JobStore::setOrder(const QList<qint64> &ids)
{
    return d->inTransaction([&](QSqlQuery &query) {
        query.prepare(u"UPDATE jobs SET position = ? WHERE id = ?"_s);
        for (qsizetype position = 0; position < ids.size(); ++position) {
            query.bindValue(0, position + 1);
            query.bindValue(1, ids.at(position));
            if (!d->exec(query)) {
                return false;
            }
        }
        return true;
    });
}

QByteArray requestToJson(const DownloadRequest &request)
{
    // The tools' paths, the options, the list of final files and whether to carry on are
    // decided at each run; but the cookies, which the job keeps as it was made with them. Their
    // source only: names and paths, never a cookie.
    const CookieChoice &cookies = request.options.cookies;
    const QJsonObject object {
        {u"folder"_s, request.folder},
        {u"address"_s, request.address},
        {u"formatIDs"_s, QJsonArray::fromStringList(request.formatIDs)},
        {u"audio"_s, request.audio},
        {u"audioFormat"_s, request.audioFormat},
        {u"audioQuality"_s, request.audioQuality},
        {u"audioPreserveVideo"_s, int(request.audioPreserveVideo)},
        {u"mergeOutputFormat"_s, request.mergeOutputFormat},
        {u"formatSort"_s, request.formatSort},
        {u"note"_s, request.note},
        {u"naming"_s, namingId(request.naming)},
        {u"namePrefix"_s, request.namePrefix},
        {u"downloadArchive"_s, request.downloadArchive},
        {u"cookies"_s,
         QJsonObject {{u"source"_s, cookieSourceId(cookies.source)},
                      {u"browser"_s, cookies.browser},
                      {u"profile"_s, cookies.profile},
                      {u"file"_s, cookies.file}}},
        {u"subtitles"_s,
         QJsonObject {{u"languages"_s, QJsonArray::fromStringList(request.subtitles.languages)},
                      {u"regular"_s, request.subtitles.regular},
                      {u"automatic"_s, request.subtitles.automatic},
                      {u"embed"_s, request.subtitles.embed}}},
        {u"embed"_s,
         QJsonObject {{u"metadata"_s, request.embed.metadata},
                      {u"thumbnail"_s, request.embed.thumbnail},
                      {u"chapters"_s, request.embed.chapters}}},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<DownloadRequest> requestFromJson(const QByteArray &json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    const QJsonValue folder = object.value(u"folder"_s);
    const QJsonValue address = object.value(u"address"_s);
    if (!folder.isString() || !address.isString() || folder.toString().isEmpty()
        || address.toString().isEmpty()) {
        return std::nullopt;
    }
    DownloadRequest request;
    request.folder = folder.toString();
    request.address = address.toString();
    for (const QJsonValue &id : object.value(u"formatIDs"_s).toArray()) {
        if (id.isString()) {
            request.formatIDs << id.toString();
        }
    }
    request.audio = object.value(u"audio"_s).toBool();
    request.audioFormat = object.value(u"audioFormat"_s).toString();
    request.audioQuality = object.value(u"audioQuality"_s).toInt();
    request.audioPreserveVideo
        = ControlState(object.value(u"audioPreserveVideo"_s).toInt(int(ControlState::On)));
    request.mergeOutputFormat = object.value(u"mergeOutputFormat"_s).toString();
    request.formatSort = object.value(u"formatSort"_s).toString();
    request.note = object.value(u"note"_s).toString();
    request.naming = namingFromId(object.value(u"naming"_s).toString());
    request.namePrefix = object.value(u"namePrefix"_s).toString();
    request.downloadArchive = object.value(u"downloadArchive"_s).toString();
    // A row stored before the cookies has none: None.
    const QJsonObject cookies = object.value(u"cookies"_s).toObject();
    request.options.cookies
        = {cookieSourceFromId(cookies.value(u"source"_s).toString()),
           cookies.value(u"browser"_s).toString(), cookies.value(u"profile"_s).toString(),
           cookies.value(u"file"_s).toString()};
    // Rows stored before subtitles and embedding have neither.
    const QJsonObject subtitles = object.value(u"subtitles"_s).toObject();
    for (const QJsonValue &code : subtitles.value(u"languages"_s).toArray()) {
        // What the download runs with, and what names the .srt files beside the video.
        if (code.isString() && isSubtitleCode(code.toString())) {
            request.subtitles.languages << code.toString();
        }
    }
    request.subtitles.regular = subtitles.value(u"regular"_s).toBool();
    request.subtitles.automatic = subtitles.value(u"automatic"_s).toBool();
    request.subtitles.embed = subtitles.value(u"embed"_s).toBool();
    const QJsonObject embed = object.value(u"embed"_s).toObject();
    request.embed = {embed.value(u"metadata"_s).toBool(), embed.value(u"thumbnail"_s).toBool(),
                     embed.value(u"chapters"_s).toBool()};
    return request;
}
