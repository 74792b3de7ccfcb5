// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QTest>

#include "TestSupport.h"
#include "download/DownloadOutputMonitor.h"

using namespace Qt::StringLiterals;

namespace {
// What the monitor reports for these reads, in order: "D <path>", "C <path>", "P <percent>"
// or "E <error>". A null read stands for the end of a stream.
QStringList eventsOf(const QList<QByteArray> &reads)
{
    DownloadOutputMonitor monitor;
    QStringList events;
    QObject::connect(&monitor, &DownloadOutputMonitor::destinationAnnounced, &monitor,
                     [&](const QByteArray &path) { events << u"D "_s + QString::fromUtf8(path); });
    QObject::connect(&monitor, &DownloadOutputMonitor::conversionAnnounced, &monitor,
                     [&](const QByteArray &path) { events << u"C "_s + QString::fromUtf8(path); });
    QObject::connect(&monitor, &DownloadOutputMonitor::progressChanged, &monitor,
                     [&](double percent) { events << u"P "_s + QString::number(percent); });
    QObject::connect(&monitor, &DownloadOutputMonitor::errorReported, &monitor,
                     [&](const QString &line) { events << u"E "_s + line; });
    for (const QByteArray &read : reads) {
        if (read.isNull()) {
            monitor.finish();
        } else {
            monitor.feed(read);
        }
    }
    monitor.finish();
    return events;
}

// The output read whole, cut in two at every byte and one byte at a time: a line or a
// character split between reads must change nothing.
void verifyEveryCutGives(const QByteArray &output, const QStringList &expected)
{
    QCOMPARE(eventsOf({output}), expected);
    QList<QByteArray> bytes;
    for (qsizetype cut = 0; cut < output.size(); ++cut) {
        const QStringList events = eventsOf({output.first(cut), output.sliced(cut)});
        QVERIFY2(events == expected, qPrintable(u"cut at %1: "_s.arg(cut) + events.join(u'|')));
        bytes << output.sliced(cut, 1);
    }
    QCOMPARE(eventsOf(bytes), expected);
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
};

void tst_DownloadOutputMonitor::recordedOutput_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("announced"); // destinations, conversions and errors
    // The downloader run by "/bin/bash -c" on the DASH fixture: progress rewritten after CR.
    const QString video = u"manifest137137_-_320x240_DASH_video.mp4"_s;
    const QString audio = u"manifest140140_-_audio_only_DASH_audio.m4a"_s;
    const QString videos = u"D /tmp/quorvel-rec/videos/"_s;
    const QString summer = u"/tmp/quorvel-rec/Vidéos d'été/"_s;
    QTest::newRow("137,140") << u"download-plain-137-140.log"_s
                             << QStringList {videos + video, videos + audio};
    QTest::newRow("mp3 from 137,140, non-ASCII folder")
        << u"download-audio-mp3-137-140.log"_s
        << QStringList {u"D "_s + summer + video,
                        u"E Postprocessing: WARNING: unable to obtain file audio codec with "
                        "ffprobe"_s,
                        u"D "_s + summer + audio, u"C "_s + summer + audio.chopped(3) + u"mp3"_s};
}

void tst_DownloadOutputMonitor::recordedOutput()
{
    QFETCH(QString, file);
    QFETCH(QStringList, announced);
    const QByteArray output
        = TestSupport::readFile(QStringLiteral(QUORVEL_TEST_DATA_DIR) + u'/' + file);
    QVERIFY(!output.isEmpty());
    const QStringList events = eventsOf({output});
    QStringList seen;
    QStringList progress;
    for (const QString &event : events) {
        (event.startsWith(u'P') ? progress : seen) << event;
    }
    QCOMPARE(seen, announced);
    QCOMPARE(progress.size(), 26);
    QCOMPARE(progress.last(), u"P 100"_s);
    verifyEveryCutGives(output, events);
}

void tst_DownloadOutputMonitor::lines_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("events"); // separated by "|"
    const auto row = [](const char *name, const QByteArray &output, const QString &events) {
        QTest::newRow(name) << output << events;
    };
    row("destination, CR LF", "[download] Destination: /v/a.mp4\r\n[download]  45.3% of 1\r\n",
        u"D /v/a.mp4|P 45.3"_s);
    row("destination as written", "[download] Destination:  /v/x [download] Destination: y \n",
        u"D  /v/x [download] Destination: y "_s);
    row("non-ASCII path", "[download] Destination: /é/Vidéos d'été/日本語 🎬.mp4\n",
        u"D /é/Vidéos d'été/日本語 🎬.mp4"_s);
    row("conversions",
        "[ExtractAudio] Destination: /v/a.mp3\n[Merger] Merging formats into "
        "\"/v/a b.mkv\"\n[Merger] Merging formats into \"/v/cut\n",
        u"C /v/a.mp3|C /v/a b.mkv"_s);
    row("100, no decimals", "[download] 100% of 10.00MiB in 00:02\n", u"P 100"_s);
    row("lone CR", "\r[download]   1.0% of x\r[download]  50.5% of x\r[download] 100.0% of x",
        u"P 1|P 50.5|P 100"_s);
    row("mixed ends, empty lines", "\n\r\r\n[download] 1%\n\n[download] 2%\r\r[download] 3%\r\n\n",
        u"P 1|P 2|P 3"_s);
    row("no percentage",
        "[download] /x/Clip 22% off.mp4\n[download] 12:34 left, 5% done\n"
        "[download] 45.3 % of x\n[download] 45.% of x\n[download]50% of x\n",
        {});
    row("tab after the marker, marker inside the line",
        "[download] \t7.25% of x\nfrag 3: [download]  66.7% of ~ 25.95KiB\n", u"P 7.25|P 66.7"_s);
    row("error, blanks and CR LF", "WARNING: ERROR: no\n xERROR: no\nERROR:  \t boom \r\n",
        u"E boom "_s);
    row("error line is no destination", "ERROR: [download] Destination: /etc/passwd\n",
        u"E [download] Destination: /etc/passwd"_s);
    row("unfinished last line", "[download] Destination: /v/c.mp4\r[download]  99.9% of x",
        u"D /v/c.mp4|P 99.9"_s);
}

void tst_DownloadOutputMonitor::lines()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, events);
    verifyEveryCutGives(output, events.split(u'|', Qt::SkipEmptyParts));
    // Neither an unfinished line nor a pending CR leaks into the next stream.
    QCOMPARE(eventsOf({output + '\r', QByteArray(), output}),
             eventsOf({output}) + eventsOf({output}));
}

QTEST_GUILESS_MAIN(tst_DownloadOutputMonitor)
#include "tst_downloadoutputmonitor.moc"
