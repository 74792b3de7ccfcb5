// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
// Placeholder until the SQLite store lands: a store that keeps nothing.
#include "download/JobStore.h"

struct JobStore::Private
{
    qint64 nextId = 1;
};

JobStore::JobStore(const QString &)
    : d(new Private)
{
}

JobStore::~JobStore()
{
    delete d;
}

QString JobStore::defaultPath()
{
    return {};
}

bool JobStore::isOpen() const
{
    return false;
}

QString JobStore::problem() const
{
    return {};
}

QList<DownloadJob> JobStore::load()
{
    return {};
}

bool JobStore::insert(DownloadJob &job)
{
    job.id = d->nextId++;
    return false;
}

bool JobStore::save(const DownloadJob &)
{
    return false;
}

bool JobStore::remove(const QList<qint64> &)
{
    return false;
}

bool JobStore::setOrder(const QList<qint64> &)
{
    return false;
}

QByteArray requestToJson(const DownloadRequest &)
{
    return {};
}

std::optional<DownloadRequest> requestFromJson(const QByteArray &)
{
    return std::nullopt;
}
