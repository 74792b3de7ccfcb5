// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <limits>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "download/DownloadCommand.h"

using namespace Qt::StringLiterals;

class tst_DownloadCommand final : public QObject
{
    Q_OBJECT

private slots:
    void composedLine_data();
    void composedLine();
    void qualityText_data();
    void qualityText();
    void folderRefusal_data();
    void folderRefusal();
};

void tst_DownloadCommand::composedLine_data()
{
    QTest::addColumn<DownloadRequest>("request");
    QTest::addColumn<QString>("line");
    // The audio settings are always filled in: a plain download must leave them out.
    const auto row = [](const char *name, const QString &folder, const QString &codes, bool audio,
                        ControlState keep, const QString &line, const QString &runtime = {}) {
        const DownloadRequest request {u"/t/youtube-dl"_s,
                                       u"/t/ff mpeg"_s,
                                       folder,
                                       u"https://a/w?v=1&x='$(y)'"_s,
                                       codes.split(u',', Qt::SkipEmptyParts),
                                       audio,
                                       u"mp3"_s,
                                       192,
                                       keep,
                                       runtime};
        QTest::newRow(name) << request
                            << u"'/t/youtube-dl' -o '"_s + line
                + u" -- 'https://a/w?v=1&x='\\''$(y)'\\'''"_s;
    };
    const QString plain = u"' --restrict-filenames -f '22' --no-continue "
                          "--youtube-skip-dash-manifest"_s;
    const QString audio = u" -x --ffmpeg-location '/t/ff mpeg' --audio-format 'mp3' "
                          "--audio-quality '192k'"_s;
    const QString tmpl = u"%(title)s%(format_id)s%(format)s.%(ext)s"_s;
    const ControlState on = ControlState::On;

    row("plain", u"/v"_s, u"22"_s, false, on, u"/v/"_s + tmpl + plain);
    row("audio, keep video", u"/v"_s, u"22"_s, true, on,
        u"/v/"_s + tmpl + plain + audio + u" -k"_s);
    row("audio, video not kept", u"/v"_s, u"22"_s, true, ControlState::Off,
        u"/v/"_s + tmpl + plain + audio);
    row("audio, keep video mixed", u"/v"_s, u"22"_s, true, ControlState::Mixed,
        u"/v/"_s + tmpl + plain + audio);
    row("no code gives best", u"/v"_s, {}, false, on,
        u"/v/"_s + tmpl + QString(plain).replace(u"'22'"_s, u"'best'"_s));
    row("codes in list order", u"/v"_s, u"140,22,137"_s, false, on,
        u"/v/"_s + tmpl + QString(plain).replace(u"'22'"_s, u"'140,22,137'"_s));
    row("a JavaScript runtime named", u"/v"_s, u"22"_s, true, on,
        u"/v/"_s + tmpl + plain + audio + u" -k --js-runtimes 'node:/o p/node'"_s,
        u"node:/o p/node"_s);
    row("root folder", u"/"_s, u"22"_s, false, on, u"/"_s + tmpl + plain);
    row("folder ending with a slash", u"/v/"_s, u"22"_s, false, on, u"/v/"_s + tmpl + plain);
    // The downloader would read "%(id)s" in a folder as a field of the template.
    row("folder with apostrophes and percent signs", u"/v/L'été 50%/%(id)s"_s, u"22"_s, false, on,
        u"/v/L'\\''été 50%%/%%(id)s/"_s + tmpl + plain);
}

void tst_DownloadCommand::composedLine()
{
    QFETCH(DownloadRequest, request);
    QFETCH(QString, line);
    QCOMPARE(composeDownloadCommand(request), line);
}

void tst_DownloadCommand::qualityText_data()
{
    QTest::addColumn<qint32>("quality");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << u"0"_s;
    QTest::newRow("9") << 9 << u"9"_s;
    QTest::newRow("10") << 10 << u"10k"_s;
    QTest::newRow("-5") << -5 << u"5"_s;
    QTest::newRow("-128") << -128 << u"128k"_s;
    // The smallest qint32 has no positive counterpart in 32 bits.
    QTest::newRow("smallest") << std::numeric_limits<qint32>::min() << u"2147483648k"_s;
}

void tst_DownloadCommand::qualityText()
{
    QFETCH(qint32, quality);
    QFETCH(QString, text);
    QCOMPARE(audioQualityText(quality), text);
}

void tst_DownloadCommand::folderRefusal_data()
{
    QTest::addColumn<QString>("name"); // made inside a temporary folder, unless "-"
    QTest::addColumn<QString>("refusal"); // the start of the message; empty: accepted
    const QString replaced = u"Dossier refusé"_s;
    QTest::newRow("plain") << u"Vidéos"_s << QString();
    QTest::newRow("blanks, tilde, dollars alone, percent") << u"a ~ $$ $ 50% ~b"_s << QString();
    QTest::newRow("$HOME") << u"$HOME"_s << replaced;
    QTest::newRow("${PATH}") << u"x${PATH}"_s << replaced;
    QTest::newRow("$$HOME") << u"$$HOME"_s << replaced;
    QTest::newRow("$é") << u"$é"_s << replaced;
    QTest::newRow("missing") << u"-"_s << u"Dossier introuvable"_s;
}

void tst_DownloadCommand::folderRefusal()
{
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    QTemporaryDir root;
    const QString folder = root.filePath(name == u"-"_s ? u"gone"_s : name);
    QVERIFY(name == u"-"_s || QDir().mkpath(folder));
    const QString message = ::folderRefusal(folder);
    QVERIFY2(refusal.isEmpty() ? message.isEmpty() : message.startsWith(refusal),
             qPrintable(message));
}

QTEST_GUILESS_MAIN(tst_DownloadCommand)
#include "tst_downloadcommand.moc"
