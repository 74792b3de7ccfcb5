// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QAbstractItemModelTester>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "TestSupport.h"
#include "catalogue/FormatListing.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/FormatTableModel.h"
#include "catalogue/PlaylistReader.h"
#include "catalogue/ThumbnailFetcher.h"
#include "catalogue/VideoDescriptionParser.h"

using namespace Qt::StringLiterals;

namespace {
// One record as one text, so that a failed comparison shows every field.
QString describe(const formatYoutube &format)
{
    return u"[%1][%2][%3][%4]"_s.arg(format.formatID, format.codec, format.dimension, format.info);
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
QString runQuery(const QString &tool, const QString &address, const DownloaderOptions &options = {},
                 QString *detail = nullptr)
{
    FormatQuery query;
    query.setTimeout(std::chrono::seconds(3));
    QSignalSpy listed(&query, &FormatQuery::formatsListed);
    QSignalSpy failed(&query, &FormatQuery::failed);
    QSignalSpy described(&query, &FormatQuery::videoDescribed);
    QSignalSpy refused(&query, &FormatQuery::descriptionRefused);
    // An event loop, not qWaitFor(), whose pauses would read megabytes at a pipe a pause.
    QEventLoop loop;
    QObject::connect(&query, &FormatQuery::formatsListed, &loop, &QEventLoop::quit);
    QObject::connect(&query, &FormatQuery::failed, &loop, &QEventLoop::quit);
    QTimer::singleShot(120'000, &loop, &QEventLoop::quit);
    query.start(tool, address, options);
    loop.exec();
    if (listed.isEmpty() && failed.isEmpty()) {
        return u"no end"_s;
    }
    if (!failed.isEmpty()) {
        if (detail) {
            *detail = failed.at(0).at(1).toString();
        }
        return u"failed: "_s + failed.at(0).at(0).toString();
    }
    const QString codes = wordsOf(listed.at(0).at(0).value<QList<formatYoutube>>());
    if (listed.at(0).at(1).toBool()) {
        return u"cut after "_s + QString::number(codes.count(u' ') + 1);
    }
    const auto video = described.at(0).at(0).value<VideoDescription>();
    return u'[' + codes + u']' + (video.described ? u" described: "_s + video.title : QString())
        + (refused.isEmpty() ? QString() : u" refused: "_s + refused.at(0).at(0).toString());
}

// Runs one fetch to its end: "fetched", with the file in `path`, or "failed: <message>".
QString runFetch(ThumbnailFetcher &fetcher, const QUrl &address, QString &path)
{
    QSignalSpy fetched(&fetcher, &ThumbnailFetcher::fetched);
    QSignalSpy failed(&fetcher, &ThumbnailFetcher::failed);
    fetcher.fetch(address);
    if (!QTest::qWaitFor([&] { return !fetched.isEmpty() || !failed.isEmpty(); }, 60'000)) {
        return u"no end"_s;
    }
    if (!failed.isEmpty()) {
        return u"failed: "_s + failed.at(0).at(1).toString();
    }
    path = fetched.at(0).at(1).toString();
    return fetched.size() == 1 && fetched.at(0).at(0).toUrl() == address ? u"fetched"_s
                                                                         : u"fetched another"_s;
}
} // namespace

class tst_Catalogue final : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
    void columns_data();
    void columns();
    void sort_data();
    void sort();
    void ticksAndLists();
    void description_data();
    void description();
    void subtitleLanguages_data();
    void subtitleLanguages();
    void query_data();
    void query();
    void cookiesSignIn_data();
    void cookiesSignIn();
    void thumbnail_data();
    void thumbnail();
    void playlist_data();
    void playlist();

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

void tst_Catalogue::listing_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("formats"); // the codes, or the records' descriptions
    QTest::addColumn<QString>("error");
    const auto row
        = [](const char *name, const QByteArray &output, const QString &formats,
             const QString &error = {}) { QTest::newRow(name) << output << formats << error; };
    // One line, without a table head: the line rule alone decides (empty: no format).
    const auto line = [&row](const char *name, const QString &text, const QString &formats) {
        row(name, text.toUtf8(), formats);
    };
    line("codec with blanks", u"18   mp4   1x2  360p, 25fps"_s, u"[18][ mp4 ][1x2][360p, 25fps]"_s);
    line("audio without size", u"140  m4a  audio only DASH"_s, u"[140][ m4a ][][]"_s);
    // The whole first column is the code: another would download another format.
    line("four-digit code", u"1234 webm 1920x1080"_s, u"[1234][ webm ][1920x1080][]"_s);
    line("dubbed track", u"140-10 m4a audio only"_s, u"[140-10][ m4a ][][]"_s);
    line("code with a word", u"139-drc m4a audio"_s, u"[139-drc][ m4a ][][]"_s);
    line("five-letter column skipped", u"249 mhtml audio only x"_s, u"[249][ only ][][]"_s);
    line("codec needs a blank after it", u"140 m4a"_s, u"[140][][][]"_s);
    line("five-digit width", u"18 mp4 12345x678 n"_s, u"[18][ mp4 ][2345x678][n]"_s);
    line("note after the first size", u"22 mp4 1x2 from 1x2"_s, u"[22][ mp4 ][1x2][from 1x2]"_s);
    line("note trimmed", u"18 mp4 1x2 \t 360p   25fps \r"_s, u"[18][ mp4 ][1x2][360p   25fps]"_s);
    line("leading blank", u" 18 mp4 640x360"_s, {});
    line("combining mark, astral letters", u"18 ve\u0301o 𝐚𝐛 1x2"_s, u"[18][ ve\u0301o ][1x2][]"_s);
    // Recorded, one row per layout of the downloader's table; storyboards are no formats.
    row("yt-dlp, box-drawing table", recorded("listing-ytdlp-youtube-box.txt"), u"139 251 17 22"_s);
    row("yt-dlp 2025, dubbed tracks and long codes", recorded("listing-ytdlp-2025-youtube.txt"),
        u"139-drc 140-4 140-10 251-1 18 137 30216"_s);
    row("yt-dlp 2025, codes that begin with a letter", recorded("listing-ytdlp-2025-hls.txt"),
        u"hls-240p hls-1080p dash-video=1500000 http-720p"_s);
    row("youtube-dl, space-separated columns", recorded("listing-youtube-dl-columns.txt"),
        u"249 140 160 137 43 18"_s);
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
    QString described;
    for (const formatYoutube &format : parseFormatListing(output)) {
        described += describe(format);
    }
    QCOMPARE(formats.startsWith(u'[') ? described : wordsOf(parseFormatListing(output)), formats);
    QCOMPARE(lastErrorLine(output), error);
}

void tst_Catalogue::columns_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("shown"); // kind|size|bit rate|language|note
    const auto row = [](const char *name, const QString &line, const QString &shown) {
        QTest::newRow(name) << line << shown;
    };
    row("dubbed audio, today's layout",
        u"140-10  m4a   audio only      2 │    3.28MiB  130k https │ audio only          "
        "mp4a.40.2  130k 44k [en-US] original (default), medium, m4a_dash"_s,
        u"Audio seul|3,28 Mio|130 kbit/s|en-US (original)|2 https mp4a.40.2 130k 44k (default), "
        "medium, m4a_dash"_s);
    row("video only, approximate size",
        u"30216   mp4   1280x720    30    │ ~ 120.50MiB 4200k m3u8  │ avc1.64001F  4200k video "
        "only          720p"_s,
        u"Vidéo seule|≈ 120,50 Mio|4\u202F200 kbit/s||30 m3u8 avc1.64001F 4200k 720p"_s);
    row("picture and sound, old layout, French track",
        u"18 mp4 640x360 360p  443k [fr] , avc1.42001E, mp4a.40.2@ 96k (44100Hz), 165.49KiB"_s,
        u"Vidéo + audio|165,49 Kio|443 kbit/s|fr|360p , avc1.42001E, mp4a.40.2@ 96k (44100Hz)"_s);
    // Runs as long as a listing may be, which a parser retrying at every position of the run,
    // or copying the note once a comma, takes minutes over.
    const QString line = u"18 mp4 1x2 "_s;
    const qsizetype run = 4 << 20;
    row("4 MiB of commas", line + QString(run, u',') + u" 3MiB"_s, u"Vidéo + audio|3 Mio|||"_s);
    row("4 MiB of digits", line + QString(run, u'7') + u" 3MiB 9k"_s,
        u"Vidéo + audio|3 Mio|9 kbit/s||"_s + QString(300, u'7') + u'…');
    row("4 MiB of blanks", line + QString(run, u' ') + u"x 3MiB"_s, u"Vidéo + audio|3 Mio|||x"_s);
}

void tst_Catalogue::columns()
{
    QFETCH(QString, line);
    QFETCH(QString, shown);
    m_list = {*parseFormatLine(line)};
    const FormatTableModel model(m_list);
    QStringList cells;
    for (const int column : {FormatTableModel::KindColumn, FormatTableModel::SizeColumn,
                             FormatTableModel::BitRateColumn, FormatTableModel::LanguageColumn,
                             FormatTableModel::InfoColumn}) {
        cells << model.index(0, column).data().toString();
    }
    QCOMPARE(cells.join(u'|'), shown);
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
    const QString codecs = u"1 mp4 |2+ 3gp |3 webm |4 mp4 "_s;
    row("codecs, decreasing, equal keys stay", 1, down, codecs, u"3 1 4 2+"_s);
    row("codecs, increasing, equal keys stay", 1, up, codecs, u"2+ 1 4 3"_s);
    // The other columns by value: sizes in bytes whatever the unit (none below any), bit rates
    // as numbers, the kind with picture and sound first.
    const QString sizes
        = u"1 a 1x1 3.28MiB|2 a|3+ a 1x1 120KiB|4 a ~ 1.5GiB|5 a 900KB|6 a 3MiB|7 a"_s;
    row("sizes, decreasing", 5, down, sizes, u"4 1 6 5 3+ 2 7"_s);
    row("sizes, increasing", 5, up, sizes, u"2 7 3+ 5 6 1 4"_s);
    row("bit rates", 6, down, u"1 a 1x1 443k|2 a 1x1 1200k|3 a|4 a 1x1 96k"_s, u"2 1 4 3"_s);
    row("kinds", 4, down, u"1 a audio only|2 a video only|3 a 1x1|4 a audio only"_s, u"3 2 1 4"_s);
    row("languages", 7, up, u"1 a [fr]|2 a [en-US]|3 a"_s, u"3 2 1"_s);
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

void tst_Catalogue::description_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("video"); // title|channel|seconds|date|picture
    QTest::addColumn<QString>("rows"); // code|kind|size|rate|rate's tooltip|language|info, "!"
                                       // when greyed; then the codes that tick all ticks
    QTest::newRow("none, the table alone")
        << recorded("listing-ytdlp-dash-fixture.txt") << u""_s
        << u"140|Audio seul||64 kbit/s|||dash mp4a.40.2 64k 44k DASH audio, m4a_dash / 137|Vidéo "
           "seule||132 kbit/s|||dash avc1.42c00d 132k DASH video, mp4_dash / 140+ 137+"_s;
    QTest::newRow("recorded beside the table")
        << recorded("listing-ytdlp-json-dash-fixture.txt") << u"manifest||-1||"_s
        << u"140|Audio seul||64 kbit/s|Son : 64 kbit/s||dash mp4a.40.2 64k 44k DASH audio, "
           "m4a_dash / 137|Vidéo seule||132 kbit/s|Image : 132 kbit/s||SDR, dash "
           "avc1.42c00d 132k DASH video, mp4_dash / 140+ 137+"_s;
    // Edited from the recording: dubbed tracks, one original; HDR; DRM; a format that the
    // table lacks; no picture.
    QTest::newRow("dubbed, protected")
        << recorded("listing-ytdlp-json-dubbed-drm.txt")
        << u"Clip <b>doublé</b> & sous-titré|Chaîne <i>locale</i>|4|2026-01-02|"_s
        << u"140-drc|Audio seul|3,28 Mio|130 kbit/s|Son : 130 kbit/s|fr (original)|stéréo, 2 "
           "dash mp4a.40.2 130k (default), DRC / 140-0|Audio seul|≈ 3,30 Mio|131 kbit/s|Son : 131 "
           "kbit/s|en|stéréo, 2 dash mp4a.40.2 131k English / 137|Vidéo seule|40,00 Mio|4\u202F000 "
           "kbit/s|Image : 4\u202F000 kbit/s||25 i/s, HDR10, 25 HDR10 dash avc1.42c00d 4000k DASH "
           "video / 248|Vidéo seule|30,00 Mio|3\u202F000 kbit/s|Format protégé (DRM) : le "
           "téléchargeur ne peut pas le télécharger||25 i/s, SDR, 25 dash vp9 3000k DASH video, "
           "DRM! / 140-drc+ 140-0+ 137+"_s;
    QTest::newRow("a file is no picture")
        << "1 mp4 1x2\n{\"title\": 7, \"thumbnail\": \"file:///etc/passwd\"}\n"_ba << u"||-1||"_s
        << u"1|Vidéo + audio||||| / 1+"_s;
}

void tst_Catalogue::description()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, video);
    QFETCH(QString, rows);
    const qsizetype line = output.lastIndexOf("\n{") + 1;
    const auto described = line > 0 ? parseVideoDescription(output.sliced(line)) : std::nullopt;
    const VideoDescription shown = described ? described->video : VideoDescription();
    QCOMPARE(shown.described
                 ? u"%1|%2|%3|%4|%5"_s.arg(shown.title, shown.channel)
                       .arg(shown.duration)
                       .arg(shown.uploadDate.toString(Qt::ISODate), shown.thumbnail.toString())
                 : QString(),
             video);
    m_list = completedFormats(parseFormatListing(output),
                              described ? described->formats : QHash<QString, formatYoutube>());
    FormatTableModel model(m_list);
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        for (const int column : {FormatTableModel::FormatColumn, FormatTableModel::KindColumn,
                                 FormatTableModel::SizeColumn, FormatTableModel::BitRateColumn}) {
            cells << model.index(row, column).data().toString();
        }
        cells << model.index(row, FormatTableModel::BitRateColumn).data(Qt::ToolTipRole).toString()
              << model.index(row, FormatTableModel::LanguageColumn).data().toString()
              << model.index(row, FormatTableModel::InfoColumn).data().toString()
                + (model.flags(model.index(row, 0)) & Qt::ItemIsEnabled ? u" /"_s : u"! /"_s);
        model.setData(model.index(row, 0), Qt::Checked, Qt::CheckStateRole);
    }
    model.invertAll();
    model.tickAll();
    QCOMPARE(cells.join(u'|').replace(u"/|"_s, u"/ "_s) + u' ' + wordsOf(model.checkedFormats()),
             rows);
}

void tst_Catalogue::subtitleLanguages_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("shown"); // as the card shows them, "|" between
    QTest::newRow("both kinds, one code twice")
        << R"({"subtitles": {"fr": [{"ext": "vtt", "url": "u", "name": "French"}], "en": [],
                             "en-GB": [], "es": []},
               "automatic_captions": {"fr": [{"name": "x"}], "de": [{"name": "German"}],
                                      "xq": [{"name": "Klingon"}]}})"_ba
        << u"en — English|en-GB — British English|es — español|fr — français|de — Deutsch "
           u"(automatique)|xq — Klingon "
           "(automatique)"_s;
    QTest::newRow("codes the downloader would misread, names of the wrong kind")
        << R"({"subtitles": {"-fr": [], "fr.*": [], "": [], "live_chat": [], "all": [], "_x": [],
               "a23456789012345678901234567890123": [], "a2345678901234567890123456789012": [],
               "qx": [{"name": 7}], "qy": "none", "qz": [3, {"name": "Z"}]},
               "automatic_captions": 5})"_ba
        << u"a2345678901234567890123456789012|qx|qy|qz"_s;
    QByteArray many = R"({"automatic_captions": {"a": []}, "subtitles": {)";
    for (int code = 0; code < 400; ++code) {
        many += u"\"c%1\": [],"_s.arg(code, 3, 10, QChar(u'0')).toLatin1();
    }
    QTest::newRow("at most the limit") << many.chopped(1) + "}}" << u"300: c000 … c299"_s;
}

void tst_Catalogue::subtitleLanguages()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, shown);
    const QList<SubtitleLanguage> languages = parseVideoDescription(json)->video.subtitles;
    QStringList texts;
    for (const SubtitleLanguage &language : languages) {
        texts << subtitleLanguageText(language);
    }
    QCOMPARE(texts.size() > 10 ? u"%1: %2 … %3"_s.arg(texts.size()).arg(texts.first(), texts.last())
                               : texts.join(u'|'),
             shown);
}

void tst_Catalogue::query_data()
{
    QTest::addColumn<QByteArray>("behaviour"); // the stand-in's; null: no tool at all
    QTest::addColumn<QString>("expected"); // the start of runQuery()'s text
    const auto row = [](const char *name, const QByteArray &behaviour, const QString &expected) {
        QTest::newRow(name) << behaviour << expected;
    };
    row("an explained error", "echo 'ERROR: [generic] HTTP Error 404: Not Found'; exit 1",
        u"failed: Recherche des formats impossible : la page est introuvable (HTTP 404)"_s);
    row("listing on both channels, error status", "echo '140 m4a'; echo '137 mp4' >&2; exit 1",
        u"[140 137]"_s);
    // Beyond 4 MiB, the rest is read and dropped, and said so.
    row("more than is kept", "yes '18 mp4 640x360 360p' | head -n 250000", u"cut after 209716"_s);
    row("description beside the table",
        "echo '140 m4a'; echo '{\"title\": \"T\", \"formats\": [{\"format_id\": \"9\"}]}'",
        u"[140] described: T"_s);
    row("description beyond 32 MiB",
        "echo '18 mp4'; printf '{'; dd if=/dev/zero bs=32M count=1 2>&-",
        u"[18] refused: Description de la vidéo trop longue : "_s);
    // Cookies that the downloader could not take from a browser end it with a traceback.
    row("a browser's cookies unreadable",
        "echo '[Cookies] Extracting cookies from firefox'; echo 'Traceback (most recent call "
        "last):' >&2; echo '  File \"/y/cookies.py\", line 141, in load' >&2; echo "
        "'FileNotFoundError: could not find firefox cookies database in /x' >&2; exit 1",
        u"failed: Recherche des formats impossible : le téléchargeur n'a pas pu lire les "
        "cookies de ce navigateur"_s);
    row("time limit", "exec sleep 300", u"failed: Délai dépassé : le téléchargeur ne répond pas"_s);
    row("missing tool", {}, u"failed: Impossible de lancer le téléchargeur : "_s);
}

void tst_Catalogue::query()
{
    QFETCH(QByteArray, behaviour);
    QFETCH(QString, expected);
    QTemporaryDir tools;
    const QString tool = tools.filePath(u"youtube-dl"_s);
    const QString address = u"http://127.0.0.1:1/w?v=a&list='$(b)'"_s;
    if (!behaviour.isEmpty()) {
        QVERIFY(QFile::link(TestSupport::standInDownloader(), tool));
        QVERIFY(TestSupport::writeFile(tools.filePath(u"behaviour"_s), behaviour));
    }
    const QString result = runQuery(tool, address);
    QVERIFY2(result.startsWith(expected), qPrintable(result));
    if (!behaviour.isEmpty()) {
        // Each outside piece one quoted word, and the address after "--"; the user's
        // configuration is not read, and the video's playlist is not listed.
        QCOMPARE(TestSupport::readFile(tools.filePath(u"arguments"_s)),
                 "-F\0-J\0--ignore-config\0--no-playlist\0--\0"_ba + address.toUtf8() + '\0');
    }
}

void tst_Catalogue::cookiesSignIn_data()
{
    QTest::addColumn<int>("source"); // CookieSource
    QTest::addColumn<QString>("given"); // the name of the cookies.txt given
    QTest::addColumn<QString>("expected"); // the start of runQuery()'s text
    const auto row = [](const char *name, CookieSource source, const QString &expected,
                        const QString &given = u"cookies.txt"_s) {
        QTest::newRow(name) << int(source) << given << expected;
    };
    row("none", CookieSource::None,
        u"failed: Recherche des formats impossible : le site demande de se connecter (HTTP 401) "
        "; donnez au téléchargeur les cookies"_s);
    row("a cookies.txt", CookieSource::File, u"[0] described: Ma vidéo"_s);
    row("a Firefox profile", CookieSource::Browser, u"[0] described: Ma vidéo"_s);
    // Refused before anything runs.
    row("a cookies.txt gone", CookieSource::File,
        u"failed: Recherche des formats impossible : Fichier de cookies illisible : "_s,
        u"gone.txt"_s);
}

void tst_Catalogue::cookiesSignIn()
{
    QFETCH(int, source);
    QFETCH(QString, given);
    QFETCH(QString, expected);
    // A page that answers 401 unless asked with the cookie "pass=s3cret".
    static const ServedFolder page(u"make-page.sh"_s);
    QVERIFY(page.isValid());
    QTemporaryDir dir;
    const QString file = dir.filePath(u"cookies.txt"_s);
    const QByteArray cookies = "127.0.0.1\tFALSE\t/\tFALSE\t0\tpass\ts3cret\n";
    QVERIFY(TestSupport::writeFile(file, cookies));
    // A Firefox profile whose database holds that cookie, in the columns the downloader reads.
    const QString profile = dir.filePath(u"ab12.default"_s);
    QVERIFY(QDir().mkpath(profile));
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"firefox"_s);
        database.setDatabaseName(profile + u"/cookies.sqlite"_s);
        QVERIFY(database.open());
        QSqlQuery query(database);
        QVERIFY(
            query.exec(u"CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, host TEXT, "
                       "name TEXT, value TEXT, path TEXT, expiry INTEGER, isSecure INTEGER)"_s));
        QVERIFY(query.exec(u"INSERT INTO moz_cookies (host, name, value, path, expiry, isSecure) "
                           "VALUES ('127.0.0.1', 'pass', 's3cret', '/', 4102444800, 0)"_s));
    }
    QSqlDatabase::removeDatabase(u"firefox"_s);
    DownloaderOptions options;
    options.cookies = {CookieSource(source), u"firefox"_s, profile, dir.filePath(given)};
    QString detail;
    const QString result
        = runQuery(TestSupport::toolFolder() + u"/youtube-dl"_s,
                   page.url(u"page.html"_s, u"cookie-s3cret"_s).toString(), options, &detail);
    QVERIFY2(result.startsWith(expected), qPrintable(result));
    QCOMPARE(asksForSignIn(detail), source == int(CookieSource::None));
    // The downloader wrote "served=1" into its copy, gone with the listing; not into the
    // user's file.
    QCOMPARE(TestSupport::readFile(file), cookies);
    QVERIFY(QDir(ShellProcess::workingFolder()).entryList({u"cookies-*"_s}).isEmpty());
}

void tst_Catalogue::thumbnail_data()
{
    // "<mode>/<file>" of the served folder (serve.py), or a whole address; the earlier ones of
    // a list are fetched first and dropped.
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("expected");
    QTest::newRow("http") << QStringList {u"ok/picture.png"_s} << u"fetched"_s;
    QTest::newRow("older dropped")
        << QStringList {u"drip/picture.png"_s, u"ok/picture.png"_s} << u"fetched"_s;
    QTest::newRow("file refused") << QStringList {u"file:///etc/hostname"_s}
                                  << u"failed: adresse d'image refusée"_s;
    QTest::newRow("too large") << QStringList {u"huge-picture.png/picture.png"_s}
                               << u"failed: image trop grande"_s;
    QTest::newRow("too large, no length")
        << QStringList {u"endless-picture.png/picture.png"_s} << u"failed: image trop grande"_s;
    QTest::newRow("stalled") << QStringList {u"drip/picture.png"_s}
                             << u"failed: l'image n'est pas arrivée à temps"_s;
}

void tst_Catalogue::thumbnail()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, expected);
    static const ServedFolder pictures(u"make-picture.sh"_s);
    QVERIFY(pictures.isValid());
    QTemporaryDir cache;
    ThumbnailFetcher fetcher;
    fetcher.setCacheFolder(cache.path());
    fetcher.setTimeout(std::chrono::milliseconds(500));
    QUrl address;
    for (const QString &name : addresses) {
        address = name.contains(u':')
            ? QUrl(name)
            : pictures.url(name.section(u'/', 1), name.section(u'/', 0, 0));
        if (name != addresses.last()) {
            fetcher.fetch(address);
        }
    }
    QString path;
    QCOMPARE(runFetch(fetcher, address, path), expected);
    if (expected != u"fetched"_s) {
        QVERIFY(QDir(cache.path()).isEmpty());
        return;
    }
    QCOMPARE(TestSupport::readFile(path),
             TestSupport::readFile(pictures.folder() + u"/picture.png"_s));
    // The second time, the cached file is used without a request: a changed copy stays.
    QVERIFY(TestSupport::writeFile(path, "cached"));
    QCOMPARE(runFetch(fetcher, address, path), u"fetched"_s);
    QCOMPARE(TestSupport::readFile(path), "cached"_ba);
}

void tst_Catalogue::playlist_data()
{
    QTest::addColumn<QString>("mode"); // serve.py's, for the feed
    QTest::addColumn<QString>("expected"); // "<index> <title> (<list>)|…|<count>", or "failed: …"
    QTest::newRow("a feed of three") << u"ok"_s
                                     << u"1 Premier (Essai & liste)|2 Deuxième (Essai & "
                                        "liste)|3 <b>Troisième</b> (Essai & liste)|3"_s;
    QTest::newRow("no list there")
        << u"status-404"_s
        << u"failed: Lecture de la liste impossible : la page est introuvable (HTTP 404) ; "
           "vérifiez l'adresse"_s;
}

void tst_Catalogue::playlist()
{
    QFETCH(QString, mode);
    QFETCH(QString, expected);
    // The downloader reads an RSS feed as a list of its items, each a medium served here.
    static const ServedFolder media;
    QVERIFY(media.isValid());
    QString items;
    for (const auto &[title, file] : {std::pair {u"Premier"_s, u"manifest.mpd"_s},
                                      {u"Deuxième"_s, u"init-137.m4s"_s},
                                      {u"&lt;b&gt;Troisième&lt;/b&gt;"_s, u"init-140.m4s"_s}}) {
        items += u"<item><title>%1</title><enclosure url=\"%2\" type=\"video/mp4\" "
                 "length=\"1\"/></item>"_s.arg(title, media.url(file).toString());
    }
    QVERIFY(TestSupport::writeFile(
        media.folder() + u"/feed.xml"_s,
        (u"<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Essai &amp; "
         "liste</title>"_s
         + items + u"</channel></rss>"_s)
            .toUtf8()));
    PlaylistReader reader;
    QStringList seen;
    connect(&reader, &PlaylistReader::entriesRead, this, [&seen](const QList<PlaylistEntry> &read) {
        for (const PlaylistEntry &entry : read) {
            seen << u"%1 %2 (%3)"_s.arg(entry.index).arg(entry.title, entry.listTitle);
        }
    });
    QSignalSpy finished(&reader, &PlaylistReader::finished);
    QSignalSpy failed(&reader, &PlaylistReader::failed);
    reader.start(TestSupport::toolFolder() + u"/youtube-dl"_s,
                 media.url(u"feed.xml"_s, mode).toString());
    QVERIFY(QTest::qWaitFor([&] { return !finished.isEmpty() || !failed.isEmpty(); }, 120'000));
    if (!failed.isEmpty()) {
        seen = {u"failed: "_s + failed.at(0).at(0).toString()};
    } else {
        seen << finished.at(0).at(0).toString();
    }
    QCOMPARE(seen.join(u'|'), expected);
}

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
