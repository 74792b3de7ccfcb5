// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatListing.h"

#include <algorithm>

#include <QRegularExpression>

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

// Lines end at LF; a CR directly before it belongs to the line end, not to the line. Views
// of `text`: each line is copied only once it is read.
QList<QStringView> listingLines(QStringView text)
{
    QList<QStringView> lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QStringView &line : lines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
    }
    lines.removeIf([](QStringView line) { return line.isEmpty(); });
    return lines;
}

// The size, bit rate and language are read by hand, in one pass over the line: a pattern is
// tried again at every position, and each try may read on to the end of a long run of digits
// or blanks, which is quadratic over a long line (a note can be megabytes long). Digits,
// blanks and word characters are ASCII ones only.
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiBlank(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool isAsciiWord(QChar c)
{
    return isAsciiDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

// Whether `text` has a character at `index`, and one that `accepts`.
template<typename Predicate> bool hasAt(QStringView text, qsizetype index, Predicate accepts)
{
    return index >= 0 && index < text.size() && accepts(text[index]);
}

// Where the number that begins at `at` ends: its digits, then a fraction when a point and a
// digit follow them.
qsizetype numberEnd(QStringView text, qsizetype at)
{
    const auto digitsEnd = [text](qsizetype from) {
        while (hasAt(text, from, isAsciiDigit)) {
            ++from;
        }
        return from;
    };
    at = digitsEnd(at);
    return hasAt(text, at, [](QChar c) { return c == u'.'; }) && hasAt(text, at + 1, isAsciiDigit)
        ? digitsEnd(at + 1)
        : at;
}

// A column's value found in what is left of a line: [start, end) to remove, the value, and
// whether it is marked ("≈" before a size, "original" after a language).
struct Found
{
    qsizetype start = 0;
    qsizetype end = 0;
    QStringView value;
    bool marked = false;
};

// The first file size: a number, maybe a blank, maybe K, M, G or T, maybe "i", then "B" at
// the end of a word ("3.28MiB", "120 KiB", "7B"); with the blanks before it, and the "≈" or
// "~" before those, which make it approximate.
std::optional<Found> findSize(QStringView text)
{
    const auto isUnitPrefix
        = [](QChar c) { return c == u'K' || c == u'M' || c == u'G' || c == u'T'; };
    for (qsizetype begin = 0; begin < text.size(); ++begin) {
        // A number is read from its first digit: from a later one, it would end alike.
        if (!isAsciiDigit(text[begin]) || hasAt(text, begin - 1, isAsciiDigit)) {
            continue;
        }
        qsizetype end = numberEnd(text, begin);
        end += hasAt(text, end, isAsciiBlank) ? 1 : 0;
        end += hasAt(text, end, isUnitPrefix) ? 1 : 0;
        end += hasAt(text, end, [](QChar c) { return c == u'i'; }) ? 1 : 0;
        if (!hasAt(text, end, [](QChar c) { return c == u'B'; })
            || hasAt(text, end + 1, isAsciiWord)) {
            continue;
        }
        Found size {begin, end + 1, text.sliced(begin, end + 1 - begin)};
        while (hasAt(text, size.start - 1, isAsciiBlank)) {
            --size.start;
        }
        size.marked = hasAt(text, size.start - 1, [](QChar c) { return c == u'≈' || c == u'~'; });
        size.start -= size.marked ? 1 : 0;
        return size;
    }
    return std::nullopt;
}

// The first bit rate: a number that no word character, point or "@" precedes, then "k" at
// the end of a word ("130k", "4.5k"); the value is the number.
std::optional<Found> findBitRate(QStringView text)
{
    const auto mayPrecede = [](QChar c) { return !isAsciiWord(c) && c != u'.' && c != u'@'; };
    for (qsizetype begin = 0; begin < text.size(); ++begin) {
        if (!isAsciiDigit(text[begin]) || (begin > 0 && !mayPrecede(text[begin - 1]))) {
            continue;
        }
        const qsizetype end = numberEnd(text, begin);
        if (hasAt(text, end, [](QChar c) { return c == u'k'; })
            && !hasAt(text, end + 1, isAsciiWord)) {
            return Found {begin, end + 1, text.sliced(begin, end - begin)};
        }
    }
    return std::nullopt;
}

// The first language tag between square brackets: two or three letters, then parts of two to
// eight letters or digits, each after a hyphen ("[en]", "[en-US]"); "original" after it,
// past blanks, marks the video's own language.
std::optional<Found> findLanguage(QStringView text)
{
    const auto isTagCharacter = [](QChar c) { return c == u'-' || (isAsciiWord(c) && c != u'_'); };
    const auto isLetters
        = [](QStringView part) { return std::none_of(part.cbegin(), part.cend(), isAsciiDigit); };
    for (qsizetype open = 0; open < text.size(); ++open) {
        if (text[open] != u'[') {
            continue;
        }
        qsizetype close = open + 1;
        while (hasAt(text, close, isTagCharacter)) {
            ++close;
        }
        if (!hasAt(text, close, [](QChar c) { return c == u']'; })) {
            continue;
        }
        const QStringView tag = text.sliced(open + 1, close - open - 1);
        bool valid = true;
        bool first = true;
        for (const QStringView part : tag.tokenize(u'-')) {
            valid = valid && part.size() >= 2 && part.size() <= (first ? 3 : 8)
                && (!first || isLetters(part));
            first = false;
        }
        if (!valid) {
            continue;
        }
        Found language {open, close + 1, tag};
        qsizetype after = close + 1;
        while (hasAt(text, after, isAsciiBlank)) {
            ++after;
        }
        language.marked = after > close + 1 && text.sliced(after).startsWith(u"original");
        language.end = language.marked ? after + 8 : language.end;
        return language;
    }
    return std::nullopt;
}

// Blanks out the table's column separators and the words of its kind column, in one pass: a
// note can be megabytes long. The note is simplified afterwards, so a blank per character
// is as good as one for the whole word.
void blankSeparators(QString &text)
{
    static constexpr qsizetype kindSize = 10;
    QChar *const chars = text.data();
    const qsizetype size = text.size();
    for (qsizetype at = 0; at < size; ++at) {
        if (chars[at] == u'|' || chars[at] == u'│') {
            chars[at] = u' ';
            continue;
        }
        const QStringView from(chars + at, size - at);
        if ((chars[at] == u'a' || chars[at] == u'v') && (at == 0 || !isAsciiWord(chars[at - 1]))
            && (from.startsWith(u"audio only") || from.startsWith(u"video only"))
            && (from.size() == kindSize || !isAsciiWord(from[kindSize]))) {
            std::fill_n(chars + at, kindSize, u' ');
            at += kindSize - 1;
        }
    }
}

// The columns that the table shows beside the four of the line rule: the kind, the size,
// the bit rate and the language, read alike from both layouts of the downloader's table.
void readDetails(formatYoutube &format, const QString &line)
{
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
    if (const auto size = findSize(rest)) {
        format.fileSize = size->value.toString().remove(u' ');
        format.fileSizeApproximate = size->marked;
        rest.remove(size->start, size->end - size->start);
    }
    if (const auto bitRate = findBitRate(rest)) {
        format.bitRate = bitRate->value.toDouble();
        rest.remove(bitRate->start, bitRate->end - bitRate->start);
    }
    if (const auto language = findLanguage(rest)) {
        format.language
            = language->value.toString() + (language->marked ? u" (original)"_s : QString());
        rest.remove(language->start, language->end - language->start);
    }
    blankSeparators(rest);
    // Without the commas and blanks that the removed columns leave at either end.
    const QString simplified = rest.simplified();
    const auto isEdge = [](QChar c) { return c == u',' || c.isSpace(); };
    const auto first = std::find_if_not(simplified.cbegin(), simplified.cend(), isEdge);
    const auto last = std::find_if_not(simplified.crbegin(), simplified.crend(), isEdge).base();
    format.note = first < last ? QStringView(first, last).toString() : QString();
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
bool isTableHead(QStringView line)
{
    return (line.startsWith(u"ID ") && line.contains(u" EXT ")) || line.startsWith(u"format code");
}

// A line of the table after its head: whatever the code's first character, but no rule
// line, no message ("[info] ...", "WARNING: ..."), no storyboard, which is no format to
// download, and not the video's description that "-J" writes after the table.
std::optional<formatYoutube> parseTableLine(const QString &line)
{
    const QString code = codePattern().match(line).captured(0);
    if (code.isEmpty() || code.startsWith(u'[') || code.endsWith(u':') || code.startsWith(u'-')
        || code.startsWith(u'─') || code.startsWith(u'{')) {
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

QList<formatYoutube> parseFormatListing(const QByteArray &output,
                                        const std::function<bool()> &interrupted)
{
    const QString text = QString::fromUtf8(output);
    const QList<QStringView> lines = listingLines(text);
    // Lines before the table's head are messages, never formats; without a head, the line
    // rule alone decides.
    const auto head = std::find_if(lines.cbegin(), lines.cend(), isTableHead);
    QList<formatYoutube> formats;
    for (auto line = head == lines.cend() ? lines.cbegin() : head + 1; line != lines.cend();
         ++line) {
        if (interrupted && interrupted()) {
            break;
        }
        if (isTableHead(*line)) {
            continue;
        }
        const QString read = line->toString();
        if (auto format = head == lines.cend() ? parseFormatLine(read) : parseTableLine(read)) {
            formats.append(std::move(*format));
        }
    }
    return formats;
}

QString lastErrorLine(const QByteArray &output)
{
    static constexpr QStringView prefix = u"ERROR:";
    const QString text = QString::fromUtf8(output);
    const QList<QStringView> lines = listingLines(text);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith(prefix)) {
            return it->sliced(prefix.size()).trimmed().toString();
        }
    }
    return {};
}
