// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ServedFolder.h"
#include "TestSupport.h"
#include "catalogue/FormatListing.h"
#include "catalogue/FormatQuery.h"

using namespace Qt::StringLiterals;

namespace {
// One record as one text, so that a failed comparison shows every field.
QString describe(const formatYoutube &format)
{
    return u"[%1][%2][%3][%4]"_s.arg(format.formatID, format.codec, format.dimension, format.info);
}

// Runs one query to its end: "[codes]" for a listing, "failed: <message>" otherwise.
QString runQuery(const QString &tool, const QString &address)
{
    FormatQuery query;
    query.setTimeout(std::chrono::seconds(3));
    QSignalSpy listed(&query, &FormatQuery::formatsListed);
    QSignalSpy failed(&query, &FormatQuery::failed);
    query.start(tool, address);
    if (!QTest::qWaitFor([&] { return !listed.isEmpty() || !failed.isEmpty(); }, 120'000)) {
        return u"no end"_s;
    }
    if (!failed.isEmpty()) {
        return u"failed: "_s + failed.at(0).at(0).toString();
    }
    QStringList ids;
    for (const formatYoutube &format : listed.at(0).at(0).value<QList<formatYoutube>>()) {
        ids.append(format.formatID);
    }
    return u'[' + ids.join(u' ') + u']';
}
} // namespace

class tst_FormatQuery final : public QObject
{
    Q_OBJECT

private slots:
    void lineRule_data();
    void lineRule();
    void listing_data();
    void listing();
    void outcome_data();
    void outcome();
};

void tst_FormatQuery::lineRule_data()
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
    row("capital X is no size", u"22 mp4 1280X720 720p"_s, u"[22][ mp4 ][][]"_s);
    row("code only", u"137"_s, u"[137][][][]"_s);
    row("codec needs a blank after it", u"140 m4a"_s, u"[140][][][]"_s);
    row("five-digit width", u"18 mp4 12345x678 n"_s, u"[18][ mp4 ][2345x678][n]"_s);
    row("note after the first size", u"22 mp4 1x2 from 1x2"_s, u"[22][ mp4 ][1x2][from 1x2]"_s);
    row("note trimmed", u"18 mp4 1x2 \t 360p   25fps \r"_s, u"[18][ mp4 ][1x2][360p   25fps]"_s);
    row("header", u"format code  extension  resolution note"_s, {});
    row("leading blank", u" 18 mp4 640x360"_s, {});
    row("Arabic-Indic digits", u"١٢٣ mp4 640x360"_s, {});
    row("combining mark, astral letters", u"18 ve\u0301o 𝐚𝐛 1x2"_s, u"[18][ ve\u0301o ][1x2][]"_s);
    row("superscript digit", u"18 mp4² 1x2"_s, u"[18][][1x2][]"_s);
    row("tabs", u"22\tmp4\t1x2\t720p"_s, u"[22][\tmp4\t][1x2][720p]"_s);
    row("no-break spaces", u"251\u00A0webm\u00A0audio"_s, u"[251][\u00A0webm\u00A0][][]"_s);
    row("Mongolian vowel separator is no blank", u"18\u180Emp4\u180E1x2"_s, u"[18][][1x2][]"_s);
}

void tst_FormatQuery::lineRule()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    const std::optional<formatYoutube> format = parseFormatLine(line);
    QCOMPARE(format ? describe(*format) : QString(), expected);
}

void tst_FormatQuery::listing_data()
{
    QTest::addColumn<QByteArray>("output"); // a file of tests/data, or the output itself
    QTest::addColumn<QString>("formats"); // the records' descriptions, one after the other
    QTest::addColumn<QString>("error");
    const auto row
        = [](const char *name, const QByteArray &output, const QString &formats,
             const QString &error = {}) { QTest::newRow(name) << output << formats << error; };
    // Recorded, one row per layout of the downloader's table.
    row("yt-dlp, DASH fixture", "listing-ytdlp-dash-fixture.txt",
        u"[140][ m4a ][][][137][ mp4 ][320x240][| 132k dash  | avc1.42c00d 132k video only"
        "         DASH video, mp4_dash]"_s);
    row("yt-dlp, box-drawing table", "listing-ytdlp-youtube-box.txt",
        u"[139][ m4a ][][][251][ webm ][][]"
        "[17][ 3gp ][176x144][12 1 │  55.38KiB    46k https │ mp4v.20.3       46k mp4a.40.2    "
        "0k 22k 144p][22][ mp4 ][1280x720][30 2 │ ~  1.38MiB 1159k https │ avc1.64001F   1159k "
        "mp4a.40.2    0k 44k 720p]"_s);
    row("youtube-dl, space-separated columns", "listing-youtube-dl-columns.txt",
        u"[249][ webm ][][][140][ m4a ][][]"
        "[160][ mp4 ][256x144][144p   64k , avc1.4d400c, 30fps, video only, 29.46KiB]"
        "[137][ mp4 ][1920x1080][1080p 2362k , avc1.640028, 30fps, video only, 1.01MiB]"
        "[43][ webm ][640x360][360p , vp8.0, vorbis@128k, 356.84KiB]"
        "[18][ mp4 ][640x360][360p  443k , avc1.42001E, mp4a.40.2@ 96k (44100Hz), 165.49KiB "
        "(best)]"_s);
    row("yt-dlp, HTTP 404", "listing-ytdlp-http-404.txt", {},
        u"[generic] None: Unable to download webpage: HTTP Error 404: File not found (caused by "
        "<HTTPError 404: 'File not found'>); please report this issue on  "
        "https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate issue "
        "template. Confirm you are on the latest version using  yt-dlp -U"_s);
    // A CR kept in the line would end the codec word of "140 m4a".
    row("CR LF", "x\r\n18 mp4 1x2 n\r\n140 m4a\r\nERROR: \t boom\r\n",
        u"[18][ mp4 ][1x2][n][140][][][]"_s, u"boom"_s);
    row("blank lines, no final LF", "\n\n18 mp4 1x2 n\n\n\r\n\n140 m4a ",
        u"[18][ mp4 ][1x2][n][140][ m4a ][][]"_s);
    row("lone CR does not cut", "18 mp4 1x2 a\rb\n", u"[18][ mp4 ][1x2][a\rb]"_s);
    row("invalid UTF-8", "18 mp4 1x2 caf\xe9\n\xff\n", u"[18][ mp4 ][1x2][caf\uFFFD]"_s);
    row("the last error, at a line's start", "ERROR: first\nERROR: second\n WARNING: ERROR: no\n",
        {}, u"second"_s);
}

void tst_FormatQuery::listing()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, formats);
    QFETCH(QString, error);
    if (output.endsWith(".txt")) {
        output = TestSupport::readFile(QStringLiteral(QUORVEL_TEST_DATA_DIR "/")
                                       + QString::fromUtf8(output));
    }
    QString parsed;
    for (const formatYoutube &format : parseFormatListing(output)) {
        parsed += describe(format);
    }
    QCOMPARE(parsed, formats);
    QCOMPARE(lastErrorLine(output), error);
}

void tst_FormatQuery::outcome_data()
{
    QTest::addColumn<QByteArray>("behaviour"); // "real": the real downloader on the fixture
    QTest::addColumn<QString>("expected"); // the start of runQuery()'s text
    const auto row = [](const char *name, const QByteArray &behaviour, const QString &expected) {
        QTest::newRow(name) << behaviour << expected;
    };
    row("the real downloader", "real", u"[140 137]"_s);
    row("the real downloader, a missing page", "real 404",
        u"failed: Recherche des formats impossible : la page est introuvable (HTTP 404)"_s);
    row("listing on both channels, error status", "echo '140 m4a'; echo '137 mp4' >&2; exit 1",
        u"[140 137]"_s);
    row("nothing", "exit 0", u"[]"_s);
    row("silent failure", "exit 3", u"failed: Le téléchargeur a échoué (code de sortie 3)"_s);
    row("error beside formats", "echo '18 mp4'; echo 'ERROR: partial'", u"[18]"_s);
    row("a line written late by a child", "(sleep 1; echo '22 mp4') & echo '18 mp4'", u"[18 22]"_s);
    row("time limit", "exec sleep 300", u"failed: Délai dépassé : le téléchargeur ne répond pas"_s);
    row("missing tool", {}, u"failed: Impossible de lancer le téléchargeur : "_s);
}

void tst_FormatQuery::outcome()
{
    QFETCH(QByteArray, behaviour);
    QFETCH(QString, expected);
    QTemporaryDir tools;
    QString tool = tools.filePath(u"youtube-dl"_s);
    QString address = u"http://127.0.0.1:1/w?v=a&list='$(b)'"_s;
    std::unique_ptr<ServedFolder> fixture;
    if (behaviour.startsWith("real")) {
        fixture = std::make_unique<ServedFolder>();
        tool = TestSupport::toolFolder() + u"/youtube-dl"_s;
        address = behaviour.endsWith("404") ? fixture->missingUrl() : fixture->manifestUrl();
    } else if (!behaviour.isEmpty()) {
        QVERIFY(QFile::link(TestSupport::standInDownloader(), tool));
        QVERIFY(TestSupport::writeFile(tools.filePath(u"behaviour"_s), behaviour));
    }
    const QString result = runQuery(tool, address);
    QVERIFY2(result.startsWith(expected), qPrintable(result));
    if (!behaviour.isEmpty() && !fixture) {
        // Each outside piece one quoted word, and the address after "--".
        QCOMPARE(TestSupport::readFile(tools.filePath(u"arguments"_s)),
                 "-F\0--\0"_ba + address.toUtf8() + '\0');
    }
}

QTEST_GUILESS_MAIN(tst_FormatQuery)
#include "tst_formatquery.moc"
