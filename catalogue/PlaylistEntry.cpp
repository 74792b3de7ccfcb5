// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/PlaylistEntry.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrlQuery>

#include "catalogue/VideoDescriptionParser.h"

using namespace Qt::StringLiterals;

namespace {
// The first of the keys that holds a text; the downloader writes null for what it does not
// know, and a value of another type counts as absent.
QString firstText(const QJsonObject &object, std::initializer_list<QLatin1StringView> keys)
{
    for (const QLatin1StringView key : keys) {
        if (const QJsonValue value = object.value(key); value.isString()) {
            return value.toString();
        }
    }
    return {};
}
} // namespace

std::optional<PlaylistEntry> parsePlaylistEntry(QByteArrayView line, int order)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    PlaylistEntry entry;
    entry.url = webAddress(firstText(object, {"url"_L1}));
    if (entry.url.isEmpty()) {
        entry.url = webAddress(firstText(object, {"webpage_url"_L1}));
    }
    if (entry.url.isEmpty()) {
        return std::nullopt;
    }
    const int index = object.value("playlist_index"_L1).toInt(0);
    entry.index = index > 0 ? index : order;
    entry.id = firstText(object, {"id"_L1});
    entry.title = firstText(object, {"title"_L1});
    if (const QJsonValue duration = object.value("duration"_L1);
        duration.isDouble() && duration.toDouble() >= 0) {
        entry.duration = duration.toDouble();
    }
    entry.channel = firstText(object, {"channel"_L1, "uploader"_L1});
    entry.listTitle = firstText(object, {"playlist_title"_L1, "playlist"_L1});
    entry.listId = firstText(object, {"playlist_id"_L1});
    return entry;
}

bool addressNamesAList(const QUrl &address)
{
    if (QUrlQuery(address).hasQueryItem(u"list"_s)) {
        return true;
    }
    const QString path = address.path();
    return path == u"/playlist"_s || path.startsWith(u"/playlist/"_s)
        || path.startsWith(u"/channel/"_s) || path.startsWith(u"/@"_s) || path.startsWith(u"/c/"_s)
        || path.startsWith(u"/user/"_s);
}
