// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadOutputMonitor.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include <QByteArrayView>

#include "tools/FailureExplanation.h"

namespace {
constexpr QByteArrayView destinationMarker("[download] Destination: ");
constexpr QByteArrayView extractionMarker("[ExtractAudio] Destination: ");
constexpr QByteArrayView mergeMarker("[Merger] Merging formats into \"");
constexpr QByteArrayView progressMarker("[download] ");
constexpr QByteArrayView errorPrefix("ERROR:");
constexpr QByteArrayView presentSuffix(" has already been downloaded");
constexpr QByteArrayView deletedMarker("Deleting original file ");
constexpr QByteArrayView deletedSuffix(" (pass -k to keep)");
constexpr QByteArrayView formatsMarker(" format(s): ");
constexpr QByteArrayView warningPrefix("WARNING:");
constexpr QByteArrayView subtitlesMarker("Unable to download video subtitles for '");
constexpr QByteArrayView subtitlesEnd("': ");
// Only the start of a longer line is examined (a destination is a path, a few KiB at
// most), so that a downloader writing without line ends costs no memory.
constexpr qsizetype lineLimit = 64 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// std::string_view's search (memchr for the first byte) is the fastest at hand for the
// short markers looked for in every line.
qsizetype find(QByteArrayView text, QByteArrayView marker)
{
    const auto position
        = std::string_view(text.data(), static_cast<size_t>(text.size()))
              .find(std::string_view(marker.data(), static_cast<size_t>(marker.size())));
    return position == std::string_view::npos ? -1 : static_cast<qsizetype>(position);
}

qsizetype skipBlanks(QByteArrayView text, qsizetype position)
{
    while (position < text.size() && isBlank(text.at(position))) {
        ++position;
    }
    return position;
}

qsizetype skipDigits(QByteArrayView text, qsizetype position)
{
    while (position < text.size() && isDigit(text.at(position))) {
        ++position;
    }
    return position;
}

// The number that opens `text` when it is digits, optionally '.' and digits, directly
// followed by '%'. Anything else (a file name with digits, "12:34") gives nothing.
std::optional<double> leadingPercentage(QByteArrayView text)
{
    qsizetype end = skipDigits(text, 0);
    if (end == 0) {
        return std::nullopt;
    }
    if (end < text.size() && text.at(end) == '.') {
        const qsizetype fractionEnd = skipDigits(text, end + 1);
        if (fractionEnd == end + 1) {
            return std::nullopt;
        }
        end = fractionEnd;
    }
    if (end >= text.size() || text.at(end) != '%') {
        return std::nullopt;
    }
    bool ok = false;
    const double value = text.first(end).toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}
// The word after `marker` in `text` ("1.23MiB/s" after " at "), unless the downloader does
// not know it ("Unknown").
QByteArray wordAfter(QByteArrayView text, QByteArrayView marker)
{
    const qsizetype at = find(text, marker);
    if (at < 0) {
        return {};
    }
    const qsizetype start = skipBlanks(text, at + marker.size());
    qsizetype end = start;
    while (end < text.size() && !isBlank(text.at(end))) {
        ++end;
    }
    const QByteArrayView word = text.sliced(start, end - start);
    return word.startsWith("Unknown") ? QByteArray() : word.toByteArray();
}

// "137+140, 18": the files that these formats fetch, one per part.
int fileCount(QByteArrayView formats)
{
    return static_cast<int>(formats.count(',') + formats.count('+')) + 1;
}
} // namespace

DownloadOutputMonitor::DownloadOutputMonitor(QObject *parent)
    : QObject(parent)
{
}

void DownloadOutputMonitor::feed(const QByteArray &chunk)
{
    const char *data = chunk.constData();
    const qsizetype size = chunk.size();
    qsizetype position = 0;
    const auto keep = [this](const char *from, qsizetype count) {
        m_pending.append(from, std::min(count, lineLimit - m_pending.size()));
    };
    // A CR that ended the previous chunk already ended its line; an LF right after it
    // belongs to the same line end.
    if (m_pendingCarriageReturn && size > 0) {
        m_pendingCarriageReturn = false;
        if (data[0] == '\n') {
            position = 1;
        }
    }

    qsizetype lineStart = position;
    while (position < size) {
        const char c = data[position];
        if (c != '\n' && c != '\r') {
            ++position;
            continue;
        }
        const qsizetype lineEnd = position;
        ++position;
        if (c == '\r') {
            if (position == size) {
                m_pendingCarriageReturn = true;
            } else if (data[position] == '\n') {
                ++position;
            }
        }
        if (m_pending.isEmpty()) {
            // Raw data: no copy of the chunk for each line.
            examineLine(QByteArray::fromRawData(data + lineStart,
                                                std::min(lineEnd - lineStart, lineLimit)));
        } else {
            keep(data + lineStart, lineEnd - lineStart);
            examineLine(std::exchange(m_pending, QByteArray()));
        }
        lineStart = position;
    }
    keep(data + lineStart, size - lineStart);
}

void DownloadOutputMonitor::finish()
{
    m_pendingCarriageReturn = false;
    if (!m_pending.isEmpty()) {
        examineLine(std::exchange(m_pending, QByteArray()));
    }
}

void DownloadOutputMonitor::examineLine(const QByteArray &line)
{
    if (line.isEmpty()) {
        return;
    }
    // The markers are ASCII, so they are found in the bytes. Paths are handed on as bytes;
    // an error text is decoded, and as UTF-8 resynchronises at every ASCII byte, decoding
    // the rest of a line gives the same characters as decoding the whole line would.
    const QByteArrayView view(line);
    const bool error = view.startsWith(errorPrefix);
    if (error || view.startsWith(warningPrefix)) {
        const qsizetype start = skipBlanks(view, error ? errorPrefix.size() : warningPrefix.size());
        const QByteArrayView said = view.sliced(start);
        // Told to ignore errors, the downloader goes on without these subtitles.
        if (said.startsWith(subtitlesMarker)) {
            const QByteArrayView rest = said.sliced(subtitlesMarker.size());
            if (const qsizetype end = find(rest, subtitlesEnd); end > 0) {
                emit subtitlesMissed(QString::fromUtf8(rest.first(end)),
                                     QString::fromUtf8(rest.sliced(end + subtitlesEnd.size())));
            }
        }
        if (error) {
            emit errorReported(QString::fromUtf8(said));
            return;
        }
    }
    // A downloader that fails before it can say "ERROR:" (a browser's cookies it cannot
    // read) ends with Python's traceback, whose last line tells why.
    if (isTracebackEnd(view)) {
        emit errorReported(QString::fromUtf8(view));
        return;
    }
    const qsizetype destination = find(view, destinationMarker);
    if (destination >= 0) {
        emit destinationAnnounced(line.sliced(destination + destinationMarker.size()));
        return;
    }
    if (view.startsWith(progressMarker) && view.endsWith(presentSuffix)) {
        emit fileAlreadyPresent(line.sliced(progressMarker.size()).chopped(presentSuffix.size()));
        return;
    }
    if (const qsizetype deleted = find(view, deletedMarker);
        deleted >= 0 && view.endsWith(deletedSuffix)) {
        const qsizetype start = deleted + deletedMarker.size();
        emit originalDeleted(line.sliced(start, line.size() - start - deletedSuffix.size()));
        return;
    }
    if (view.startsWith("[info] ")) {
        if (const qsizetype formats = find(view, formatsMarker); formats >= 0) {
            emit filesAnnounced(fileCount(view.sliced(formats + formatsMarker.size())));
        }
        return;
    }
    if (view.startsWith(extractionMarker)) {
        emit conversionAnnounced(line.sliced(extractionMarker.size()));
        return;
    }
    // The path lies between the marker's quote and the line's last one.
    if (view.startsWith(mergeMarker) && view.size() > mergeMarker.size() && view.endsWith('"')) {
        emit conversionAnnounced(line.sliced(mergeMarker.size()).chopped(1));
        return;
    }
    const qsizetype progress = find(view, progressMarker);
    if (progress >= 0) {
        const qsizetype start = skipBlanks(view, progress + progressMarker.size());
        if (const auto percent = leadingPercentage(view.sliced(start))) {
            emit progressChanged({*percent, wordAfter(view, " at "), wordAfter(view, " ETA ")});
        }
    }
}
