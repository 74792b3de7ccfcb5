// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <limits>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "download/DownloadCommand.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
// Audio settings are always filled in: a plain download must leave them out.
DownloadRequest makeRequest(const QString &folder, const QString &codes, bool audio = false,
                            int keepVideo = 1)
{
    return {u"/t/youtube-dl"_s,
            u"/t/ffmpeg"_s,
            folder,
            u"https://a/w?v=1"_s,
            codes.split(u',', Qt::SkipEmptyParts),
            audio,
            u"mp3"_s,
            192,
            keepVideo};
}
} // namespace

class tst_DownloadCommand final : public QObject
{
    Q_OBJECT

private slots:
    void qualityText();
    void composedLine_data();
    void composedLine();
    void hostileInputsStayValues_data();
    void hostileInputsStayValues();
};

void tst_DownloadCommand::qualityText()
{
    QCOMPARE(audioQualityText(9), u"9"_s);
    QCOMPARE(audioQualityText(10), u"10k"_s);
    QCOMPARE(audioQualityText(-5), u"5"_s);
    // The smallest qint32 has no positive counterpart in 32 bits.
    QCOMPARE(audioQualityText(std::numeric_limits<qint32>::min()), u"2147483648k"_s);
}

void tst_DownloadCommand::composedLine_data()
{
    QTest::addColumn<DownloadRequest>("request");
    QTest::addColumn<QString>("line");
    const auto row = [](const char *name, const DownloadRequest &request, const QString &folder,
                        const QString &codes, const QString &audio) {
        QTest::newRow(name) << request
                            << u"'/t/youtube-dl' -o '"_s + folder
                + u"%(title)s%(format_id)s%(format)s.%(ext)s' --restrict-filenames -f '"_s + codes
                + u"' --no-continue --youtube-skip-dash-manifest"_s + audio
                + u" -- 'https://a/w?v=1'"_s;
    };
    const QString audio
        = u" -x --ffmpeg-location '/t/ffmpeg' --audio-format 'mp3' --audio-quality '192k'"_s;

    const QString v = u"/v"_s;
    row("audio, keep video", makeRequest(v, u"22,140"_s, true), u"/v/"_s, u"22,140"_s,
        audio + u" -k"_s);
    row("audio, video not kept", makeRequest(v, u"22"_s, true, 0), u"/v/"_s, u"22"_s, audio);
    row("audio, keep video mixed", makeRequest(v, u"22"_s, true, -1), u"/v/"_s, u"22"_s, audio);
    row("no code gives best", makeRequest(v, {}), u"/v/"_s, u"best"_s, {});
    row("codes in list order", makeRequest(v, u"140,22,137"_s), u"/v/"_s, u"140,22,137"_s, {});
    row("root folder", makeRequest(u"/"_s, u"22"_s), u"/"_s, u"22"_s, {});
    row("folder ending with a slash", makeRequest(u"/v/"_s, u"22"_s), u"/v/"_s, u"22"_s, {});
    // The downloader would expand "%(id)s" in a folder and write elsewhere.
    row("percent signs in folder", makeRequest(u"/v/50%/%(id)s"_s, u"22"_s), u"/v/50%%/%%(id)s/"_s,
        u"22"_s, {});
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
    // Each text, were the shell to interpret it, would create a file X or split a word.
    const auto row = [](const char *name, const QString &folder, const QString &address,
                        const QString &codes = u"22"_s, const QString &audioFormat = {}) {
        DownloadRequest request = makeRequest(folder, codes, !audioFormat.isEmpty(), 0);
        request.address = address;
        request.ffmpegPath = u"/opt/$(touch X)/ff mpeg"_s;
        request.audioFormat = audioFormat;
        QTest::newRow(name) << request;
    };
    row("folder", u"/tmp/L'été $(touch X)\ntouch X\n"_s, u"https://a/w?v=1&list=2"_s);
    row("folder ending with a backslash", u"/tmp/a\\"_s, u"https://a/w"_s);
    row("commands in address", u"/v"_s, u"; touch X & touch X | tee X `touch X`\ntouch X"_s);
    row("option as address", u"/v"_s, u"--exec=touch X"_s);
    row("empty address", u"/v"_s, {});
    row("substitution in a code", u"/v"_s, u"https://a/w"_s, u"137,$(touch X)"_s);
    row("audio format and converter", u"/v"_s, u"https://a/w"_s, u"22"_s, u"mp3; `touch X`"_s);
}

void tst_DownloadCommand::hostileInputsStayValues()
{
    QFETCH(DownloadRequest, request);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The stand-in itself lies in a folder whose name the shell would interpret.
    const QString toolFolder = u"Outils d'été $(touch X)"_s;
    QVERIFY(QDir(dir.path()).mkpath(toolFolder));
    const QString argumentsFile = dir.filePath(u"arguments"_s);
    request.youtubeDLPath = TestSupport::writeScript(
        dir, toolFolder + u"/youtube-dl"_s,
        "#!/bin/bash\nprintf '%s\\0' \"$@\" > " + shellQuote(argumentsFile).toUtf8() + "\n");

    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.setWorkingDirectory(dir.path());
    shell.start(shellProgram(), shellArguments(composeDownloadCommand(request)));
    QVERIFY(shell.waitForFinished(30'000));
    QVERIFY2(shell.exitCode() == 0, shell.readAll().constData());

    QFile file(argumentsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList received = QString::fromUtf8(file.readAll()).split(QChar(0));
    QCOMPARE(received.takeLast(), QString());
    // Every outside text arrived whole, as one argument, where the plain line puts it.
    QCOMPARE(received.size(), request.audio ? 16 : 9);
    QCOMPARE(received.at(1), folderWithSlash(request.folder) + outputTemplate());
    QCOMPARE(received.at(4), request.formatIDs.join(u','));
    QCOMPARE(received.last(), request.address);
    if (request.audio) {
        QCOMPARE(received.at(9), request.ffmpegPath);
        QCOMPARE(received.at(11), request.audioFormat);
    }
    QVERIFY2(!QFile::exists(dir.filePath(u"X"_s)), "a command ran");
}

QTEST_GUILESS_MAIN(tst_DownloadCommand)
#include "tst_downloadcommand.moc"
