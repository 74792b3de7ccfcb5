// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/ListDownload.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr qsizetype nameLimit = 100;
} // namespace

QString restrictedFileName(const QString &text)
{
    // The compatibility decomposition parts "é" into "e" and its accent, "ﬁ" into "fi".
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString name;
    for (const QChar c : decomposed) {
        const bool kept = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
            || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' || c == u'.';
        if (kept) {
            name += c;
        } else if (c.isSpace() && !name.endsWith(u'_')) {
            name += u'_';
        }
    }
    // A leading "." would hide the folder, or make it "." or "..".
    while (name.startsWith(u'.') || name.startsWith(u'_')) {
        name.remove(0, 1);
    }
    name.truncate(nameLimit);
    while (name.endsWith(u'_')) {
        name.chop(1);
    }
    return name.isEmpty() ? u"liste"_s : name;
}

QString entryNamePrefix(int index, int count)
{
    const int width = static_cast<int>(QString::number(std::max(index, count)).size());
    return u"%1-"_s.arg(index, width, 10, QChar(u'0'));
}

QList<DownloadRequest> makeListRequests(const DownloadChoice &choice, const QString &listTitle,
                                        const QList<PlaylistEntry> &entries, int count)
{
    // An index beyond the announced count (a list that grew meanwhile) widens every prefix,
    // so that the files still sort in the list's order.
    int widest = count;
    for (const PlaylistEntry &entry : entries) {
        widest = std::max(widest, entry.index);
    }
    DownloadChoice each = choice;
    each.mode = DownloadMode::Plain;
    each.ticked.clear();
    each.listed.clear();
    each.mergeContainer.clear();
    if (each.quality == QualityChoice::Ticked) {
        each.quality = QualityChoice::Best;
    }
    each.folder = folderWithSlash(choice.folder) + restrictedFileName(listTitle);
    QList<DownloadRequest> requests;
    for (const PlaylistEntry &entry : entries) {
        if (entry.url.isEmpty()) {
            continue;
        }
        each.address = entry.url.toString();
        DownloadRequest request = makeDownloadRequest(each);
        request.namePrefix = entryNamePrefix(entry.index, widest);
        requests << request;
    }
    return requests;
}
