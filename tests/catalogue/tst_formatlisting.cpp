// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QFile>
#include <QTest>

#include "catalogue/FormatListing.h"

using namespace Qt::StringLiterals;

namespace {

// One record as one readable text, so that a failed comparison shows every field.
QString describe(const formatYoutube &format)
{
    return u"[%1][%2][%3][%4]"_s.arg(format.formatID, format.codec, format.dimension, format.info);
}

QStringList describe(const QList<formatYoutube> &formats)
{
    QStringList texts;
    for (const formatYoutube &format : formats) {
        texts.append(describe(format));
    }
    return texts;
}

QString record(const QString &id, const QString &codec = {}, const QString &dimension = {},
               const QString &info = {})
{
    return describe(formatYoutube {id, codec, dimension, info});
}

QByteArray readTestData(const QString &name)
{
    QFile file(QStringLiteral(QUORVEL_TEST_DATA_DIR) + u'/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_FormatListing final : public QObject
{
    Q_OBJECT

private slots:
    void lineRule_data();
    void lineRule();
    void recordedListings_data();
    void recordedListings();
    void wholeListing_data();
    void wholeListing();
    void errorLine_data();
    void errorLine();
};

void tst_FormatListing::lineRule_data()
{
    QTest::addColumn<QString>("line");
    // Empty: the line is no format line.
    QTest::addColumn<QString>("expected");

    QTest::newRow("code, codec, size and note")
        << u"18          mp4        640x360    360p, 25fps"_s
        << record(u"18"_s, u" mp4 "_s, u"640x360"_s, u"360p, 25fps"_s);
    QTest::newRow("audio without size")
        << u"140         m4a        audio only DASH audio  129k , m4a_dash"_s
        << record(u"140"_s, u" m4a "_s);
    QTest::newRow("four-digit code and single spaces")
        << u"1234 webm 1920x1080"_s << record(u"123"_s, u" webm "_s, u"1920x1080"_s);
    QTest::newRow("five-letter second column passes to the next short word")
        << u"249 mhtml audio only tiny"_s << record(u"249"_s, u" only "_s);
    QTest::newRow("five-letter second column and no other short word")
        << u"313 mhtml 3840x2160"_s << record(u"313"_s, {}, u"3840x2160"_s);
    QTest::newRow("capital X is no size")
        << u"22 mp4 1280X720 720p"_s << record(u"22"_s, u" mp4 "_s);
    QTest::newRow("code only") << u"137"_s << record(u"137"_s);
    QTest::newRow("codec word at the end of the line needs a blank after it")
        << u"140 m4a"_s << record(u"140"_s);
    QTest::newRow("code glued to the next word")
        << u"18mp4 640x360"_s << record(u"18"_s, {}, u"640x360"_s);
    QTest::newRow("size with five digits keeps four")
        << u"18 mp4 12345x678 note"_s << record(u"18"_s, u" mp4 "_s, u"2345x678"_s, u"note"_s);
    QTest::newRow("note after the first occurrence of the size")
        << u"22 mp4 1280x720 upscaled from 1280x720"_s
        << record(u"22"_s, u" mp4 "_s, u"1280x720"_s, u"upscaled from 1280x720"_s);
    QTest::newRow("note trimmed, inner spacing kept")
        << u"18 mp4 640x360 \t 360p   25fps \r"_s
        << record(u"18"_s, u" mp4 "_s, u"640x360"_s, u"360p   25fps"_s);

    QTest::newRow("begins with a letter")
        << u"format code  extension  resolution note"_s << QString();
    QTest::newRow("storyboard line") << u"sb2 mhtml 48x27        0    │  mhtml"_s << QString();
    QTest::newRow("begins with a bracket") << u"[info] Available formats for 18"_s << QString();
    QTest::newRow("begins with a space") << u" 18 mp4 640x360"_s << QString();
    QTest::newRow("begins with a tab") << u"\t18 mp4 640x360"_s << QString();
    QTest::newRow("non-ASCII digits") << u"١٢٣ mp4 640x360"_s << QString();
    QTest::newRow("empty line") << QString() << QString();

    QTest::newRow("non-ASCII note")
        << u"18  mp4   640x360 │ vidéo — 日本語 🎬"_s
        << record(u"18"_s, u" mp4 "_s, u"640x360"_s, u"│ vidéo — 日本語 🎬"_s);
    QTest::newRow("non-ASCII codec word")
        << u"18 vidé 640x360"_s << record(u"18"_s, u" vidé "_s, u"640x360"_s);
    QTest::newRow("combining mark is a word character")
        << u"18 ve\u0301o 640x360"_s << record(u"18"_s, u" ve\u0301o "_s, u"640x360"_s);
    QTest::newRow("word length counts characters, not UTF-16 units")
        << u"18 𝐚𝐛𝐜𝐝 640x360"_s << record(u"18"_s, u" 𝐚𝐛𝐜𝐝 "_s, u"640x360"_s);
    QTest::newRow("superscript digit is no word character")
        << u"18 mp4² 640x360"_s << record(u"18"_s, {}, u"640x360"_s);
    QTest::newRow("tabs") << u"22\tmp4\t1280x720\t720p"_s
                          << record(u"22"_s, u"\tmp4\t"_s, u"1280x720"_s, u"720p"_s);
    QTest::newRow("no-break spaces")
        << u"251\u00A0webm\u00A0audio"_s << record(u"251"_s, u"\u00A0webm\u00A0"_s);
    QTest::newRow("ideographic spaces")
        << u"18\u3000mp4\u3000640x360\u3000note\u3000"_s
        << record(u"18"_s, u"\u3000mp4\u3000"_s, u"640x360"_s, u"note"_s);
}

void tst_FormatListing::lineRule()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);

    const std::optional<formatYoutube> format = parseFormatLine(line);
    QCOMPARE(format ? describe(*format) : QString(), expected);
    if (format) {
        QCOMPARE(format->isChecked, ControlState::Off);
    }
}

void tst_FormatListing::recordedListings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("current downloader, local DASH presentation")
        << u"listing-ytdlp-dash-fixture.txt"_s
        << QStringList {
               record(u"140"_s, u" m4a "_s),
               record(u"137"_s, u" mp4 "_s, u"320x240"_s,
                      u"| 132k dash  | avc1.42c00d 132k video only         DASH video, mp4_dash"_s),
           };
    QTest::newRow("current downloader, wide table with box-drawing separators")
        << u"listing-ytdlp-youtube-box.txt"_s
        << QStringList {
               record(u"139"_s, u" m4a "_s),
               record(u"251"_s, u" webm "_s),
               record(
                   u"17"_s, u" 3gp "_s, u"176x144"_s,
                   u"12 1 │  55.38KiB    46k https │ mp4v.20.3       46k mp4a.40.2    0k 22k 144p"_s),
               record(
                   u"22"_s, u" mp4 "_s, u"1280x720"_s,
                   u"30 2 │ ~  1.38MiB 1159k https │ avc1.64001F   1159k mp4a.40.2    0k 44k 720p"_s),
           };
    QTest::newRow("older downloader, space-separated columns")
        << u"listing-youtube-dl-columns.txt"_s
        << QStringList {
               record(u"249"_s, u" webm "_s),
               record(u"140"_s, u" m4a "_s),
               record(u"160"_s, u" mp4 "_s, u"256x144"_s,
                      u"144p   64k , avc1.4d400c, 30fps, video only, 29.46KiB"_s),
               record(u"137"_s, u" mp4 "_s, u"1920x1080"_s,
                      u"1080p 2362k , avc1.640028, 30fps, video only, 1.01MiB"_s),
               record(u"43"_s, u" webm "_s, u"640x360"_s,
                      u"360p , vp8.0, vorbis@128k, 356.84KiB"_s),
               record(u"18"_s, u" mp4 "_s, u"640x360"_s,
                      u"360p  443k , avc1.42001E, mp4a.40.2@ 96k (44100Hz), 165.49KiB (best)"_s),
           };
    QTest::newRow("error from the server") << u"listing-ytdlp-http-404.txt"_s << QStringList();
}

void tst_FormatListing::recordedListings()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);

    const QByteArray output = readTestData(file);
    QVERIFY2(!output.isEmpty(), qPrintable(file));
    QCOMPARE(describe(parseFormatListing(output)), expected);
}

void tst_FormatListing::wholeListing_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("expected");

    const QString line18 = record(u"18"_s, u" mp4 "_s, u"640x360"_s, u"note"_s);
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("LF") << QByteArray("18 mp4 640x360 note\n140 m4a audio\n")
                        << QStringList {line18, record(u"140"_s, u" m4a "_s)};
    QTest::newRow("no final line feed")
        << QByteArray("banner\n18 mp4 640x360 note") << QStringList {line18};
    // Were the CR part of the line, it would end the codec word of "140 m4a".
    QTest::newRow("CR LF") << QByteArray("banner\r\n18 mp4 640x360 note\r\n140 m4a\r\n")
                           << QStringList {line18, record(u"140"_s)};
    QTest::newRow("blank lines") << QByteArray("\n\n18 mp4 640x360 note\n\n\r\n\n140 m4a \n\n")
                                 << QStringList {line18, record(u"140"_s, u" m4a "_s)};
    QTest::newRow("lone CR does not cut")
        << QByteArray("18 mp4 640x360 a\rb\n")
        << QStringList {record(u"18"_s, u" mp4 "_s, u"640x360"_s, u"a\rb"_s)};
    QTest::newRow("invalid UTF-8")
        << QByteArray("18 mp4 640x360 caf\xe9\n\xff\xfe\n22 mp4 1280x720 ok\n")
        << QStringList {record(u"18"_s, u" mp4 "_s, u"640x360"_s, u"caf\uFFFD"_s),
                        record(u"22"_s, u" mp4 "_s, u"1280x720"_s, u"ok"_s)};
    QTest::newRow("UTF-8 note") << QByteArray("18 mp4 640x360 vid\xc3\xa9o\n")
                                << QStringList {
                                       record(u"18"_s, u" mp4 "_s, u"640x360"_s, u"vidéo"_s)};
}

void tst_FormatListing::wholeListing()
{
    QFETCH(QByteArray, output);
    QFETCH(QStringList, expected);

    QCOMPARE(describe(parseFormatListing(output)), expected);
}

void tst_FormatListing::errorLine_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("expected");

    QTest::newRow("recorded 404")
        << readTestData(u"listing-ytdlp-http-404.txt"_s)
        << u"[generic] None: Unable to download webpage: HTTP Error 404: File not found "
           "(caused by <HTTPError 404: 'File not found'>); please report this issue on  "
           "https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate issue "
           "template. Confirm you are on the latest version using  yt-dlp -U"_s;
    QTest::newRow("listing without error")
        << readTestData(u"listing-ytdlp-dash-fixture.txt"_s) << QString();
    QTest::newRow("the last of two")
        << QByteArray("ERROR: first\nnoise\nERROR: second\nend\n") << u"second"_s;
    QTest::newRow("CR LF and blanks") << QByteArray("ERROR: \t boom\r\n") << u"boom"_s;
    QTest::newRow("prefix not at the start")
        << QByteArray("WARNING: ERROR: no\n ERROR: no\n") << QString();
    QTest::newRow("lower case") << QByteArray("error: no\n") << QString();
    QTest::newRow("no output") << QByteArray() << QString();
}

void tst_FormatListing::errorLine()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, expected);

    QCOMPARE(lastErrorLine(output), expected);
}

QTEST_GUILESS_MAIN(tst_FormatListing)
#include "tst_formatlisting.moc"
