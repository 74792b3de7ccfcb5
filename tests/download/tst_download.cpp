// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <algorithm>
#include <limits>
#include <memory>
#include <ranges>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "catalogue/FormatListing.h"
#include "download/DestinationCleanup.h"
#include "download/DownloadCommand.h"
#include "download/DownloadOutputMonitor.h"
#include "download/JobStore.h"
#include "download/ListDownload.h"
#include "download/QueueNotices.h"
#include "download/DownloadQueue.h"
#include "download/QueueModel.h"
#include "download/TitleNaming.h"
#include "tools/PlainText.h"

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// What the monitor reports for these reads, in order: "D <path>" (destination), "C <path>"
// (conversion), "A <path>" (already there), "X <path>" (deleted), "F <files>", "P <percent>
// <speed> <time left>", "E <error>" or "S <language> <cause>" (subtitles missed). A null read
// stands for the end of a stream.
QStringList eventsOf(const QList<QByteArray> &reads)
{
    DownloadOutputMonitor monitor;
    QStringList events;
    for (const auto &[announced, kind] :
         {std::pair {&DownloadOutputMonitor::destinationAnnounced, u"D "_s},
          std::pair {&DownloadOutputMonitor::conversionAnnounced, u"C "_s},
          std::pair {&DownloadOutputMonitor::fileAlreadyPresent, u"A "_s},
          std::pair {&DownloadOutputMonitor::originalDeleted, u"X "_s}}) {
        QObject::connect(&monitor, announced, &monitor, [&events, kind](const QByteArray &path) {
            events << kind + QString::fromUtf8(path);
        });
    }
    QObject::connect(&monitor, &DownloadOutputMonitor::progressChanged, &monitor,
                     [&](const DownloadProgress &p) {
                         events << u"P %1 %2 %3"_s.arg(p.percent)
                                       .arg(QString::fromLatin1(p.speed),
                                            QString::fromLatin1(p.timeLeft))
                                       .trimmed();
                     });
    QObject::connect(&monitor, &DownloadOutputMonitor::filesAnnounced, &monitor,
                     [&](int count) { events << u"F %1"_s.arg(count); });
    QObject::connect(&monitor, &DownloadOutputMonitor::errorReported, &monitor,
                     [&](const QString &line) { events << u"E "_s + line; });
    QObject::connect(&monitor, &DownloadOutputMonitor::subtitlesMissed, &monitor,
                     [&](const QString &language, const QString &cause) {
                         events << u"S %1 %2"_s.arg(language, cause);
                     });
    for (const QByteArray &read : reads) {
        read.isNull() ? monitor.finish() : monitor.feed(read);
    }
    monitor.finish();
    return events;
}

// Runs commands in a folder; returns what they print, as lines of bytes, sorted.
QByteArrayList runIn(const QString &folder, const QString &commandLine)
{
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(u"/bin/bash"_s, {u"-c"_s, u":;"_s + commandLine});
    shell.waitForFinished();
    QByteArrayList lines = shell.readAllStandardOutput().split('\n');
    lines.removeAll(QByteArray());
    std::sort(lines.begin(), lines.end());
    return shell.exitCode() == 0 ? lines : QByteArrayList {"failed"};
}

QStringList s_logged;

// What the store keeps of each job, one line a job.
QStringList storedForms(const QList<DownloadJob> &jobs)
{
    QStringList forms;
    for (const DownloadJob &job : jobs) {
        const DownloadRequest &r = job.request;
        QDebug(&forms.emplace_back())
            << job.id << r.folder << r.address << r.formatIDs << r.audio << r.audioFormat
            << r.audioQuality << int(r.audioPreserveVideo) << r.mergeOutputFormat << r.formatSort
            << r.note << int(r.naming) << cookieSourceId(r.options.cookies.source)
            << r.options.cookies.browser << r.options.cookies.profile << r.options.cookies.file
            << job.title << job.picturePath << job.fetched << jobStateId(job.state) << job.reason
            << job.detail << job.progress.percent << job.files << job.destinations << job.begun
            << job.retries << job.added.toUTC() << job.ended.toUTC() << r.subtitles.languages
            << r.subtitles.regular << r.subtitles.automatic << r.subtitles.embed << r.embed.metadata
            << r.embed.thumbnail << r.embed.chapters << job.warning;
    }
    return forms;
}

void keepLogged(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_logged << message;
}
} // namespace

class tst_Download final : public QObject
{
    Q_OBJECT

private slots:
    void queueNotices_data();
    void queueNotices();
    void commandLine_data();
    void commandLine();
    void optionRules_data();
    void optionRules();
    void qualityAndFolderRules();
    void listNames_data();
    void listNames();
    void mergedFormats_data();
    void mergedFormats();
    void monitorLines_data();
    void monitorLines();
    void removalStaysInsideFolder_data();
    void removalStaysInsideFolder();
    void onlyOldAndUnfinishedFilesGo_data();
    void onlyOldAndUnfinishedFilesGo();
    void storeKeepsJobs();
    void storeOfVersionOneGainsWarnings();
    void storedRequestRefusesJunk_data();
    void storedRequestRefusesJunk();
    void killedWriterLosesNoCommittedJob();
    void unusableDatabaseIsLeftAlone_data();
    void unusableDatabaseIsLeftAlone();
    void queueRules_data();
    void queueRules();
    void queueModel();
    void pauseKeepsEveryByte();
    void subtitlesAndEmbedding_data();
    void subtitlesAndEmbedding();
};

void tst_Download::commandLine_data()
{
    QTest::addColumn<DownloadRequest>("request");
    QTest::addColumn<QString>("line");
    // The audio settings are always filled in: a plain download must leave them out.
    const auto row = [](const char *name, const QString &folder, const QString &codes, bool audio,
                        ControlState keep, const QString &line, const QString &runtime = {},
                        const QString &merge = {}, FileNaming naming = {}) {
        const DownloadRequest request {u"/t/youtube-dl"_s,
                                       u"/t/ff mpeg"_s,
                                       folder,
                                       u"https://a/w?v=1&x='$(y)'"_s,
                                       codes.split(u',', Qt::SkipEmptyParts),
                                       audio,
                                       u"mp3"_s,
                                       192,
                                       keep,
                                       DownloaderOptions {runtime},
                                       merge,
                                       {},
                                       {},
                                       naming,
                                       {}};
        QTest::newRow(name) << request
                            << u"'/t/youtube-dl' -o '"_s + line
                + u" --ignore-config --no-playlist -- 'https://a/w?v=1&x='\\''$(y)'\\'''"_s;
    };
    const QString plain = u"%(title)s%(format_id)s%(format)s.%(ext)s' --restrict-filenames -f '22' "
                          "--no-continue --youtube-skip-dash-manifest"_s;
    const QString audio = plain
        + u" -x --ffmpeg-location '/t/ff mpeg' --audio-format 'mp3' --audio-quality '192k'"_s;
    const ControlState on = ControlState::On;
    row("plain", u"/v"_s, u"22"_s, false, on, u"/v/"_s + plain);
    row("audio, keep video", u"/v"_s, u"22"_s, true, on, u"/v/"_s + audio + u" -k"_s);
    row("audio, video not kept", u"/v"_s, u"22"_s, true, ControlState::Off, u"/v/"_s + audio);
    row("audio, keep video mixed", u"/v"_s, u"22"_s, true, ControlState::Mixed, u"/v/"_s + audio);
    row("no code gives best", u"/v"_s, {}, false, on,
        u"/v/"_s + QString(plain).replace(u"'22'"_s, u"'best'"_s));
    row("a JavaScript runtime named", u"/v"_s, u"22"_s, true, on,
        u"/v/"_s + audio + u" -k --js-runtimes 'node:/o p/node'"_s, u"node:/o p/node"_s);
    row("merged into mkv", u"/v"_s, u"137+140,18"_s, false, on,
        u"/v/"_s + QString(plain).replace(u"'22'"_s, u"'137+140,18'"_s)
            + u" --merge-output-format 'mkv' --ffmpeg-location '/t/ff mpeg'"_s,
        {}, u"mkv"_s);
    // Each ready-made choice, with the Preferences at opus, 5, keep the video, mkv.
    const auto choiceRow = [&plain](const char *name, QualityChoice quality, const QString &codes,
                                    const QString &rest) {
        DownloadChoice choice;
        choice.folder = u"/v"_s;
        choice.address = u"https://a/w?v=1&x='$(y)'"_s;
        choice.audio = {u"opus"_s, 5, ControlState::On};
        choice.quality = quality;
        choice.container = u"mkv"_s;
        DownloadRequest request = makeDownloadRequest(choice);
        request.youtubeDLPath = u"/t/youtube-dl"_s;
        request.ffmpegPath = u"/t/ff mpeg"_s;
        QTest::newRow(name) << request
                            << u"'/t/youtube-dl' -o '/v/"_s
                + QString(plain).replace(u"'22'"_s, codes) + rest
                + u" --ignore-config --no-playlist -- 'https://a/w?v=1&x='\\''$(y)'\\'''"_s;
    };
    const QString into = u" --merge-output-format '%1' --ffmpeg-location '/t/ff mpeg'"_s;
    const QString extract
        = u" -x --ffmpeg-location '/t/ff mpeg' --audio-format '%1' --audio-quality '5'"_s;
    choiceRow("best quality", QualityChoice::Best, u"'bv*+ba/b'"_s, into.arg(u"mkv"_s));
    choiceRow("mp4 compatible", QualityChoice::Mp4Compatible, u"'bv*+ba/b'"_s,
              into.arg(u"mp4"_s) + u" -S 'vcodec:h264,acodec:aac'"_s);
    choiceRow("1080p at most", QualityChoice::UpTo1080, u"'bv*+ba/b'"_s,
              into.arg(u"mkv"_s) + u" -S 'res:1080'"_s);
    choiceRow("720p at most", QualityChoice::UpTo720, u"'bv*+ba/b'"_s,
              into.arg(u"mkv"_s) + u" -S 'res:720'"_s);
    choiceRow("audio mp3", QualityChoice::AudioMp3, u"'ba/b'"_s, extract.arg(u"mp3"_s));
    choiceRow("original audio", QualityChoice::AudioOriginal, u"'ba/b'"_s, extract.arg(u"best"_s));
    choiceRow("ticked formats, none ticked", QualityChoice::Ticked, u"'best'"_s, {});
    row("root folder", u"/"_s, u"22"_s, false, on, u"/"_s + plain);
    // The downloader would read "%(id)s" in a folder as a field of the template.
    row("folder with apostrophes and percent signs", u"/v/L'été 50%/%(id)s"_s, u"22"_s, false, on,
        u"/v/L'\\''été 50%%/%%(id)s/"_s + plain);
    row("title and code", u"/v"_s, u"22"_s, false, on,
        u"/v/%(title)s [%(format_id)s].%(ext)s"_s + plain.sliced(plain.indexOf(u'\'')), {}, {},
        FileNaming::TitleAndCode);
    // The downloader reads the list's name as a template, as it does the folder.
    DownloadRequest named;
    named.youtubeDLPath = u"/t/youtube-dl"_s;
    named.folder = u"/v"_s;
    named.address = u"-a"_s;
    named.formatIDs = {u"22"_s};
    named.finalFilesList = u"/w 50%/list"_s;
    QTest::newRow("final files named") << named
                                       << u"'/t/youtube-dl' -o '/v/"_s + plain
            + u" --print-to-file 'after_move:filepath' '/w 50%%/list' --ignore-config "
              "--no-playlist -- '-a'"_s;
    DownloadRequest carryingOn = named;
    carryingOn.finalFilesList.clear();
    carryingOn.continuePartial = true;
    QTest::newRow("carrying on from partial files") << carryingOn
                                                    << u"'/t/youtube-dl' -o '/v/"_s
            + QString(plain).replace(u"--no-continue"_s, u"--continue"_s)
            + u" --ignore-config --no-playlist -- '-a'"_s;
    // A list's entry: its place before the title, nothing else of the prefix in the word.
    DownloadRequest numbered = carryingOn;
    numbered.continuePartial = false;
    numbered.namePrefix = u"0'7$(x)-"_s;
    QTest::newRow("numbered entry")
        << numbered
        << u"'/t/youtube-dl' -o '/v/07-"_s + plain + u" --ignore-config --no-playlist -- '-a'"_s;
    numbered.naming = FileNaming::Title;
    QTest::newRow("numbered entry, title alone")
        << numbered
        << u"'/t/youtube-dl' -o '/v/%(id)s#%(format_id)s#07-%(title)s.%(ext)s"_s
            + plain.sliced(plain.indexOf(u'\''))
            + u" --no-overwrites --ignore-config "
              "--no-playlist -- '-a'"_s;
    DownloadRequest archived = carryingOn;
    archived.continuePartial = false;
    archived.downloadArchive = u"/d/Q 50%/archive.txt"_s;
    QTest::newRow("download archive") << archived
                                      << u"'/t/youtube-dl' -o '/v/"_s + plain
            + u" --download-archive '/d/Q 50%/archive.txt' --ignore-config --no-playlist -- '-a'"_s;
    row("title alone: marked, nothing replaced", u"/v"_s, u"22"_s, false, on,
        u"/v/%(id)s#%(format_id)s#%(title)s.%(ext)s"_s + plain.sliced(plain.indexOf(u'\''))
            + u" --no-overwrites"_s,
        {}, {}, FileNaming::Title);
}

void tst_Download::commandLine()
{
    QFETCH(DownloadRequest, request);
    QFETCH(QString, line);
    QCOMPARE(composeDownloadCommand(request), line);
}

void tst_Download::optionRules_data()
{
    QTest::addColumn<DownloadChoice>("choice");
    // Words that the command line holds, and words that it must not hold.
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    // What the download says of the choice; empty: nothing.
    QTest::addColumn<QString>("note");
    DownloadChoice base;
    base.folder = u"/v"_s;
    base.address = u"https://a/w"_s;
    base.quality = QualityChoice::Best;
    base.container = u"mkv"_s;
    base.audio = {u"mp3"_s, 0, ControlState::Off};
    QTest::newRow("nothing asked") << base << QStringList {}
                                   << QStringList {u"--cookies"_s, u"--cookies-from-browser"_s,
                                                   u"-subs"_s, u"--embed"_s, u"--ignore-errors"_s}
                                   << QString();

    // Where the cookies come from.
    const auto withCookies = [&base](const CookieChoice &cookies, const QString &copy = {}) {
        DownloadChoice choice = base;
        choice.options.cookies = cookies;
        choice.options.cookieCopy = copy;
        return choice;
    };
    const QString userFile = u"/home/u/cookies.txt"_s;
    QTest::newRow("cookies: none, a copy left over")
        << withCookies({}, u"/w/cookies-1.txt"_s) << QStringList {} << QStringList {u"--cookies"_s}
        << QString();
    QTest::newRow("cookies: a browser's own profile")
        << withCookies({CookieSource::Browser, u"firefox"_s})
        << QStringList {u" --cookies-from-browser 'firefox' --ignore-config"_s}
        << QStringList {u"--cookies '"_s} << QString();
    // One word for the shell, whatever the folder's name.
    QTest::newRow("cookies: a profile with a space and an apostrophe")
        << withCookies({CookieSource::Browser, u"chrome"_s, u"/home/u/l'a b/Profile 1"_s})
        << QStringList {u" --cookies-from-browser 'chrome:/home/u/l'\\''a b/Profile 1' "_s}
        << QStringList {} << QString();
    // The downloader writes back into the file it is given: the user's own is never given.
    QTest::newRow("cookies: a file, through its copy")
        << withCookies({CookieSource::File, {}, {}, userFile}, u"/w/cookies-1.txt"_s)
        << QStringList {u" --cookies '/w/cookies-1.txt' "_s}
        << QStringList {userFile, u"--cookies-from-browser"_s} << QString();
    QTest::newRow("cookies: a file without its copy")
        << withCookies({CookieSource::File, {}, {}, userFile}) << QStringList {}
        << QStringList {u"--cookies"_s, userFile} << QString();

    // Subtitles, and what goes into the file.
    const auto with = [&base](SubtitleRequest subtitles, EmbedChoice embed = {}) {
        DownloadChoice choice = base;
        choice.subtitles = std::move(subtitles);
        choice.embed = embed;
        return choice;
    };
    const auto format = [](const char *id, const char *extension, FormatKind kind) {
        formatYoutube f;
        f.formatID = QString::fromLatin1(id);
        f.codec = QString::fromLatin1(extension);
        f.kind = kind;
        return f;
    };
    QTest::newRow("subtitles as files")
        << with({{u"fr"_s}, true, false, false})
        << QStringList {u" --write-subs --sub-langs 'fr' --convert-subs srt --ignore-errors"_s}
        << QStringList {u"--write-auto-subs"_s, u"--embed"_s} << QString();
    QTest::newRow("embedded, one automatic")
        << with({{u"en"_s}, false, true, true})
        << QStringList {u" --write-auto-subs --sub-langs 'en' --embed-subs --compat-options "
                        "no-keep-subs --ignore-errors"_s}
        << QStringList {u"--write-subs"_s, u"--convert-subs"_s} << QString();
    QTest::newRow("both kinds")
        << with({{u"fr"_s, u"en-US"_s}, true, true, false})
        << QStringList {u" --write-subs --write-auto-subs --sub-langs 'fr,en-US' "_s}
        << QStringList {} << QString();
    DownloadChoice audio = with({{u"fr"_s}, true, false, true});
    audio.mode = DownloadMode::Audio;
    QTest::newRow("audio: subtitles beside it") << audio << QStringList {u" --convert-subs srt"_s}
                                                << QStringList {u"--embed"_s} << QString();
    audio.subtitles = {};
    audio.audio.format = u"wav"_s;
    audio.embed = {false, true, false};
    QTest::newRow("audio in wav: no picture")
        << audio << QStringList {} << QStringList {u"--embed-thumbnail"_s}
        << u"Miniature non intégrée : un fichier wav ne peut pas la contenir"_s;
    QTest::newRow("metadata, thumbnail, chapters")
        << with({}, {true, true, true})
        << QStringList {u" --embed-metadata --embed-thumbnail --embed-chapters"_s}
        << QStringList {u"-subs"_s, u"--ignore-errors"_s} << QString();
    DownloadChoice ticked = with({}, {true, true, false});
    ticked.quality = QualityChoice::Ticked;
    ticked.ticked = {format("248", "webm", FormatKind::VideoOnly),
                     format("251", "webm", FormatKind::AudioOnly)};
    QTest::newRow("ticked webm: no picture")
        << ticked << QStringList {u"--embed-metadata"_s} << QStringList {u"--embed-thumbnail"_s}
        << u"Miniature non intégrée : un fichier webm ne peut pas la contenir"_s;
    ticked.mergeContainer = u"mkv"_s;
    QTest::newRow("ticked webm merged into mkv")
        << ticked << QStringList {u"--embed-thumbnail"_s} << QStringList {} << QString();
    ticked.mergeContainer.clear();
    ticked.ticked = {format("18", "mp4", FormatKind::VideoAndAudio)};
    ticked.embed = {false, false, true};
    QTest::newRow("embedding alone names the converter")
        << ticked << QStringList {u" --embed-chapters --ffmpeg-location '/t/ffmpeg'"_s}
        << QStringList {} << QString();
}

void tst_Download::optionRules()
{
    QFETCH(DownloadChoice, choice);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QFETCH(QString, note);
    DownloadRequest request = makeDownloadRequest(choice);
    request.youtubeDLPath = u"/t/youtube-dl"_s;
    request.ffmpegPath = u"/t/ffmpeg"_s;
    const QString line = composeDownloadCommand(request);
    for (const QString &word : present) {
        QVERIFY2(line.contains(word), qPrintable(word + u" missing from "_s + line));
    }
    for (const QString &word : absent) {
        QVERIFY2(!line.contains(word), qPrintable(word + u" found in "_s + line));
    }
    QCOMPARE(request.note, note);
}

void tst_Download::qualityAndFolderRules()
{
    // The smallest qint32 has no positive counterpart in 32 bits.
    for (const auto &[quality, text] : QList<std::pair<qint32, QString>> {
             {0, u"0"_s},
             {9, u"9"_s},
             {10, u"10k"_s},
             {-5, u"5"_s},
             {-128, u"128k"_s},
             {std::numeric_limits<qint32>::min(), u"2147483648k"_s}}) {
        QCOMPARE(audioQualityText(quality), text);
    }
    QTemporaryDir root;
    for (const auto &[name, refusal] :
         QList<std::pair<QString, QString>> {{u"Vidéos ~ $$ $ 50% ~b"_s, {}},
                                             {u"$HOME"_s, u"Dossier refusé"_s},
                                             {u"x${PATH}"_s, u"Dossier refusé"_s},
                                             {u"$$HOME"_s, u"Dossier refusé"_s},
                                             {u"$é"_s, u"Dossier refusé"_s}}) {
        QVERIFY(QDir().mkpath(root.filePath(name)));
        QVERIFY2(folderRefusal(root.filePath(name)).startsWith(refusal), qPrintable(name));
        QCOMPARE(folderRefusal(root.filePath(name)).isEmpty(), refusal.isEmpty());
    }
    QVERIFY(folderRefusal(root.filePath(u"gone"_s)).startsWith(u"Dossier introuvable"_s));
    QCOMPARE(selectionNote({{}, {u"137+140"_s}, {u"136"_s}}),
             u"Aucun format audio coché : réuni au meilleur son proposé (137+140) ; Formats sans "
             "son laissés de côté : 136"_s);
}

void tst_Download::listNames_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("accents and blanks") << u"  Ma liste  d'été "_s << u"Ma_liste_dete"_s;
    QTest::newRow("a way out") << u"../../etc"_s << u"etc"_s;
    QTest::newRow("dots alone") << u".."_s << u"liste"_s;
    QTest::newRow("empty") << QString() << u"liste"_s;
    QTest::newRow("no Latin letter") << u"日本語"_s << u"liste"_s;
    QTest::newRow("shell and template") << u"a$(rm -rf ~)`b` %(id)s"_s << u"arm_-rf_b_ids"_s;
    QTest::newRow("compatibility forms") << u"ﬁlm ½"_s << u"film_12"_s;
    QTest::newRow("too long") << QString(150, u'a') + u" b"_s << QString(100, u'a');
}

void tst_Download::listNames()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(restrictedFileName(title), name);
    // The chosen entries go into the list's folder, numbered to the list's width; "Formats
    // cochés" are the listed video's, not theirs.
    DownloadChoice choice;
    choice.folder = u"/v/"_s;
    choice.quality = QualityChoice::Ticked;
    const QList<DownloadRequest> requests
        = makeListRequests(choice, title,
                           {{.index = 7, .url = QUrl(u"https://a/7"_s)},
                            {.index = 12, .url = QUrl(u"https://a/12"_s)}},
                           120);
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(1).folder, u"/v/"_s + name);
    QCOMPARE(requests.at(0).namePrefix + requests.at(1).namePrefix, u"007-012-"_s);
    QCOMPARE(requests.at(1).address + requests.at(1).formatIDs.join(u','),
             u"https://a/12bv*+ba/b"_s);
}

void tst_Download::mergedFormats_data()
{
    QTest::addColumn<QString>("ticked"); // listing lines, separated by "|"
    QTest::addColumn<QString>("unticked"); // listed beside them
    QTest::addColumn<QString>("plain"); // the codes asked for as ticked, merged, for the audio
    QTest::addColumn<QString>("merged");
    QTest::addColumn<QString>("audio");
    const auto row = [](const char *name, const QString &ticked, const QString &unticked,
                        const QString &plain, const QString &merged, const QString &audio) {
        QTest::newRow(name) << ticked << unticked << plain << merged << audio;
    };
    const QString video = u"137 mp4 1920x1080 video only|136 mp4 1280x720 video only"_s;
    const QString audio
        = u"|140 m4a audio only 129k|251 webm audio only 160k|249 webm audio only 160k"_s;
    row("two videos, the best audio", video + audio, {}, u"137,136,140,251,249"_s,
        u"137+251,136+251"_s, u"140,251,249"_s);
    row("with sound stays as it is", u"18 mp4 640x360 360p|"_s + video + audio, {},
        u"18,137,136,140,251,249"_s, u"18,137+251,136+251"_s, u"18,140,251,249"_s);
    row("no audio to join", video, {}, u"137,136"_s, u"137,136"_s, {});
    row("no video to join", u"140 m4a audio only 129k"_s, {}, u"140"_s, u"140"_s, u"140"_s);
    row("no audio ticked: the best listed", video, audio, u"137,136"_s, u"137+251,136+251"_s, {});
    row("a ticked audio before the listed", video + audio.first(24), audio.mid(24),
        u"137,136,140"_s, u"137+140,136+140"_s, u"140"_s);
    row("a code ticked twice, asked once", video + u'|' + video, audio, u"137,136"_s,
        u"137+251,136+251"_s, {});
}

void tst_Download::mergedFormats()
{
    QFETCH(QString, ticked);
    QFETCH(QString, unticked);
    QFETCH(QString, plain);
    QFETCH(QString, merged);
    QFETCH(QString, audio);
    QList<formatYoutube> listed;
    for (const QString &line : QString(ticked + u'|' + unticked).split(u'|', Qt::SkipEmptyParts)) {
        listed << *parseFormatLine(line);
    }
    const QList<formatYoutube> formats = listed.first(ticked.count(u'|') + 1);
    for (const auto &[use, codes] :
         {std::pair {FormatUse::AsTicked, plain}, std::pair {FormatUse::Merged, merged},
          std::pair {FormatUse::Audio, audio}}) {
        QCOMPARE(selectFormats(formats, listed, use).ids.join(u','), codes);
    }
}

void tst_Download::monitorLines_data()
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
        "\"/v/a b.mkv\"\n[Merger] Merging formats into \"/v/cut\n[Merger] Merging formats into "
        "\"\n",
        u"C /v/a.mp3|C /v/a b.mkv"_s);
    row("speed and time left",
        "[download]  42.3% of ~ 10.00MiB at 1.23MiB/s ETA 00:05 (frag 3/20)\n"
        "[download]   0.0% of ~ 10.00MiB at Unknown B/s ETA Unknown\n",
        u"P 42.3 1.23MiB/s 00:05|P 0"_s);
    row("files: how many, already there, deleted",
        "[info] x: Downloading 2 format(s): 137+140, 18\n[download] /v/a b.mp4 has already been "
        "downloaded\n[ExtractAudio] Deleting original file /v/a.m4a (pass -k to keep)\n",
        u"F 3|A /v/a b.mp4|X /v/a.m4a"_s);
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
    // Cookies that the downloader could not take from a browser end it with a traceback.
    row("a traceback's last line",
        "[Cookies] Extracting cookies from firefox\nTraceback (most recent call last):\n  File "
        "\"/y.py\", line 1, in x\n    raise FileNotFoundError(f'could not find')\n"
        "FileNotFoundError: could not find firefox cookies database in /x\n",
        u"E FileNotFoundError: could not find firefox cookies database in /x"_s);
    row("subtitles missed",
        "WARNING: Unable to download video subtitles for 'fr': HTTP Error 429: Too Many "
        "Requests\nERROR: Unable to download video subtitles for 'pt-BR': timed out\n"
        "WARNING: Unable to download video subtitles for 'x'\n",
        u"S fr HTTP Error 429: Too Many Requests|S pt-BR timed out|E Unable to download video "
        "subtitles for 'pt-BR': timed out"_s);
    row("unfinished last line", "[download] Destination: /v/c.mp4\r[download]  99.9% of x",
        u"D /v/c.mp4|P 99.9"_s);
}

void tst_Download::monitorLines()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, events);
    // Read whole, cut in two at every byte, and one byte at a time: a line or a character
    // split between reads must change nothing.
    const QStringList expected = events.split(u'|', Qt::SkipEmptyParts);
    QCOMPARE(eventsOf({output}), expected);
    QList<QByteArray> bytes;
    for (qsizetype cut = 0; cut < output.size(); ++cut) {
        QCOMPARE(eventsOf({output.first(cut), output.sliced(cut)}), expected);
        bytes << output.sliced(cut, 1);
    }
    QCOMPARE(eventsOf(bytes), expected);
    // Neither an unfinished line nor a pending CR leaks into the next stream.
    QCOMPARE(eventsOf({output + '\r', QByteArray(), output}), expected + expected);
}

void tst_Download::removalStaysInsideFolder_data()
{
    QTest::addColumn<QByteArray>("folder"); // the chosen folder
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("removed"); // otherwise refused, with a warning
    const auto row = [](const char *name, const QByteArray &folder, const QByteArray &path,
                        bool removed) { QTest::newRow(name) << folder << path << removed; };
    row("regular file", "f", "f/clip.mp4", true);
    row("dot-dot staying inside", "f", "f/sub/../clip.mp4", true);
    row("link to a file outside: only the link", "f", "f/link.mp4", true);
    row("name that is not UTF-8", "f", "f/\xff.mp4", true);
    row("folder chosen through a link", "folderlink", "f/clip.mp4", true);
    row("the folder itself", "f", "f", false);
    row("a subfolder", "f", "f/sub", false);
    row("outside", "f", "outside/secret.txt", false);
    row("dot-dot escape", "f", "f/../outside/secret.txt", false);
    row("sibling sharing the name's start", "f", "fbc/other.mp4", false);
    row("through a linked folder outside", "f", "f/escape/secret.txt", false);
}

void tst_Download::removalStaysInsideFolder()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, path);
    QFETCH(bool, removed);
    QTemporaryDir root;
    QVERIFY(runIn(root.path(),
                  u"mkdir -p f/sub outside fbc && echo kept | tee f/clip.mp4 f/sub/inner.mp4 "
                  "outside/secret.txt fbc/other.mp4 $'f/\\xff.mp4' $'f/\\xef\\xbf\\xbd.mp4' "
                  ">/dev/null && "
                  "ln -s ../outside f/escape && ln -s ../outside/secret.txt f/link.mp4 && "
                  "ln -s nowhere f/dangling && ln -s f folderlink"_s)
                .isEmpty());
    const QByteArray top = QFile::encodeName(root.path()) + '/';
    if (!removed) {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"^Fichier .* ne peut être "
                                                "supprimé : "_s));
    }
    const QString list = u"ls -A1 f; cat outside/secret.txt; ls f/sub"_s;
    QByteArrayList expected = runIn(root.path(), list);
    QCOMPARE(deleteFile(top + path, top + folder), removed);
    // Whatever the path, at most that one entry went; no folder and nothing outside did.
    if (removed) {
        expected.removeOne(path.sliced(path.lastIndexOf('/') + 1));
    }
    QCOMPARE(runIn(root.path(), list), expected);
}

void tst_Download::onlyOldAndUnfinishedFilesGo_data()
{
    QTest::addColumn<QString>("before"); // shell commands run in the folder before the start
    QTest::addColumn<QString>("during"); // ... and after it
    QTest::addColumn<QByteArrayList>(
        "announced"); // "D name": destination, "C name": conversion, "F": done, "N name": named
                      // final; "K" first: old files kept, "T name": renamed to its title
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QByteArrayList>("after");
    const auto row = [](const char *name, const QString &before, const QString &during,
                        const QByteArrayList &announced, bool cancel, const QByteArrayList &after) {
        QTest::newRow(name) << before << during << announced << cancel << after;
    };
    row("a destination not written yet", {}, {}, {"D a.mp4"}, false, {});
    row("an old file at a destination goes", u"echo old > a.mp4"_s, {}, {"D a.mp4"}, false, {});
    // The downloader wrote the file before its announcement was read, in the same second
    // as the start or with another clock: by identity, it is this download's.
    row("a file written since the start stays", {}, u"echo new > a.mp4"_s, {"D a.mp4"}, false,
        {"a.mp4"});
    row("an old file replaced since the start stays", u"echo old > a.mp4"_s,
        u"echo new > n && mv n a.mp4"_s, {"D a.mp4"}, false, {"a.mp4"});
    row("names are bytes, not decoded text", u"touch $'\\xff.mp4' $'\\xef\\xbf\\xbd.mp4'"_s, {},
        {"D \xff.mp4"}, false, {"\xef\xbf\xbd.mp4"});
    row("cancel: partial and temporary files go", u"touch a.mp4.part other.mp4"_s,
        u"touch a.mp4.part a.mp4.ytdl a.mp4.part-Frag1 a.temp.mp4 b.mp4.part"_s, {"D a.mp4"}, true,
        {"b.mp4.part", "other.mp4"});
    row("cancel during a conversion", {}, u"touch a.m4a a.mp3 a.temp.m4a"_s, {"D a.m4a", "C a.mp3"},
        true, {"a.m4a"});
    row("cancel after a finished conversion", {}, u"touch a.m4a a.mp3 b.m4a.part"_s,
        {"D a.m4a", "C a.mp3", "D b.m4a"}, true, {"a.m4a", "a.mp3"});
    row("cancel once the converter is done", {}, u"touch a.mp3"_s, {"D a.m4a", "C a.mp3", "F"},
        true, {"a.mp3"});
    row("cancel once the converted file is named final", {}, u"touch a.m4a a.mp3"_s,
        {"D a.m4a", "C a.mp3", "N a.m4a", "N a.mp3"}, true, {"a.m4a", "a.mp3"});
    row("cancel before the converter replaced an old file", u"echo old > a.mp3"_s, u"touch a.m4a"_s,
        {"D a.m4a", "C a.mp3"}, true, {"a.m4a", "a.mp3"});
    // Outside the folder ("o" beside it; "/o" from their parent), nothing goes.
    row("an old file outside stays", u"echo old > ../o/a.mp4; ln -s ../o l"_s, {},
        {"D ../o/a.mp4", "D /o/a.mp4", "D l/a.mp4"}, false, {"../o/a.mp4", "l"});
    row("cancel: unfinished files outside stay", u"ln -s ../o l"_s,
        u"cd ../o && touch a.mp4.part a.mp4.part-Frag1 a.temp.mp4 b.mp3 b.temp.mp3"_s,
        {"D l/a.mp4", "D /o/a.mp4", "C ../o/b.mp3"}, true,
        {"../o/a.mp4.part", "../o/a.mp4.part-Frag1", "../o/a.temp.mp4", "../o/b.mp3",
         "../o/b.temp.mp3", "l"});
    row("title alone: no file replaced, names numbered",
        u"echo old > Clip.mp4; echo old > v#18#Clip.mp4"_s, u"touch v#22#Clip.mp4 plain.mp4"_s,
        {"K", "D v#18#Clip.mp4", "T v#18#Clip.mp4", "T v#22#Clip.mp4", "T plain.mp4"}, false,
        {"Clip-2.mp4", "Clip-3.mp4", "Clip.mp4", "plain.mp4"});
}

void tst_Download::onlyOldAndUnfinishedFilesGo()
{
    QFETCH(QString, before);
    QFETCH(QString, during);
    QFETCH(QByteArrayList, announced);
    QFETCH(bool, cancel);
    QFETCH(QByteArrayList, after);
    QTemporaryDir root;
    const QString folder = root.filePath(u"f"_s);
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(root.filePath(u"o"_s)));
    const QByteArray path = QFile::encodeName(folder);
    QCOMPARE(runIn(folder, before), QByteArrayList());
    DestinationCleanup cleanup;
    cleanup.begin(path,
                  announced.value(0) == "K" ? DestinationCleanup::OldFiles::Kept
                                            : DestinationCleanup::OldFiles::Replaced);
    QCOMPARE(runIn(folder, during), QByteArrayList());
    s_logged.clear();
    const QtMessageHandler previousHandler = qInstallMessageHandler(keepLogged);
    for (const QByteArray &announcement : std::as_const(announced)) {
        const QByteArray name = announcement.mid(2);
        const QByteArray file = (name.startsWith('/') ? root.path().toUtf8() : path + '/') + name;
        announcement[0] == 'D'       ? cleanup.destinationAnnounced(file)
            : announcement[0] == 'C' ? cleanup.conversionAnnounced(file)
            : announcement[0] == 'T' ? void(moveToFreeName(file))
            : announcement[0] == 'N' ? cleanup.finalFileNamed(file)
                                     : cleanup.conversionFinished();
    }
    if (cancel) {
        cleanup.removeUnfinished();
    }
    qInstallMessageHandler(previousHandler);
    // A file that is not there is no news: every download announces such destinations.
    QVERIFY2(s_logged.filter(u"il n'existe pas"_s).isEmpty(), qPrintable(s_logged.join(u'\n')));
    QCOMPARE(runIn(folder, u"ls -A1; ls -A ../o | sed s,^,../o/,"_s), after);
}

void tst_Download::storeKeepsJobs()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"données d'été/queue.sqlite"_s);
    QList<DownloadJob> jobs(3);
    for (int index = 0; index < jobs.size(); ++index) {
        DownloadJob &job = jobs[index];
        job.request.folder = u"/tmp/Vidéos \"l'été\" $HOME\n%1"_s.arg(index);
        job.request.address = u"https://a/w?v=1&x='$(y)'#%1"_s.arg(index);
        job.request.formatIDs = QStringList {u"137+140"_s, u"22"_s}.mid(index);
        job.request.audio = index == 1;
        job.request.audioFormat = u"opus"_s;
        job.request.audioQuality = 192 + index;
        job.request.audioPreserveVideo = ControlState(index - 1);
        job.request.mergeOutputFormat = u"mkv"_s;
        job.request.formatSort = u"res:720"_s;
        job.request.note = u"Formats 137, 140 : l'audio ajouté"_s;
        job.request.naming = FileNaming(index);
        // The job keeps the cookies it was made with: where from, never what.
        job.request.options.cookies = {CookieSource(index), u"firefox"_s,
                                       u"/home/u/l'été/x.default"_s, u"/home/u/c ookies.txt"_s};
        job.title = u"Ça « marche » 🎬 <b>%1</b>\t\\ '; DROP TABLE jobs; --"_s.arg(index);
        job.picturePath = u"/tmp/é/%1.jpg"_s.arg(index);
        job.fetched = u"Audio mp3"_s;
        job.state = JobState(index + 3);
        job.reason = u"Échec du téléchargement"_s;
        job.detail = u"ERROR: [generic] 404 <"_s;
        job.progress.percent = 12.5 * index;
        job.files = {u"/tmp/a b.mp4"_s, u"/tmp/ç|d.m4a"_s};
        job.destinations = {u"/tmp/a b.f137.mp4.part"_s};
        job.begun = index != 0;
        job.retries = index % 2;
        job.added = QDateTime::currentDateTime().addDays(-index);
        job.ended = index == 0 ? QDateTime() : QDateTime::currentDateTimeUtc();
        job.request.subtitles
            = {QStringList {u"fr"_s, u"en-US"_s}.mid(index), index != 1, index != 0, index == 2};
        job.request.embed = {index == 0, index == 1, index != 2};
        job.warning = index == 2 ? u"Sous-titres fr non téléchargés : <i>429</i>"_s : QString();
    }
    {
        JobStore store(path);
        QVERIFY2(store.isOpen(), qPrintable(store.problem()));
        for (DownloadJob &job : jobs) {
            QVERIFY(store.insert(job));
        }
        QVERIFY(jobs[0].id > 0 && jobs[1].id > jobs[0].id);
        jobs[1].state = JobState::Running;
        jobs[1].progress.percent = 99.9;
        QVERIFY(store.save(jobs[1]));
    }
    JobStore store(path);
    QCOMPARE(storedForms(store.load()), storedForms(jobs));
    std::reverse(jobs.begin(), jobs.end());
    QVERIFY(store.setOrder({jobs[0].id, jobs[1].id, jobs[2].id}));
    QVERIFY(store.remove({jobs[1].id}));
    jobs.removeAt(1);
    QCOMPARE(storedForms(store.load()), storedForms(jobs));
    // A removed job is not brought back by a late save.
    DownloadJob removed;
    removed.id = jobs[0].id + 1;
    QVERIFY(!store.save(removed));
    QCOMPARE(store.load().size(), 2);
}

void tst_Download::storeOfVersionOneGainsWarnings()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"queue.sqlite"_s);
    {
        QSqlDatabase old = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"old"_s);
        old.setDatabaseName(path);
        QVERIFY(old.open());
        QSqlQuery query(old);
        QVERIFY(query.exec(u"CREATE TABLE jobs (id INTEGER PRIMARY KEY AUTOINCREMENT, position "
                           "INTEGER NOT NULL, request TEXT NOT NULL, title TEXT, picture TEXT, "
                           "fetched TEXT, state TEXT, reason TEXT, detail TEXT, percent REAL, "
                           "files TEXT, destinations TEXT, begun INTEGER, retries INTEGER, "
                           "added TEXT, ended TEXT)"_s));
        QVERIFY(query.exec(u"INSERT INTO jobs (position, request, state) VALUES (1, "
                           "'{\"folder\": \"/v\", \"address\": \"a\"}', 'finished')"_s));
        QVERIFY(query.exec(u"PRAGMA user_version = 1"_s));
    }
    QSqlDatabase::removeDatabase(u"old"_s);
    JobStore store(path);
    QList<DownloadJob> jobs = store.load();
    QCOMPARE(jobs.size(), 1);
    QVERIFY(jobs[0].warning.isEmpty() && jobs[0].request.subtitles == SubtitleRequest());
    jobs[0].warning = u"Sous-titres fr non téléchargés"_s;
    QVERIFY(store.save(jobs[0]));
    QCOMPARE(store.load().value(0).warning, jobs[0].warning);
}

void tst_Download::storedRequestRefusesJunk_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("read");
    QTest::addRow("empty") << QByteArray() << false;
    QTest::addRow("not JSON") << QByteArray("\xff\xfe{{") << false;
    QTest::addRow("array") << QByteArray(R"([{"folder":"/a","address":"b"}])") << false;
    QTest::addRow("no folder") << QByteArray(R"({"address":"b"})") << false;
    QTest::addRow("address a number") << QByteArray(R"({"folder":"/a","address":3})") << false;
    QTest::addRow("empty address") << QByteArray(R"({"folder":"/a","address":""})") << false;
    QTest::addRow("odd fields") << QByteArray(R"({"folder":"/a","address":"b","audio":"x",)"
                                              R"("formatIDs":{"1":2},"naming":7,)"
                                              R"("subtitles":{"languages":["fr","../x",3,"-en"]}})")
                                << true;
}

void tst_Download::storedRequestRefusesJunk()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, read);
    const std::optional<DownloadRequest> request = requestFromJson(json);
    QCOMPARE(request.has_value(), read);
    if (read) {
        QCOMPARE(request->naming, FileNaming::TitleCodeAndFormat);
        QVERIFY(request->formatIDs.isEmpty() && !request->audio);
        // Stored before the cookies.
        QCOMPARE(request->options.cookies, CookieChoice {});
        // A code names a file beside the video: nothing but a code is taken.
        QCOMPARE(request->subtitles.languages, QStringList {u"fr"_s});
    }
}

void tst_Download::killedWriterLosesNoCommittedJob()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"queue.sqlite"_s);
    QProcess writer;
    writer.start(TestSupport::standInQuorvel(), {u"store"_s, path});
    // Each id is printed once its job is committed.
    QList<qint64> committed;
    const auto readCommitted = [&] {
        while (writer.canReadLine()) {
            committed << writer.readLine().trimmed().toLongLong();
        }
        return committed.size() >= 30;
    };
    QVERIFY(QTest::qWaitFor(
        [&] { return readCommitted() || writer.state() == QProcess::NotRunning; }, 60'000));
    writer.kill();
    QVERIFY(writer.waitForFinished() && readCommitted());
    {
        JobStore store(path);
        QVERIFY2(store.isOpen(), qPrintable(store.problem()));
        QList<qint64> loaded;
        for (const DownloadJob &job : store.load()) {
            loaded << job.id;
        }
        QCOMPARE(loaded.mid(0, committed.size()), committed);
    }
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
        database.setDatabaseName(path);
        QSqlQuery query(database);
        QVERIFY(database.open() && query.exec(u"PRAGMA integrity_check"_s) && query.next());
        QCOMPARE(query.value(0).toString(), u"ok"_s);
    }
    QSqlDatabase::removeDatabase(u"check"_s);
}

void tst_Download::unusableDatabaseIsLeftAlone_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("damaged");
    QTest::addRow("garbage") << u"garbage"_s << true;
    QTest::addRow("truncated") << u"truncated"_s << true;
    QTest::addRow("locked by another program") << u"locked"_s << false;
    QTest::addRow("read-only folder") << u"read-only"_s << false;
}

void tst_Download::unusableDatabaseIsLeftAlone()
{
    QFETCH(QString, how);
    QFETCH(bool, damaged);
    if (how == u"read-only"_s && ::geteuid() == 0) {
        QSKIP("root writes in a read-only folder");
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"queue.sqlite"_s);
    if (how == u"garbage"_s) {
        QVERIFY(TestSupport::writeFile(path, QByteArray(5000, '\x5a')));
    } else {
        JobStore store(path);
        for (int count = 0; count < 40; ++count) {
            DownloadJob job;
            job.request.folder = u"/tmp"_s;
            job.request.address = u"a"_s;
            job.title = QString(500, u'é');
            QVERIFY(store.insert(job));
        }
    }
    if (how == u"truncated"_s) {
        QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
    }
    QSqlDatabase locker = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"locker"_s);
    locker.setDatabaseName(path);
    if (how == u"locked"_s) {
        QVERIFY(locker.open());
        QVERIFY(QSqlQuery(locker).exec(u"BEGIN EXCLUSIVE"_s));
    }
    if (how == u"read-only"_s) {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray bytes = TestSupport::readFile(path);
    {
        JobStore store(path);
        QVERIFY(!store.isOpen());
        QVERIFY(store.problem().endsWith(
            u"Les téléchargements de cette session ne seront pas conservés."_s));
        DownloadJob job;
        QVERIFY(!store.insert(job) && job.id < 0);
        QVERIFY(store.load().isEmpty());
    }
    locker.close();
    locker = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"locker"_s);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList aside = QDir(dir.path()).entryList({u"queue.sqlite.endommagé-*[0-9]"_s});
    QCOMPARE(aside.size(), damaged ? 1 : 0);
    QCOMPARE(TestSupport::readFile(damaged ? dir.filePath(aside.value(0)) : path), bytes);
    if (damaged) {
        JobStore store(path);
        QVERIFY(store.isOpen() && store.load().isEmpty());
    }
}

void tst_Download::queueNotices_data()
{
    // ok: a job finished; fail: the next job failed (Vidéo 1, erreur 1...); idle, busy: the
    // queue's activity; "|": the quiet time passes.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QStringList>("notices"); // summary|body, " / " between the body's lines
    const auto row = [](const char *name, const char *events, const QStringList &notices) {
        QTest::newRow(name) << QString::fromUtf8(events) << notices;
    };
    row("one failure", "busy fail", {u"Échec du téléchargement|Vidéo 1 / erreur 1"_s});
    row("failures together", "fail fail fail",
        {u"Échec de 3 téléchargements|Vidéo 1 / Vidéo 2 / Vidéo 3"_s});
    row("six failures: the first names", "fail fail fail fail fail fail",
        {u"Échec de 6 téléchargements|Vidéo 1 / Vidéo 2 / Vidéo 3 / Vidéo 4 / Vidéo 5 / …"_s});
    row("one job ended", "busy ok idle", {u"File d'attente terminée|1 téléchargement terminé"_s});
    row("many ended together", "ok ok ok idle",
        {u"File d'attente terminée|3 téléchargements terminés"_s});
    row("a failure, later the end", "ok fail | ok idle",
        {u"Échec du téléchargement|Vidéo 1 / erreur 1"_s,
         u"File d'attente terminée|2 téléchargements terminés, 1 en échec"_s});
    row("a failure and the end together", "ok fail idle",
        {u"File d'attente terminée|1 téléchargement terminé, 1 en échec / Vidéo 1 / erreur 1"_s});
    row("failures and the end together", "fail fail idle",
        {u"File d'attente terminée|0 téléchargement terminé, 2 en échec / Échec de 2 "
         "téléchargements / Vidéo 1 / Vidéo 2"_s});
    row("started again within the quiet time", "ok idle busy | ok idle",
        {u"File d'attente terminée|2 téléchargements terminés"_s});
    row("each emptying counts its own", "ok idle | ok ok idle",
        {u"File d'attente terminée|1 téléchargement terminé"_s,
         u"File d'attente terminée|2 téléchargements terminés"_s});
    row("paused to the end: nothing done", "busy idle", {});
}

void tst_Download::queueNotices()
{
    QFETCH(QString, events);
    QFETCH(QStringList, notices);
    QueueNotices queue;
    queue.setQuietTime(0ms);
    QStringList told;
    connect(&queue, &QueueNotices::notice, this, [&told](const QString &summary, QString body) {
        told << summary + u'|' + body.replace(u'\n', u" / "_s);
    });
    int failed = 0;
    for (const QString &event : events.split(u' ')) {
        if (event == u"ok"_s) {
            queue.jobFinished(0);
        } else if (event == u"fail"_s) {
            ++failed;
            queue.jobFailed(failed, u"Vidéo %1"_s.arg(failed), u"erreur %1"_s.arg(failed));
        } else if (event == u"|"_s) {
            QTRY_VERIFY(!queue.isPending());
        } else {
            queue.activeChanged(event == u"busy"_s);
        }
    }
    QTRY_VERIFY(!queue.isPending());
    QCOMPARE(told, notices);
}

void tst_Download::queueRules_data()
{
    // "+name": a job of that address; "p0", "r0", "c0", "R0", "x0": pause, resume, cancel,
    // retry, remove the first job; "C": clear the finished jobs; "m3": three at once; "0%":
    // wait for the job's progress, "0=failed" for its state.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("states"); // of the jobs left, in order
    QTest::addColumn<QString>("runs"); // of each job
    QTest::addColumn<QString>("files"); // in the folder
    const auto row = [](const char *name, const QString &steps, const QString &states,
                        const QString &runs, const QString &files) {
        QStringList names = files.split(u' ', Qt::SkipEmptyParts) << u"other.mp4.part"_s;
        names.sort();
        QTest::newRow(name) << steps << states << runs << names.join(u' ');
    };
    row("paused, then resumed: carries on", u"+pause 0% p0 0=paused r0 0=finished"_s, u"finished"_s,
        u"2"_s, u"pause.mp4"_s);
    row("paused: its partial file stays", u"+pause 0% p0 0=paused"_s, u"paused"_s, u"1"_s,
        u"pause.mp4.part"_s);
    row("cancelled while running", u"+pause 0% c0 0=cancelled"_s, u"cancelled"_s, u"1"_s, {});
    row("cancelled while paused", u"+pause 0% p0 0=paused c0"_s, u"cancelled"_s, u"1"_s, {});
    row("removed once paused, not while running", u"+pause 0% x0 p0 0=paused x0"_s, {}, u"1"_s,
        u"pause.mp4.part"_s);
    row("clear finished", u"+ok +Video_unavailable 0=finished 1=failed C"_s, u"failed"_s, u"1 1"_s,
        u"ok.mp4"_s);
    row("two at once: the third waits for a place",
        u"+pause1 +pause2 +pause3 0% 1% 2=waiting c0 2%"_s, u"cancelled running running"_s,
        u"1 1 1"_s, u"pause2.mp4.part pause3.mp4.part"_s);
    row("a higher limit starts more", u"+pause1 +pause2 +pause3 1% 2=waiting m3 2%"_s,
        u"running running running"_s, u"1 1 1"_s,
        u"pause1.mp4.part pause2.mp4.part pause3.mp4.part"_s);
    row("a paused job waits for no place", u"+pause1 +pause2 +pause3 p2 0% c0 0=cancelled"_s,
        u"cancelled running paused"_s, u"1 1 0"_s, u"pause2.mp4.part"_s);
    row("a passing cause: tried again once", u"+HTTP_Error_503:_Service_Unavailable 0=failed"_s,
        u"failed"_s, u"2"_s, {});
    row("a lasting cause: not tried again", u"+Video_unavailable 0=failed"_s, u"failed"_s, u"1"_s,
        {});
    row("retried by hand", u"+Video_unavailable 0=failed R0 0=failed"_s, u"failed"_s, u"2"_s, {});
    row("cancelled, retried: from the start", u"+pause 0% c0 0=cancelled R0 0%"_s, u"running"_s,
        u"2"_s, u"pause.mp4.part"_s);
    row("refused by its preparation", u"+refused 0=failed"_s, u"failed"_s, u"0"_s, {});
}

void tst_Download::queueRules()
{
    QFETCH(QString, steps);
    QFETCH(QString, states);
    QFETCH(QString, runs);
    QFETCH(QString, files);
    QTemporaryDir root;
    const QString tools = root.filePath(u"tools"_s);
    const QString folder = root.filePath(u"videos"_s);
    QVERIFY(QDir().mkpath(tools) && QDir().mkpath(folder));
    QVERIFY(QFile::link(TestSupport::standInDownloader(), tools + u"/youtube-dl"_s));
    QVERIFY(
        QFile::link(QFileInfo(TestSupport::standInDownloader()).path() + u"/queue-behaviour.sh"_s,
                    tools + u"/behaviour"_s));
    // Another download's partial file, which no cancel may take.
    QVERIFY(TestSupport::writeFile(folder + u"/other.mp4.part"_s, "other"));
    DownloadQueue queue(nullptr);
    QAbstractItemModelTester tester(queue.model());
    queue.setRetryDelay(std::chrono::milliseconds(50));
    queue.setPreparation([&tools](DownloadRequest &request) {
        request.youtubeDLPath = tools + u"/youtube-dl"_s;
        return request.address == u"refused"_s ? u"Outil introuvable : youtube-dl"_s : QString();
    });
    QList<qint64> ids;
    QHash<qint64, int> started;
    connect(&queue, &DownloadQueue::jobStarted, this, [&started](qint64 id) { ++started[id]; });
    const auto job = [&](const QString &step) {
        const DownloadJob *found = queue.job(ids.value(step.first(1).toInt()));
        return found ? *found : DownloadJob {};
    };
    for (const QString &step : steps.split(u' ')) {
        const qint64 id = ids.value(step.mid(1).toInt());
        if (step.startsWith(u'+')) {
            DownloadJob added;
            added.request.folder = folder;
            added.request.address = step.sliced(1);
            ids << queue.add(added);
        } else if (step.endsWith(u'%')) {
            QTRY_VERIFY_WITH_TIMEOUT(job(step).progress.percent > 0, 10000);
        } else if (step.contains(u'=')) {
            QTRY_COMPARE_WITH_TIMEOUT(jobStateId(job(step).state), step.sliced(2), 10000);
        } else if (step == u"C"_s) {
            queue.clearFinished();
        } else if (step.startsWith(u'm')) {
            queue.setMaximumRunning(step.sliced(1).toInt());
        } else {
            const auto action
                = QHash<QChar, void (DownloadQueue::*)(qint64)> {{u'p', &DownloadQueue::pause},
                                                                 {u'r', &DownloadQueue::resume},
                                                                 {u'c', &DownloadQueue::cancel},
                                                                 {u'R', &DownloadQueue::retry},
                                                                 {u'x', &DownloadQueue::remove}}
                      .value(step.at(0));
            (queue.*action)(id);
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(QDir(folder).entryList(QDir::Files, QDir::Name).join(u' '), files,
                              20000);
    QStringList left;
    for (const DownloadJob &remaining : queue.model()->jobs()) {
        left << jobStateId(remaining.state);
    }
    QCOMPARE(left.join(u' '), states);
    QStringList counted;
    for (qint64 id : std::as_const(ids)) {
        counted << QString::number(started.value(id));
    }
    QCOMPARE(counted.join(u' '), runs);
}

void tst_Download::queueModel()
{
    DownloadQueue queue(nullptr);
    queue.setHeld(true);
    QueueModel &model = *queue.model();
    QAbstractItemModelTester tester(&model);
    const auto text = [&model](int row, int column, int role = Qt::DisplayRole) {
        return model.index(row, column).data(role).toString();
    };
    QList<qint64> ids;
    for (JobState state :
         {JobState::Failed, JobState::Waiting, JobState::Running, JobState::Paused}) {
        DownloadJob job;
        job.request.address = u"https://a/<b>"_s;
        job.progress = {42.7, "1.23MiB/s", "00:05"};
        ids << queue.add(job);
        job.id = ids.last();
        job.state = state;
        job.reason = u"la vidéo est indisponible"_s;
        job.detail = u"Video unavailable <i>"_s;
        job.retryAt = QDateTime::currentDateTime().addSecs(600);
        model.update(job);
    }
    QCOMPARE(text(0, QueueModel::TitleColumn), u"https://a/<b>"_s);
    QCOMPARE(text(0, QueueModel::TitleColumn, Qt::ToolTipRole), plainToolTip(u"https://a/<b>"_s));
    QCOMPARE(text(0, QueueModel::StateColumn), u"Échec : la vidéo est indisponible"_s);
    QCOMPARE(text(0, QueueModel::StateColumn, Qt::ToolTipRole),
             plainToolTip(u"Video unavailable <i>"_s));
    const QRegularExpressionMatch retry = QRegularExpression(u"^Nouvel essai dans (\\d+) s$"_s)
                                              .match(text(1, QueueModel::StateColumn));
    QVERIFY(retry.hasMatch() && retry.captured(1).toInt() > 0 && retry.captured(1).toInt() <= 600);
    QCOMPARE(text(2, QueueModel::ProgressColumn), u"42 %"_s);
    QCOMPARE(model.index(2, 0).data(QueueModel::PercentRole).toDouble(), 42.7);
    QCOMPARE(text(2, QueueModel::SpeedColumn) + text(2, QueueModel::TimeLeftColumn),
             u"1.23MiB/s00:05"_s);
    QCOMPARE(text(3, QueueModel::StateColumn), u"En pause"_s);
    QCOMPARE(text(3, QueueModel::SpeedColumn) + text(3, QueueModel::TimeLeftColumn), QString());
    // Progress is told at once, then its latest report at the next refresh, never lost.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setProgress(ids.at(2), {10.0, "1MiB/s", "00:09"});
    model.setProgress(ids.at(2), {55.5, "2MiB/s", "00:03"});
    QCOMPARE(changed.size(), 1);
    QTRY_COMPARE(changed.size(), 2);
    QCOMPARE(text(2, QueueModel::ProgressColumn), u"55 %"_s);
    // Rows dragged by their ids land where they are dropped, in the queue's order.
    for (const auto &[rows, at, order] : QList<std::tuple<QList<int>, int, QList<int>>> {
             {{3, 0, 3}, 1, {0, 3, 1, 2}}, {{2}, 0, {1, 0, 3, 2}}, {{0}, -1, {0, 3, 2, 1}}}) {
        QModelIndexList dragged;
        for (int row : rows) {
            dragged << model.index(row, 1);
        }
        const std::unique_ptr<QMimeData> data(model.mimeData(dragged));
        QVERIFY(model.dropMimeData(data.get(), Qt::MoveAction, at, 0, {}));
        QList<int> now;
        for (qint64 id : model.jobs() | std::views::transform(&DownloadJob::id)) {
            now << ids.indexOf(id);
        }
        QCOMPARE(now, order);
    }
}

void tst_Download::pauseKeepsEveryByte()
{
    // A file served directly, which the real downloader fetches as it is, slowly enough to be
    // paused midway.
    const ServedFolder served(u"make-picture.sh"_s);
    QVERIFY(served.isValid());
    QByteArray content(256 * 1024, '\0');
    for (qsizetype i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 7 + i / 4093);
    }
    const QString source = served.folder() + u"/clip.mp4"_s;
    QVERIFY(TestSupport::writeFile(source, content));
    QTemporaryDir folder;
    DownloadQueue queue(nullptr);
    queue.setPreparation([](DownloadRequest &request) {
        request.youtubeDLPath = TestSupport::toolFolder() + u"/youtube-dl"_s;
        return QString();
    });
    DownloadJob job;
    job.request.folder = folder.path();
    job.request.address = served.url(u"clip.mp4"_s, u"throttle-128"_s).toString();
    const qint64 id = queue.add(job);
    const auto partial
        = [&] { return QFileInfo(queue.job(id)->destinations.value(0) + u".part"_s); };
    QTRY_VERIFY_WITH_TIMEOUT(!queue.job(id)->destinations.isEmpty() && partial().size() > 0, 30000);
    queue.pause(id);
    QTRY_COMPARE_WITH_TIMEOUT(queue.job(id)->state, JobState::Paused, 10000);
    const qint64 kept = partial().size();
    QVERIFY2(kept > 0 && kept < content.size(), qPrintable(QString::number(kept)));
    // The bytes kept change on the server: fetched again, they would change the file.
    QVERIFY(TestSupport::writeFile(source, QByteArray(kept, 'x') + content.sliced(kept)));
    queue.resume(id);
    QTRY_COMPARE_WITH_TIMEOUT(queue.job(id)->state, JobState::Finished, 60000);
    QCOMPARE(queue.job(id)->files.size(), 1);
    QVERIFY(!partial().exists());
    QVERIFY(TestSupport::readFile(queue.job(id)->files.first()) == content);
}

void tst_Download::subtitlesAndEmbedding_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("embedded"); // the subtitles, and the title as metadata
    QTest::addColumn<QString>("warning");
    QTest::newRow("beside the video") << u"page.html"_s << false << QString();
    QTest::newRow("into the video") << u"page.html"_s << true << QString();
    QTest::newRow("refused by the site")
        << u"failing.html"_s << false
        << u"Sous-titres fr non téléchargés : le site reçoit trop de demandes (HTTP 429) ; "
           "réessayez plus tard, ou donnez au téléchargeur les cookies du navigateur"_s;
}

void tst_Download::subtitlesAndEmbedding()
{
    QFETCH(QString, page);
    QFETCH(bool, embedded);
    QFETCH(QString, warning);
    const ServedFolder served(u"make-page.sh"_s);
    QVERIFY(served.isValid());
    QTemporaryDir folder;
    DownloadChoice choice;
    choice.folder = folder.path();
    choice.address = served.url(page).toString();
    // Named by the title alone: the subtitles follow the video to its name.
    choice.naming = FileNaming::Title;
    choice.subtitles = subtitleRequest({{u"fr"_s}}, {u"fr"_s}, embedded);
    choice.embed.metadata = embedded;
    DownloadQueue queue(nullptr);
    queue.setPreparation([](DownloadRequest &request) {
        request.youtubeDLPath = TestSupport::toolFolder() + u"/youtube-dl"_s;
        request.ffmpegPath = TestSupport::toolFolder() + u"/ffmpeg"_s;
        return QString();
    });
    DownloadJob job;
    job.request = makeDownloadRequest(choice);
    const qint64 id = queue.add(job);
    QTRY_VERIFY_WITH_TIMEOUT(queue.job(id)->state != JobState::Waiting
                                 && queue.job(id)->state != JobState::Running,
                             120000);
    QCOMPARE(jobStateId(queue.job(id)->state), u"finished"_s);
    QCOMPARE(queue.job(id)->warning, warning);
    const QFileInfo video(queue.job(id)->files.value(0));
    QVERIFY(video.isFile());
    const QString subtitles = video.path() + u'/' + video.completeBaseName() + u".fr.srt"_s;
    QCOMPARE(QFileInfo::exists(subtitles), !embedded && warning.isEmpty());
    QProcess probe;
    probe.start(TestSupport::toolFolder() + u"/ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-show_entries"_s, u"stream=codec_type:format_tags=title"_s,
                 u"-of"_s, u"default=nw=1"_s, video.filePath()});
    QVERIFY(probe.waitForFinished(60000));
    const QString probed = QString::fromUtf8(probe.readAllStandardOutput());
    QCOMPARE(probed.contains(u"codec_type=subtitle"_s), embedded);
    QCOMPARE(probed.contains(u"TAG:title=Ma vidéo (1)\n"_s), embedded);
}

QTEST_GUILESS_MAIN(tst_Download)
#include "tst_download.moc"
