// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QFile>
#include <QTest>

#include "download/DownloadOutputMonitor.h"

using namespace Qt::StringLiterals;

namespace {
// What a monitor reported, in order: "D <path>", "P <percent>", "E <error>".
class Recorder final
{
public:
    Recorder()
    {
        QObject::connect(&monitor, &DownloadOutputMonitor::destinationAnnounced, &monitor,
                         [this](const QString &path) { events << u"D "_s + path; });
        QObject::connect(&monitor, &DownloadOutputMonitor::progressChanged, &monitor,
                         [this](double percent) { events << u"P "_s + QString::number(percent); });
        QObject::connect(&monitor, &DownloadOutputMonitor::errorReported, &monitor,
                         [this](const QString &line) { events << u"E "_s + line; });
    }

    DownloadOutputMonitor monitor;
    QStringList events;
};

QStringList eventsOf(const QList<QByteArray> &chunks)
{
    Recorder recorder;
    for (const QByteArray &chunk : chunks) {
        recorder.monitor.feed(chunk);
    }
    recorder.monitor.finish();
    return recorder.events;
}

// Feeds the output whole, cut in two at every byte position, and one byte at a time: a
// line or a character split between reads must change nothing.
void verifyEveryCutGives(const QByteArray &output, const QStringList &expected)
{
    QCOMPARE(eventsOf({output}), expected);
    for (qsizetype cut = 0; cut <= output.size(); ++cut) {
        const QStringList events = eventsOf({output.first(cut), output.sliced(cut)});
        if (events != expected) {
            QCOMPARE(events, expected); // fails, with the cut in the message below
            QFAIL(qPrintable(u"cut at byte %1"_s.arg(cut)));
        }
    }
    QList<QByteArray> bytes;
    for (const char byte : output) {
        bytes << QByteArray(1, byte);
    }
    QCOMPARE(eventsOf(bytes), expected);
}

QStringList progressEvents(std::initializer_list<const char16_t *> values)
{
    QStringList events;
    for (const char16_t *value : values) {
        events << u"P "_s + QString::fromUtf16(value);
    }
    return events;
}
} // namespace

class tst_DownloadOutputMonitor final : public QObject
{
    Q_OBJECT

private slots:
    void recordedOutput_data();
    void recordedOutput();
    void lines_data();
    void lines();
    void monitorIsReusableAfterFinish();
    void millionProgressLines();
};

void tst_DownloadOutputMonitor::recordedOutput_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("destinations");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<int>("progressLines");

    // Raw output of the tool-folder downloader run by "/bin/bash -c" against the local DASH
    // fixture: progress rewritten with CR, the chosen folder as typed in the -o word.
    const QString videos = u"/tmp/quorvel-rec/videos/"_s;
    const QString summer = u"/tmp/quorvel-rec/Vidéos d'été/"_s;
    const QString video = u"manifest137137_-_320x240_DASH_video.mp4"_s;
    const QString audio = u"manifest140140_-_audio_only_DASH_audio.m4a"_s;
    QTest::newRow("plain 137,140") << u"download-plain-137-140.log"_s
                                   << QStringList{videos + video, videos + audio} << QStringList()
                                   << 26;
    // An audio extraction asked of both codes: the video-only code has no audio to extract.
    QTest::newRow("audio mp3 137,140, non-ASCII folder")
            << u"download-audio-mp3-137-140.log"_s << QStringList{summer + video, summer + audio}
            << QStringList{u"Postprocessing: WARNING: unable to obtain file audio codec with "
                           "ffprobe"_s}
            << 26;
    QTest::newRow("address not found")
            << u"download-missing-address.log"_s << QStringList()
            << QStringList{u"[generic] None: Unable to download webpage: HTTP Error 404: File not "
                           "found (caused by <HTTPError 404: 'File not found'>); please report "
                           "this issue on  https://github.com/yt-dlp/yt-dlp/issues?q= , filling "
                           "out the appropriate issue template. Confirm you are on the latest "
                           "version using  yt-dlp -U"_s}
            << 0;
}

void tst_DownloadOutputMonitor::recordedOutput()
{
    QFETCH(QString, file);
    QFETCH(QStringList, destinations);
    QFETCH(QStringList, errors);
    QFETCH(int, progressLines);

    QFile log(QStringLiteral(QUORVEL_TEST_DATA_DIR) + u'/' + file);
    QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
    const QByteArray output = log.readAll();
    const QStringList events = eventsOf({output});

    QStringList seenDestinations;
    QStringList seenErrors;
    QList<double> percents;
    for (const QString &event : events) {
        const QString value = event.sliced(2);
        if (event.startsWith(u'D')) {
            // Each file is complete before the next one is announced.
            QVERIFY(percents.isEmpty() || percents.last() == 100.0);
            seenDestinations << value;
        } else if (event.startsWith(u'E')) {
            seenErrors << value;
        } else {
            QVERIFY2(!seenDestinations.isEmpty(), "progress before any destination");
            percents << value.toDouble();
            QVERIFY2(percents.last() >= 0.0 && percents.last() <= 100.0, qPrintable(value));
        }
    }
    QCOMPARE(seenDestinations, destinations);
    QCOMPARE(seenErrors, errors);
    QCOMPARE(percents.size(), progressLines);
    if (progressLines > 0) {
        QCOMPARE(percents.last(), 100.0);
    }

    verifyEveryCutGives(output, events);
}

void tst_DownloadOutputMonitor::lines_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("destination, LF")
            << "[download] Destination: /Volumes/Data/Videos/Clip22.mp4\n"_ba
            << QStringList{u"D /Volumes/Data/Videos/Clip22.mp4"_s};
    QTest::newRow("destination, CR LF")
            << "[download] Destination: /v/a.mp4\r\n[download]  45.3% of 10.00MiB\r\n"_ba
            << QStringList{u"D /v/a.mp4"_s, u"P 45.3"_s};
    QTest::newRow("destination after another line")
            << "[info] Downloading 1 format(s): 22\n[download] Destination: /v/b.mp4\n"_ba
            << QStringList{u"D /v/b.mp4"_s};
    QTest::newRow("destination keeps blanks and a second marker")
            << "[download] Destination:  /v/x [download] Destination: y.mp4 \n"_ba
            << QStringList{u"D  /v/x [download] Destination: y.mp4 "_s};
    QTest::newRow("non-ASCII path")
            << "[download] Destination: /home/é/Vidéos d'été/日本語 🎬.mp4\n"_ba
            << QStringList{u"D /home/é/Vidéos d'été/日本語 🎬.mp4"_s};
    QTest::newRow("invalid UTF-8 in path")
            << "[download] Destination: /v/a\xff\xfe\xc3.mp4\n"_ba
            << QStringList{u"D "_s + QString::fromUtf8("/v/a\xff\xfe\xc3.mp4")};

    QTest::newRow("progress with decimals") << "[download]  45.3% of 10.00MiB\n"_ba
                                            << progressEvents({u"45.3"});
    QTest::newRow("progress 100, no decimals")
            << "[download] 100% of 10.00MiB in 00:02\n"_ba << progressEvents({u"100"});
    QTest::newRow("lone CR rewrites, the last one wins")
            << "\r[download]   1.0% of x\r[download]  50.5% of x\r[download] 100.0% of x"_ba
            << progressEvents({u"1", u"50.5", u"100"});
    QTest::newRow("CR at the very end, then LF")
            << "[download]  12.5% of x\r\n\r\n[download]  13% of x\r"_ba
            << progressEvents({u"12.5", u"13"});
    QTest::newRow("mixed ends and empty lines")
            << "\n\r\r\n[download] 1% a\n\n[download] 2% b\r\r[download] 3% c\r\n\n"_ba
            << progressEvents({u"1", u"2", u"3"});
    QTest::newRow("digits in a file name are no percentage")
            << "[download] /x/Clip22.mp4 has already been downloaded\n"_ba << QStringList();
    QTest::newRow("file name with digits and a percent sign")
            << "[download] /x/Clip 22% off.mp4 has already been downloaded\n"_ba
            << QStringList();
    QTest::newRow("a time is no percentage") << "[download] 12:34 left, 5% done\n"_ba
                                             << QStringList();
    QTest::newRow("number not followed by %") << "[download] 45.3 % of x\n"_ba
                                              << QStringList();
    QTest::newRow("dot without decimals") << "[download] 45.% of x\n"_ba << QStringList();
    QTest::newRow("tab after the marker") << "[download] \t7.25% of x\n"_ba
                                          << progressEvents({u"7.25"});
    QTest::newRow("marker in the middle of a line")
            << "frag 3: [download]  66.7% of ~ 25.95KiB\n"_ba << progressEvents({u"66.7"});
    QTest::newRow("no marker") << "[dashsegments] 50% of fragments\n"_ba << QStringList();
    QTest::newRow("marker without its blank") << "[download]50% of x\n"_ba << QStringList();

    QTest::newRow("error line") << "ERROR: Unable to download webpage: HTTP Error 404\n"_ba
                                << QStringList{u"E Unable to download webpage: HTTP Error 404"_s};
    QTest::newRow("error with blanks and CR LF")
            << "ERROR:  \t boom \r\n"_ba << QStringList{u"E boom "_s};
    QTest::newRow("ERROR not at the start of the line")
            << "WARNING: ERROR: not an error\n xERROR: neither\n"_ba << QStringList();
    QTest::newRow("an error line announces no destination")
            << "ERROR: [download] Destination: /etc/passwd\n"_ba
            << QStringList{u"E [download] Destination: /etc/passwd"_s};
    QTest::newRow("error, non-ASCII") << "ERROR: Vidéo indisponible\n"_ba
                                      << QStringList{u"E Vidéo indisponible"_s};

    QTest::newRow("unfinished last line")
            << "[download] Destination: /v/c.mp4\n[download]  99.9% of x"_ba
            << QStringList{u"D /v/c.mp4"_s, u"P 99.9"_s};
    QTest::newRow("unfinished error line") << "ERROR: cut short"_ba
                                           << QStringList{u"E cut short"_s};
    QTest::newRow("nothing") << QByteArray() << QStringList();
}

void tst_DownloadOutputMonitor::lines()
{
    QFETCH(QByteArray, output);
    QFETCH(QStringList, events);
    verifyEveryCutGives(output, events);
}

void tst_DownloadOutputMonitor::monitorIsReusableAfterFinish()
{
    Recorder recorder;
    recorder.monitor.feed("[download] Destination: /v/first.mp4\r"_ba);
    recorder.monitor.feed("[download]  10% of x"_ba);
    recorder.monitor.finish();
    // A new stream: neither the unfinished line nor the pending CR may leak into it.
    recorder.monitor.feed("\n[download] Destination: /v/second.mp4"_ba);
    recorder.monitor.finish();
    QCOMPARE(recorder.events, (QStringList{u"D /v/first.mp4"_s, u"P 10"_s,
                                          u"D /v/second.mp4"_s}));
}

void tst_DownloadOutputMonitor::millionProgressLines()
{
    // One large read: a monitor that copied or shifted its buffer for every line would not
    // finish within the test's time limit.
    constexpr int lineCount = 1'000'000;
    const QByteArray line =
            "\r[download]  42.7% of ~ 100.00MiB at  10.00MiB/s ETA 00:10 (frag 3/9)"_ba;
    QByteArray output;
    output.reserve(line.size() * lineCount + 16);
    for (int i = 0; i < lineCount; ++i) {
        output += line;
    }
    output += "\r\n[download] 100% of 100.00MiB\n"_ba;

    DownloadOutputMonitor monitor;
    int count = 0;
    double last = 0.0;
    connect(&monitor, &DownloadOutputMonitor::progressChanged, this, [&](double percent) {
        ++count;
        last = percent;
    });
    monitor.feed(output);
    monitor.finish();
    QCOMPARE(count, lineCount + 1);
    QCOMPARE(last, 100.0);

    // The same output in reads of 4096 bytes, each cutting a line.
    count = 0;
    for (qsizetype start = 0; start < output.size(); start += 4096) {
        monitor.feed(output.sliced(start, std::min<qsizetype>(4096, output.size() - start)));
    }
    monitor.finish();
    QCOMPARE(count, lineCount + 1);
}

QTEST_GUILESS_MAIN(tst_DownloadOutputMonitor)
#include "tst_downloadoutputmonitor.moc"
