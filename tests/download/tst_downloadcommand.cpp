// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <limits>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "download/DownloadCommand.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
const QString templateText = u"%(title)s%(format_id)s%(format)s.%(ext)s"_s;

DownloadRequest audioRequest()
{
    DownloadRequest request;
    request.youtubeDLPath = u"/t/youtube-dl"_s;
    request.ffmpegPath = u"/t/ffmpeg"_s;
    request.folder = u"/v"_s;
    request.address = u"https://a/w?v=1"_s;
    request.formatIDs = {u"22"_s, u"140"_s};
    request.audio = true;
    request.audioFormat = u"mp3"_s;
    request.audioQuality = 192;
    request.audioPreserveVideo = 1;
    return request;
}

// The argument vector the downloader must receive for a request, option by option.
QStringList expectedArguments(const DownloadRequest &request)
{
    QStringList arguments{u"-o"_s,
                          folderWithSlash(request.folder).replace(u'%', u"%%"_s) + templateText,
                          u"--restrict-filenames"_s,
                          u"-f"_s,
                          request.formatIDs.isEmpty() ? u"best"_s : request.formatIDs.join(u','),
                          u"--no-continue"_s,
                          u"--youtube-skip-dash-manifest"_s};
    if (request.audio) {
        arguments << u"-x"_s << u"--ffmpeg-location"_s << request.ffmpegPath
                  << u"--audio-format"_s << request.audioFormat << u"--audio-quality"_s
                  << audioQualityText(request.audioQuality);
        if (request.audioPreserveVideo == 1) {
            arguments << u"-k"_s;
        }
    }
    arguments << u"--"_s << request.address;
    return arguments;
}
} // namespace

class tst_DownloadCommand final : public QObject
{
    Q_OBJECT

private slots:
    void qualityText_data();
    void qualityText();
    void composedLine_data();
    void composedLine();
    void hostileInputsStayValues_data();
    void hostileInputsStayValues();
};

void tst_DownloadCommand::qualityText_data()
{
    QTest::addColumn<qint32>("quality");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << u"0"_s;
    QTest::newRow("nine") << 9 << u"9"_s;
    QTest::newRow("ten") << 10 << u"10k"_s;
    QTest::newRow("320") << 320 << u"320k"_s;
    QTest::newRow("minus five") << -5 << u"5"_s;
    QTest::newRow("minus 128") << -128 << u"128k"_s;
    QTest::newRow("largest") << std::numeric_limits<qint32>::max() << u"2147483647k"_s;
    QTest::newRow("smallest") << std::numeric_limits<qint32>::min() << u"2147483648k"_s;
}

void tst_DownloadCommand::qualityText()
{
    QFETCH(qint32, quality);
    QFETCH(QString, text);
    QCOMPARE(audioQualityText(quality), text);

    // The text reaches the command line as the value of --audio-quality.
    DownloadRequest request = audioRequest();
    request.audioQuality = quality;
    QVERIFY(composeDownloadCommand(request).contains(u" --audio-quality '"_s + text + u"' -k "_s));
}

void tst_DownloadCommand::composedLine_data()
{
    QTest::addColumn<DownloadRequest>("request");
    QTest::addColumn<QString>("line");

    const QString head = u"'/t/youtube-dl' -o '/v/"_s + templateText
            + u"' --restrict-filenames -f "_s;
    const QString middle = u" --no-continue --youtube-skip-dash-manifest"_s;
    const QString audio =
            u" -x --ffmpeg-location '/t/ffmpeg' --audio-format 'mp3' --audio-quality '192k'"_s;
    const QString tail = u" -- 'https://a/w?v=1'"_s;

    const QString codes = u"'22,140'"_s;
    DownloadRequest request = audioRequest();
    QTest::newRow("audio, keep video on")
            << request << head + codes + middle + audio + u" -k"_s + tail;
    request.audioPreserveVideo = 0;
    QTest::newRow("audio, keep video off") << request << head + codes + middle + audio + tail;
    request.audioPreserveVideo = -1;
    QTest::newRow("audio, keep video mixed") << request << head + codes + middle + audio + tail;

    request = audioRequest();
    request.audio = false;
    QTest::newRow("plain ignores audio settings") << request << head + codes + middle + tail;
    request.formatIDs.clear();
    QTest::newRow("no code gives best") << request << head + u"'best'"_s + middle + tail;
    request.formatIDs = {u"140"_s, u"22"_s, u"137"_s};
    QTest::newRow("codes in list order") << request << head + u"'140,22,137'"_s + middle + tail;

    request = audioRequest();
    request.audio = false;
    request.folder = u"/"_s;
    QTest::newRow("root folder")
            << request
            << u"'/t/youtube-dl' -o '/"_s + templateText + u"' --restrict-filenames -f '22,140'"_s
                    + middle + tail;
    request.folder = u"/v/"_s;
    QTest::newRow("folder ending with a slash") << request << head + codes + middle + tail;
    request.folder = u"/v/50%/%(id)s"_s;
    // A folder's "%" is doubled, or the downloader would expand "%(id)s" and write elsewhere.
    QTest::newRow("percent signs in folder")
            << request
            << u"'/t/youtube-dl' -o '/v/50%%/%%(id)s/"_s + templateText
                    + u"' --restrict-filenames -f '22,140'"_s + middle + tail;
    request.folder = u"/v"_s;
    request.address.clear();
    QTest::newRow("empty address") << request << head + codes + middle + u" -- ''"_s;
}

void tst_DownloadCommand::composedLine()
{
    QFETCH(DownloadRequest, request);
    QFETCH(QString, line);
    QCOMPARE(composeDownloadCommand(request), line);
}

void tst_DownloadCommand::hostileInputsStayValues_data()
{
    QTest::addColumn<DownloadRequest>("request");

    // Each text, were it interpreted by the shell, would create a file X or split a word.
    DownloadRequest request;
    request.folder = u"/tmp/L'été"_s;
    request.address = u"https://a/w?v=1&list=2"_s;
    QTest::newRow("apostrophe in folder") << request;
    request.folder = u"$(touch X)"_s;
    QTest::newRow("substitution as folder") << request;
    request.folder = u"/tmp/a\\"_s;
    QTest::newRow("folder ending with a backslash") << request;
    request.folder = u"/tmp/one\ntouch X\n"_s;
    QTest::newRow("newlines in folder") << request;

    request = DownloadRequest();
    request.folder = u"/v"_s;
    request.address = u"; touch X"_s;
    QTest::newRow("semicolon address") << request;
    request.address = u"--exec=touch X"_s;
    QTest::newRow("option as address") << request;
    request.address = u"`touch X`"_s;
    QTest::newRow("backticks in address") << request;
    request.address = u"https://a/\ntouch X\n"_s;
    QTest::newRow("newlines in address") << request;
    request.address = u"a & touch X | touch X > X"_s;
    QTest::newRow("operators in address") << request;
    request.address.clear();
    QTest::newRow("empty address") << request;
    request.address = u"https://a/w"_s;
    request.formatIDs = {u"137"_s, u"$(touch X)"_s};
    QTest::newRow("substitution in a code") << request;

    request = DownloadRequest();
    request.folder = u"/v"_s;
    request.address = u"https://a/w"_s;
    request.audio = true;
    request.ffmpegPath = u"/opt/$(touch X)/ff mpeg"_s;
    request.audioFormat = u"mp3; touch X"_s;
    request.audioQuality = -320;
    QTest::newRow("audio format and converter path") << request;
    request.audioFormat = u"`touch X`"_s;
    request.audioPreserveVideo = 0;
    QTest::newRow("backticks as audio format") << request;
}

void tst_DownloadCommand::hostileInputsStayValues()
{
    QFETCH(DownloadRequest, request);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The stand-in itself lies in a folder whose name the shell would interpret.
    const QString toolFolder = u"Outils d'été $(touch X)"_s;
    QVERIFY(QDir(dir.path()).mkpath(toolFolder));
    QVERIFY(QDir(dir.path()).mkpath(u"work"_s));
    const QString argumentsFile = dir.filePath(u"arguments"_s);
    request.youtubeDLPath = TestSupport::writeScript(
            dir, toolFolder + u"/youtube-dl"_s,
            "#!/bin/bash\nprintf '%s\\0' \"$@\" > " + shellQuote(argumentsFile).toUtf8() + "\n");
    QVERIFY(!request.youtubeDLPath.isEmpty());

    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.setWorkingDirectory(dir.filePath(u"work"_s));
    shell.start(shellProgram(), shellArguments(composeDownloadCommand(request)));
    QVERIFY(shell.waitForFinished(30'000));
    QVERIFY2(shell.exitCode() == 0, shell.readAll().constData());

    QFile file(argumentsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray recorded = file.readAll();
    QVERIFY(recorded.endsWith('\0'));
    recorded.chop(1);
    QStringList received;
    for (const QByteArray &argument : recorded.split('\0')) {
        received << QString::fromUtf8(argument);
    }
    QCOMPARE(received, expectedArguments(request));

    QDirIterator files(dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QVERIFY2(files.fileName() != u"X"_s, qPrintable(u"a command ran: "_s + path));
    }
}

QTEST_GUILESS_MAIN(tst_DownloadCommand)
#include "tst_downloadcommand.moc"
