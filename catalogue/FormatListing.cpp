// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatListing.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr auto unicodeOptions = QRegularExpression::UseUnicodePropertiesOption;

const QRegularExpression &codePattern()
{
    static const QRegularExpression pattern(u"^[0-9]{1,3}"_s, unicodeOptions);
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

} // namespace

std::optional<formatYoutube> parseFormatLine(const QString &line)
{
    const QRegularExpressionMatch code = codePattern().match(line);
    if (!code.hasMatch()) {
        return std::nullopt;
    }
    formatYoutube format;
    format.formatID = code.captured(0);
    format.codec = codecPattern().match(line).captured(0);
    format.dimension = dimensionPattern().match(line).captured(0);
    // An empty size is never found, so a line without one keeps an empty note.
    if (!format.dimension.isEmpty()) {
        const qsizetype at = line.indexOf(format.dimension);
        format.info = line.mid(at + format.dimension.size()).trimmed();
    }
    return format;
}

QList<formatYoutube> parseFormatListing(const QByteArray &output)
{
    QList<formatYoutube> formats;
    for (const QString &line : listingLines(output)) {
        if (auto format = parseFormatLine(line)) {
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
