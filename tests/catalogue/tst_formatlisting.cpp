// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QFile>
#include <QTest>

#include "catalogue/FormatListing.h"

using namespace Qt::StringLiterals;

namespace {

// One record as one text, so that a failed comparison shows every field.
QString describe(const formatYoutube &format)
{
    return u"[%1][%2][%3][%4]"_s.arg(format.formatID, format.codec, format.dimension, format.info);
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
    void listing_data();
    void listing();
};

void tst_FormatListing::lineRule_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected"); // empty: no format line
    const auto row = [](const char *name, const QString &line, const QString &expected) {
        QTest::newRow(name) << line << expected;
    };

    row("codec with blanks", u"18   mp4   1x2  360p, 25fps"_s, u"[18][ mp4 ][1x2][360p, 25fps]"_s);
    row("audio without size", u"140  m4a  audio only DASH"_s, u"[140][ m4a ][][]"_s);
    row("four-digit code", u"1234 webm 1920x1080"_s, u"[123][ webm ][1920x1080][]"_s);
    row("five-letter column skipped", u"249 mhtml audio only x"_s, u"[249][ only ][][]"_s);
    row("five-letter column, no codec", u"313 mhtml 3840x2160"_s, u"[313][][3840x2160][]"_s);
    row("capital X is no size", u"22 mp4 1280X720 720p"_s, u"[22][ mp4 ][][]"_s);
    row("code only", u"137"_s, u"[137][][][]"_s);
    row("codec needs a blank after it", u"140 m4a"_s, u"[140][][][]"_s);
    row("code glued to a word", u"18mp4 640x360"_s, u"[18][][640x360][]"_s);
    row("five-digit width", u"18 mp4 12345x678 n"_s, u"[18][ mp4 ][2345x678][n]"_s);
    row("note after the first size", u"22 mp4 1x2 from 1x2"_s, u"[22][ mp4 ][1x2][from 1x2]"_s);
    row("note trimmed", u"18 mp4 1x2 \t 360p   25fps \r"_s, u"[18][ mp4 ][1x2][360p   25fps]"_s);
    row("header", u"format code  extension  resolution note"_s, {});
    row("storyboard", u"sb2 mhtml 48x27        0    │  mhtml"_s, {});
    row("leading space", u" 18 mp4 640x360"_s, {});
    row("leading tab", u"\t18 mp4 640x360"_s, {});
    row("Arabic-Indic digits", u"١٢٣ mp4 640x360"_s, {});
    row("empty", {}, {});
    row("non-ASCII codec", u"18 vidé 1x2 日本語 🎬"_s, u"[18][ vidé ][1x2][日本語 🎬]"_s);
    row("combining mark", u"18 ve\u0301o 1x2"_s, u"[18][ ve\u0301o ][1x2][]"_s);
    row("astral letters count once", u"18 𝐚𝐛𝐜𝐝 1x2"_s, u"[18][ 𝐚𝐛𝐜𝐝 ][1x2][]"_s);
    row("superscript digit", u"18 mp4² 1x2"_s, u"[18][][1x2][]"_s);
    row("tabs", u"22\tmp4\t1x2\t720p"_s, u"[22][\tmp4\t][1x2][720p]"_s);
    row("no-break spaces", u"251\u00A0webm\u00A0audio"_s, u"[251][\u00A0webm\u00A0][][]"_s);
    row("ideographic spaces", u"18\u3000mp4\u30001x2\u3000"_s, u"[18][\u3000mp4\u3000][1x2][]"_s);
    row("Mongolian vowel separator is no blank", u"18\u180Emp4\u180E1x2"_s, u"[18][][1x2][]"_s);
}

void tst_FormatListing::lineRule()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    const std::optional<formatYoutube> format = parseFormatLine(line);
    QCOMPARE(format ? describe(*format) : QString(), expected);
}

void tst_FormatListing::listing_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("formats"); // the records' descriptions, one after the other
    QTest::addColumn<QString>("error");
    const auto row
        = [](const char *name, const QByteArray &output, const QString &formats,
             const QString &error) { QTest::newRow(name) << output << formats << error; };

    // Recorded, one row per layout of the downloader's table.
    row("yt-dlp, DASH fixture", readTestData(u"listing-ytdlp-dash-fixture.txt"_s),
        u"[140][ m4a ][][][137][ mp4 ][320x240][| 132k dash  | avc1.42c00d 132k video only"
        "         DASH video, mp4_dash]"_s,
        {});
    row("yt-dlp, box-drawing table", readTestData(u"listing-ytdlp-youtube-box.txt"_s),
        u"[139][ m4a ][][][251][ webm ][][]"
        "[17][ 3gp ][176x144][12 1 │  55.38KiB    46k https │ mp4v.20.3       46k mp4a.40.2    "
        "0k 22k 144p][22][ mp4 ][1280x720][30 2 │ ~  1.38MiB 1159k https │ avc1.64001F   1159k "
        "mp4a.40.2    0k 44k 720p]"_s,
        {});
    row("youtube-dl, space-separated columns", readTestData(u"listing-youtube-dl-columns.txt"_s),
        u"[249][ webm ][][][140][ m4a ][][]"
        "[160][ mp4 ][256x144][144p   64k , avc1.4d400c, 30fps, video only, 29.46KiB]"
        "[137][ mp4 ][1920x1080][1080p 2362k , avc1.640028, 30fps, video only, 1.01MiB]"
        "[43][ webm ][640x360][360p , vp8.0, vorbis@128k, 356.84KiB]"
        "[18][ mp4 ][640x360][360p  443k , avc1.42001E, mp4a.40.2@ 96k (44100Hz), 165.49KiB "
        "(best)]"_s,
        {});
    row("yt-dlp, HTTP 404", readTestData(u"listing-ytdlp-http-404.txt"_s), {},
        u"[generic] None: Unable to download webpage: HTTP Error 404: File not found (caused by "
        "<HTTPError 404: 'File not found'>); please report this issue on  "
        "https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate issue "
        "template. Confirm you are on the latest version using  yt-dlp -U"_s);

    // A CR kept in the line would end the codec word of "140 m4a".
    row("CR LF", "x\r\n18 mp4 1x2 n\r\n140 m4a\r\nERROR: \t boom\r\n",
        u"[18][ mp4 ][1x2][n][140][][][]"_s, u"boom"_s);
    row("blank lines, no final LF", "\n\n18 mp4 1x2 n\n\n\r\n\n140 m4a ",
        u"[18][ mp4 ][1x2][n][140][ m4a ][][]"_s, {});
    row("lone CR does not cut", "18 mp4 1x2 a\rb\n", u"[18][ mp4 ][1x2][a\rb]"_s, {});
    row("invalid UTF-8", "18 mp4 1x2 caf\xe9\n\xff\xfe\n22 mp4 1x2 ok\n",
        u"[18][ mp4 ][1x2][caf\uFFFD][22][ mp4 ][1x2][ok]"_s, {});
    row("the last error", "ERROR: first\nnoise\nERROR: second\nend\n", {}, u"second"_s);
    row("ERROR: only at the start", "WARNING: ERROR: no\n ERROR: no\nerror: no\n", {}, {});
    row("nothing", {}, {}, {});
}

void tst_FormatListing::listing()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, formats);
    QFETCH(QString, error);

    QVERIFY(!output.isEmpty() || formats.isEmpty());
    QString parsed;
    for (const formatYoutube &format : parseFormatListing(output)) {
        parsed += describe(format);
    }
    QCOMPARE(parsed, formats);
    QCOMPARE(lastErrorLine(output), error);
}

QTEST_GUILESS_MAIN(tst_FormatListing)
#include "tst_formatlisting.moc"
