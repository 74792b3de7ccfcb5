// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ServedFolder.h"
#include "TestSupport.h"
#include "catalogue/FormatListing.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/FormatTableModel.h"

using namespace Qt::StringLiterals;

namespace {
// One record as one text, so that a failed comparison shows every field.
QString describe(const formatYoutube &format)
{
    return u"[%1][%2][%3][%4]"_s.arg(format.formatID, format.codec, format.dimension, format.info);
}

QString describeListing(const QByteArray &output)
{
    QString text;
    for (const formatYoutube &format : parseFormatListing(output)) {
        text += describe(format);
    }
    return text;
}

QByteArray recorded(const char *name)
{
    return TestSupport::readFile(QStringLiteral(QUORVEL_TEST_DATA_DIR "/")
                                 + QString::fromUtf8(name));
}

// Records from listing lines ("<code> <codec> ..."), ticked when the code ends with "+" and
// mixed with "~".
QList<formatYoutube> makeFormats(const QString &lines)
{
    QList<formatYoutube> formats;
    for (QString line : lines.split(u'|')) {
        const qsizetype end = line.indexOf(u' ') < 0 ? line.size() : line.indexOf(u' ');
        const QChar mark = line.at(end - 1);
        const bool marked = mark == u'+' || mark == u'~';
        formats << *parseFormatLine(marked ? line.remove(end - 1, 1) : line);
        formats.last().isChecked = !marked ? ControlState::Off
            : mark == u'+'                 ? ControlState::On
                                           : ControlState::Mixed;
    }
    return formats;
}

QString wordsOf(const QList<formatYoutube> &formats)
{
    QStringList words;
    for (const formatYoutube &format : formats) {
        words << format.formatID
                + (format.isChecked == ControlState::On          ? u"+"_s
                       : format.isChecked == ControlState::Mixed ? u"~"_s
                                                                 : QString());
    }
    return words.join(u' ');
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
    const QString codes = wordsOf(listed.at(0).at(0).value<QList<formatYoutube>>());
    if (listed.at(0).at(1).toBool()) {
        return u"cut after "_s + QString::number(codes.count(u' ') + 1);
    }
    return u'[' + codes + u']';
}
} // namespace

class tst_Catalogue final : public QObject
{
    Q_OBJECT

private slots:
    void lineRule_data();
    void lineRule();
    void listing_data();
    void listing();
    void columns_data();
    void columns();
    void sort_data();
    void sort();
    void ticksAndLists();
    void query_data();
    void query();

private:
    // A model over a new list, with the tester that checks every change it announces.
    FormatTableModel &makeModel(const QString &lines)
    {
        m_tester.reset();
        m_list = makeFormats(lines);
        m_model = std::make_unique<FormatTableModel>(m_list);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        return *m_model;
    }

    QList<formatYoutube> m_list;
    std::unique_ptr<FormatTableModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void tst_Catalogue::lineRule_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected"); // empty: no format line
    const auto row = [](const char *name, const QString &line, const QString &expected) {
        QTest::newRow(name) << line << expected;
    };
    row("codec with blanks", u"18   mp4   1x2  360p, 25fps"_s, u"[18][ mp4 ][1x2][360p, 25fps]"_s);
    row("audio without size", u"140  m4a  audio only DASH"_s, u"[140][ m4a ][][]"_s);
    // The whole first column is the code: another would download another format.
    row("four-digit code", u"1234 webm 1920x1080"_s, u"[1234][ webm ][1920x1080][]"_s);
    row("five-digit code", u"30216 mp4 1x2"_s, u"[30216][ mp4 ][1x2][]"_s);
    row("dubbed track", u"140-10 m4a audio only"_s, u"[140-10][ m4a ][][]"_s);
    row("code with a word", u"139-drc m4a audio"_s, u"[139-drc][ m4a ][][]"_s);
    row("five-letter column skipped", u"249 mhtml audio only x"_s, u"[249][ only ][][]"_s);
    row("capital X is no size", u"22 mp4 1280X720 720p"_s, u"[22][ mp4 ][][]"_s);
    row("code only", u"137"_s, u"[137][][][]"_s);
    row("codec needs a blank after it", u"140 m4a"_s, u"[140][][][]"_s);
    row("five-digit width", u"18 mp4 12345x678 n"_s, u"[18][ mp4 ][2345x678][n]"_s);
    row("note after the first size", u"22 mp4 1x2 from 1x2"_s, u"[22][ mp4 ][1x2][from 1x2]"_s);
    row("note trimmed", u"18 mp4 1x2 \t 360p   25fps \r"_s, u"[18][ mp4 ][1x2][360p   25fps]"_s);
    row("leading blank", u" 18 mp4 640x360"_s, {});
    row("Arabic-Indic digits", u"١٢٣ mp4 640x360"_s, {});
    row("combining mark, astral letters", u"18 ve\u0301o 𝐚𝐛 1x2"_s, u"[18][ ve\u0301o ][1x2][]"_s);
    row("superscript digit", u"18 mp4² 1x2"_s, u"[18][][1x2][]"_s);
    row("tabs", u"22\tmp4\t1x2\t720p"_s, u"[22][\tmp4\t][1x2][720p]"_s);
    row("no-break spaces", u"251\u00A0webm\u00A0audio"_s, u"[251][\u00A0webm\u00A0][][]"_s);
    row("Mongolian vowel separator is no blank", u"18\u180Emp4\u180E1x2"_s,
        u"[18\u180Emp4\u180E1x2][][1x2][]"_s);
}

void tst_Catalogue::lineRule()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    const std::optional<formatYoutube> format = parseFormatLine(line);
    QCOMPARE(format ? describe(*format) : QString(), expected);
}

void tst_Catalogue::listing_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("formats"); // the records' descriptions, one after the other
    QTest::addColumn<QString>("error");
    const auto row
        = [](const char *name, const QByteArray &output, const QString &formats,
             const QString &error = {}) { QTest::newRow(name) << output << formats << error; };
    // Recorded, one row per layout of the downloader's table; storyboards are no formats.
    row("yt-dlp, DASH fixture", recorded("listing-ytdlp-dash-fixture.txt"),
        u"[140][ m4a ][][][137][ mp4 ][320x240][| 132k dash  | avc1.42c00d 132k video only"
        "         DASH video, mp4_dash]"_s);
    row("yt-dlp, box-drawing table", recorded("listing-ytdlp-youtube-box.txt"),
        u"[139][ m4a ][][][251][ webm ][][]"
        "[17][ 3gp ][176x144][12 1 │  55.38KiB    46k https │ mp4v.20.3       46k mp4a.40.2    "
        "0k 22k 144p][22][ mp4 ][1280x720][30 2 │ ~  1.38MiB 1159k https │ avc1.64001F   1159k "
        "mp4a.40.2    0k 44k 720p]"_s);
    row("yt-dlp 2025, dubbed tracks and long codes", recorded("listing-ytdlp-2025-youtube.txt"),
        u"[139-drc][ m4a ][][][140-4][ m4a ][][][140-10][ m4a ][][][251-1][ webm ][][]"
        "[18][ mp4 ][640x360][25  2 │ ≈  6.52MiB  258k https │ avc1.42001E         mp4a.40.2       "
        "44k [en] 360p][137][ mp4 ][1920x1080][25    │   44.88MiB 1776k https │ avc1.640028   "
        "1776k video only          1080p, mp4_dash][30216][ mp4 ][1280x720][30    │ ~ 120.50MiB "
        "4200k m3u8  │ avc1.64001F  4200k video only          720p]"_s);
    row("yt-dlp 2025, codes that begin with a letter", recorded("listing-ytdlp-2025-hls.txt"),
        u"[hls-240p][ mp4 ][426x240][│ ~  5.20MiB  400k m3u8  │ avc1.4d401e mp4a.40.2]"
        "[hls-1080p][ mp4 ][1920x1080][│ ~ 36.40MiB 2800k m3u8  │ avc1.640028 mp4a.40.2]"
        "[dash-video=1500000][ mp4 ][1280x720][│ ≈ 19.50MiB 1500k dash  │ avc1.64001f video only]"
        "[http-720p][ mp4 ][1280x720][│                  https │ unknown     unknown]"_s);
    row("youtube-dl, space-separated columns", recorded("listing-youtube-dl-columns.txt"),
        u"[249][ webm ][][][140][ m4a ][][]"
        "[160][ mp4 ][256x144][144p   64k , avc1.4d400c, 30fps, video only, 29.46KiB]"
        "[137][ mp4 ][1920x1080][1080p 2362k , avc1.640028, 30fps, video only, 1.01MiB]"
        "[43][ webm ][640x360][360p , vp8.0, vorbis@128k, 356.84KiB]"
        "[18][ mp4 ][640x360][360p  443k , avc1.42001E, mp4a.40.2@ 96k (44100Hz), 165.49KiB "
        "(best)]"_s);
    row("yt-dlp, HTTP 404", recorded("listing-ytdlp-http-404.txt"), {},
        u"[generic] None: Unable to download webpage: HTTP Error 404: File not found (caused by "
        "<HTTPError 404: 'File not found'>); please report this issue on  "
        "https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate issue "
        "template. Confirm you are on the latest version using  yt-dlp -U"_s);
    row("before the head, digits make no row", "2 formats\nID  EXT RESOLUTION\n---\nx1 mp4 1x2\n",
        u"[x1][ mp4 ][1x2][]"_s);
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

void tst_Catalogue::listing()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, formats);
    QFETCH(QString, error);
    QCOMPARE(describeListing(output), formats);
    QCOMPARE(lastErrorLine(output), error);
}

void tst_Catalogue::columns_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("shown"); // kind, size, bit rate, language, note
    const auto row = [](const char *name, const QString &line, const QStringList &shown) {
        QTest::newRow(name) << line << shown;
    };
    row("dubbed audio, today's layout",
        u"140-10  m4a   audio only      2 │    3.28MiB  130k https │ audio only          "
        "mp4a.40.2  130k 44k [en-US] original (default), medium, m4a_dash"_s,
        {u"Audio seul"_s, u"3,28 Mio"_s, u"130 kbit/s"_s, u"en-US (original)"_s,
         u"2 https mp4a.40.2 130k 44k (default), medium, m4a_dash"_s});
    row("video only, approximate size",
        u"30216   mp4   1280x720    30    │ ~ 120.50MiB 4200k m3u8  │ avc1.64001F  4200k video "
        "only          720p"_s,
        {u"Vidéo seule"_s,
         u"≈ 120,50 Mio"_s,
         u"4\u202F200 kbit/s"_s,
         {},
         u"30 m3u8 avc1.64001F 4200k 720p"_s});
    row("picture and sound, old layout",
        u"18          mp4        640x360    360p  443k , avc1.42001E, mp4a.40.2@ 96k (44100Hz), "
        "165.49KiB (best)"_s,
        {u"Vidéo + audio"_s,
         u"165,49 Kio"_s,
         u"443 kbit/s"_s,
         {},
         u"360p , avc1.42001E, mp4a.40.2@ 96k (44100Hz), (best)"_s});
    row("audio, old layout, French track",
        u"140-1 m4a audio only DASH audio  129k [fr] , m4a_dash, 3.28MiB"_s,
        {u"Audio seul"_s, u"3,28 Mio"_s, u"129 kbit/s"_s, u"fr"_s, u"DASH audio , m4a_dash"_s});
}

void tst_Catalogue::columns()
{
    QFETCH(QString, line);
    QFETCH(QStringList, shown);
    m_list = {*parseFormatLine(line)};
    const FormatTableModel model(m_list);
    QStringList cells;
    for (const int column : {FormatTableModel::KindColumn, FormatTableModel::SizeColumn,
                             FormatTableModel::BitRateColumn, FormatTableModel::LanguageColumn,
                             FormatTableModel::InfoColumn}) {
        cells << model.index(0, column).data().toString();
    }
    QCOMPARE(cells, shown);
}

void tst_Catalogue::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QString>("records"); // listing lines, separated by "|"
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, int column, Qt::SortOrder order, const QString &records,
                        const QString &expected) {
        QTest::newRow(name) << column << order << records << expected;
    };
    const Qt::SortOrder down = Qt::DescendingOrder;
    const Qt::SortOrder up = Qt::AscendingOrder;
    // Codes compare as texts, not numbers; ticks travel with their records.
    const QString codes = u"22|137+|251|18|140~"_s;
    row("codes, decreasing", 0, down, codes, u"251 22 18 140~ 137+"_s);
    row("codes, increasing", 0, up, codes, u"137+ 140~ 18 22 251"_s);
    const QString codecs = u"1 mp4 |2+ 3gp |3 webm |4 mp4 "_s;
    row("codecs, decreasing, equal keys stay", 1, down, codecs, u"3 1 4 2+"_s);
    row("codecs, increasing, equal keys stay", 1, up, codecs, u"2+ 1 4 3"_s);
    row("canonically equal keys", 1, up, u"1 \u00e9 |2 e\u0301 "_s, u"1 2"_s);
    // U+FF21 is below U+1D41A as a code point, above its surrogates as UTF-16.
    row("code points, not UTF-16", 1, up, u"1 𝐚 |2 \uFF21 |3 z "_s, u"3 2 1"_s);
    row("another column leaves the order", 2, down, u"22 a 1x2|137 a 3x4"_s, u"22 137"_s);
}

void tst_Catalogue::sort()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QString, records);
    QFETCH(QString, expected);
    FormatTableModel &model = makeModel(records);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    const QPersistentModelIndex first(model.index(0, FormatTableModel::FormatColumn));
    const QString firstCode = first.data().toString();
    model.sort(column, order);
    QCOMPARE(wordsOf(m_list), expected);
    // The table shows the list anew after every sort, and selections follow their records.
    QCOMPARE(layout.size(), 1);
    QCOMPARE(first.data().toString(), firstCode);
}

void tst_Catalogue::ticksAndLists()
{
    FormatTableModel &model = makeModel(u"1 a|2+ a|3+ a|4~ a"_s);
    QCOMPARE(model.headerData(FormatTableModel::DimensionColumn, Qt::Horizontal), u"Résolution"_s);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    TestSupport::StdoutCapture capture;
    QVERIFY(model.setData(model.index(2, 0), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(model.setData(model.index(0, 0), Qt::PartiallyChecked, Qt::CheckStateRole));
    // Rows outside the list and other columns are ignored.
    model.checkedButton(4, ControlState::On);
    QVERIFY(!model.setData(model.index(1, 1), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(capture.text(), "2 - > 0\n0 - > -1\n"_ba);
    QCOMPARE(wordsOf(m_list), u"1~ 2+ 3 4~"_s);
    // Only the clicked checkboxes changed; the table does not reload.
    QCOMPARE(changed.size(), 2);
    QCOMPARE(reset.size(), 0);

    // A long line shows its start only, and more in the tooltip; the record keeps it whole.
    m_list[0].note = u"x"_s.repeated(1'500'000);
    QVERIFY(model.index(0, FormatTableModel::InfoColumn).data().toString().size() <= 400);
    QVERIFY(model.index(0, FormatTableModel::InfoColumn).data(Qt::ToolTipRole).toString().size()
            <= 5000);
    // A second listing follows the first; one without formats still shows the list anew.
    model.appendFormats(makeFormats(u"140 a|137 a"_s));
    QCOMPARE(wordsOf(m_list), u"1~ 2+ 3 4~ 140 137"_s);
    model.appendFormats({});
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(reset.size(), 2);
}

void tst_Catalogue::query_data()
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
    // Beyond 4 MiB, the rest is read and dropped, and said so.
    row("more than is kept", "yes '18 mp4 640x360 360p' | head -n 250000", u"cut after 209716"_s);
    row("time limit", "exec sleep 300", u"failed: Délai dépassé : le téléchargeur ne répond pas"_s);
    row("missing tool", {}, u"failed: Impossible de lancer le téléchargeur : "_s);
}

void tst_Catalogue::query()
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

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
