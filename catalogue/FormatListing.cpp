// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatListing.h"

#include <algorithm>

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr auto unicodeOptions = QRegularExpression::UseUnicodePropertiesOption;

// A format code: the whole first column, up to the first white space.
const QRegularExpression &codePattern()
{
    static const QRegularExpression pattern(u"^[^\\p{White_Space}]+"_s, unicodeOptions);
    return pattern;
}

// One white-space character, one to four word characters, one white-space character. Both
// classes spell out ICU's own definitions: PCRE2's \s also takes U+180E (no longer white
// space since Unicode 6.3), and its \w lacks the combining marks and connector punctuation.
const QRegularExpression &codecPattern()
{
    static const QRegularExpression pattern(
        u"\\p{White_Space}([\\p{Alphabetic}\\p{M}\\p{Nd}\\p{Pc}\\x{200C}\\x{200D}]{1,4})"
        u"\\p{White_Space}"_s,
        unicodeOptions);
    return pattern;
}

const QRegularExpression &dimensionPattern()
{
    static const QRegularExpression pattern(u"([0-9]{1,4})x([0-9]{1,4})"_s, unicodeOptions);
    return pattern;
}

// Lines end at LF; a CR directly before it belongs to the line end, not to the line.
QStringList listingLines(const QByteArray &output)
{
    const QString text = QString::fromUtf8(output);
    QStringList lines;
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (!line.isEmpty()) {
            lines.append(line.toString());
        }
    }
    return lines;
}

// The columns that the table shows beside the four of the line rule: the kind, the size,
// the bit rate and the language, read alike from both layouts of the downloader's table.
void readDetails(formatYoutube &format, const QString &line)
{
    static const QRegularExpression size(u"(≈|~)?\\s*(\\d+(?:\\.\\d+)?\\s?[KMGT]?i?B)\\b"_s);
    static const QRegularExpression bitRate(u"(?<![\\w.@])(\\d+(?:\\.\\d+)?)k(?!\\w)"_s);
    static const QRegularExpression language(
        u"\\[([A-Za-z]{2,3}(?:-[A-Za-z0-9]{2,8})*)\\](\\s+original)?"_s);
    static const QRegularExpression separators(u"[|│]|\\baudio only\\b|\\bvideo only\\b"_s);
    // What is left of the line after its code and codec word, for the note.
    QString rest = line.sliced(format.formatID.size());
    for (const QString &shown : {format.codec, format.dimension}) {
        if (const qsizetype at = rest.indexOf(shown); !shown.isEmpty() && at >= 0) {
            rest.replace(at, shown.size(), u" "_s);
        }
    }
    format.kind = line.contains(u"audio only"_s) ? FormatKind::AudioOnly
        : line.contains(u"video only"_s)         ? FormatKind::VideoOnly
                                                 : FormatKind::VideoAndAudio;
    for (const QRegularExpression *pattern : {&size, &bitRate, &language}) {
        const QRegularExpressionMatch match = pattern->match(rest);
        if (!match.hasMatch()) {
            continue;
        }
        if (pattern == &size) {
            format.fileSize = match.captured(2).remove(u' ');
            format.fileSizeApproximate = match.hasCaptured(1);
        } else if (pattern == &bitRate) {
            format.bitRate = match.captured(1).toDouble();
        } else {
            format.language
                = match.captured(1) + (match.hasCaptured(2) ? u" (original)"_s : QString());
        }
        rest.remove(match.capturedStart(), match.capturedLength());
    }
    format.note = rest.replace(separators, u" "_s).simplified();
    while (format.note.startsWith(u',') || format.note.endsWith(u',')) {
        format.note = format.note.startsWith(u',') ? format.note.sliced(1).trimmed()
                                                   : format.note.chopped(1).trimmed();
    }
}

// A line of the table, read by the line rule; the code is its whole first column.
formatYoutube readRecord(const QString &line)
{
    formatYoutube format;
    format.formatID = codePattern().match(line).captured(0);
    format.codec = codecPattern().match(line).captured(0);
    format.dimension = dimensionPattern().match(line).captured(0);
    // An empty size is never found, so a line without one keeps an empty note.
    if (!format.dimension.isEmpty()) {
        const qsizetype at = line.indexOf(format.dimension);
        format.info = line.mid(at + format.dimension.size()).trimmed();
    }
    readDetails(format, line);
    return format;
}

// The head line of the downloader's table: "ID  EXT  RESOLUTION ..." today, "format code
// extension  resolution note" in older versions.
bool isTableHead(const QString &line)
{
    return (line.startsWith(u"ID "_s) && line.contains(u" EXT "_s))
        || line.startsWith(u"format code"_s);
}

// A line of the table after its head: whatever the code's first character, but no rule
// line, no message ("[info] ...", "WARNING: ...") and no storyboard, which is no format
// to download.
std::optional<formatYoutube> parseTableLine(const QString &line)
{
    const QString code = codePattern().match(line).captured(0);
    if (code.isEmpty() || code.startsWith(u'[') || code.endsWith(u':') || code.startsWith(u'-')
        || code.startsWith(u'─')) {
        return std::nullopt;
    }
    formatYoutube format = readRecord(line);
    if (line.contains(u" mhtml "_s) && line.contains(u"storyboard"_s)) {
        return std::nullopt;
    }
    return format;
}

} // namespace

std::optional<formatYoutube> parseFormatLine(const QString &line)
{
    if (line.isEmpty() || line.front() < u'0' || line.front() > u'9') {
        return std::nullopt;
    }
    return readRecord(line);
}

QList<formatYoutube> parseFormatListing(const QByteArray &output)
{
    const QStringList lines = listingLines(output);
    // Lines before the table's head are messages, never formats; without a head, the line
    // rule alone decides.
    const auto head = std::find_if(lines.cbegin(), lines.cend(), isTableHead);
    QList<formatYoutube> formats;
    for (auto line = head == lines.cend() ? lines.cbegin() : head + 1; line != lines.cend();
         ++line) {
        if (isTableHead(*line)) {
            continue;
        }
        if (auto format = head == lines.cend() ? parseFormatLine(*line) : parseTableLine(*line)) {
            formats.append(std::move(*format));
        }
    }
    return formats;
}

QString lastErrorLine(const QByteArray &output)
{
    static constexpr QStringView prefix = u"ERROR:";
    const QStringList lines = listingLines(output);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith(prefix)) {
            return QStringView(*it).sliced(prefix.size()).trimmed().toString();
        }
    }
    return {};
}
