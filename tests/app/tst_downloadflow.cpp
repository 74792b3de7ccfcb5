// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "ServedFolder.h"
#include "TestSupport.h"
#include "WindowHarness.h"
#include "settings/preferenceViewController.h"
#include "tools/ToolInstaller.h"

using namespace Qt::StringLiterals;

namespace {
// What ffprobe says of a media file: its streams' codec names, or nothing when unreadable.
QStringList streamCodecs(const QString &path)
{
    QProcess probe;
    probe.start(TestSupport::toolFolder() + u"/ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-show_entries"_s, u"stream=codec_name"_s, u"-of"_s,
                 u"csv=p=0"_s, path});
    probe.waitForFinished(60'000);
    return QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QStringList filesIn(const QString &folder, const QString &pattern = u"*"_s)
{
    return QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden);
}
} // namespace

class tst_DownloadFlow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plainAndAudioDownloads();
    void folderNames_data();
    void folderNames();
    void badAddressSaysWhy();
    void pictureAndSoundInOneFile();
    void updatedDownloaderRuns();

private:
    std::unique_ptr<ServedFolder> m_fixture;
};

void tst_DownloadFlow::initTestCase()
{
    m_fixture = std::make_unique<ServedFolder>();
    QVERIFY(m_fixture->isValid());
}

void tst_DownloadFlow::plainAndAudioDownloads()
{
    // Started from a folder with a configuration that would run a command: it is not read.
    QTemporaryDir started;
    const QString ran = started.filePath(u"ran"_s);
    QVERIFY(TestSupport::writeFile(started.filePath(u"yt-dlp.conf"_s),
                                   "--exec 'touch " + QFile::encodeName(ran) + "'\n"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(started.path());
    WindowHarness w;
    QDir::setCurrent(previous);
    QStringList shown;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!w.message().isEmpty() && !shown.contains(w.message())) {
            shown << w.message();
        }
    });
    QVERIFY(w.listAndTick(m_fixture->manifestUrl(), {u"137"_s, u"140"_s}));
    poll.start(1);
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(w.message(), QString());
    // The end is said, with the way to the folder.
    QCOMPARE(w.child<QLabel>(u"downloadEndLabel"_s)->text(),
             u"Téléchargement terminé : 2 fichiers dans "_s + w.target.path());
    QVERIFY(w.child<QPushButton>(u"openFolderButton"_s)->isVisibleTo(w.window.get()));
    const QStringList videos = filesIn(w.target.path(), u"*.mp4"_s);
    const QStringList audios = filesIn(w.target.path(), u"*.m4a"_s);
    QCOMPARE(filesIn(w.target.path()).size(), 2);
    QCOMPARE(streamCodecs(w.target.filePath(videos.value(0))), QStringList {u"h264"_s});
    QCOMPARE(streamCodecs(w.target.filePath(audios.value(0))), QStringList {u"aac"_s});
    // Each destination was shown as it came, inside the chosen folder.
    QCOMPARE(
        shown,
        (QStringList {w.target.filePath(audios.value(0)), w.target.filePath(videos.value(0))}));
    QVERIFY(!QFile::exists(ran));

    // An audio download with the settings of the Preferences window: mp3, 5, keep.
    preferenceViewController preferences(*w.store);
    preferences.findChild<QComboBox *>(u"formatComboBox"_s)->setCurrentText(u"mp3"_s);
    preferences.findChild<QLineEdit *>(u"qualityTextField"_s)->setText(u"5"_s);
    preferences.okButton();
    QTemporaryDir audioTarget;
    w.chosenFolder = audioTarget.path();
    QAbstractItemModel *model = w.child<QTableView>(u"tableView"_s)->model();
    QCOMPARE(model->index(1, 0).data().toString(), u"137"_s);
    model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    shown.clear();
    w.click(u"downloadAudioButton"_s);
    // The folder chooser opens in the folder of the last download.
    QCOMPARE(w.chooserStart, w.target.path());
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(w.message(), QString());
    QCOMPARE(filesIn(audioTarget.path(), u"*.m4a"_s).size(), 1);
    const QStringList mp3 = filesIn(audioTarget.path(), u"*.mp3"_s);
    QCOMPARE(mp3.size(), 1);
    // The audio file is named as the downloader writes it, and counted with the kept one.
    QCOMPARE(shown.last(), audioTarget.filePath(mp3.value(0)));
    QVERIFY(w.child<QLabel>(u"downloadEndLabel"_s)->text().contains(u"2 fichiers"_s));
    QCOMPARE(streamCodecs(audioTarget.filePath(mp3.value(0))), QStringList {u"mp3"_s});
}

void tst_DownloadFlow::folderNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("downloads"); // otherwise refused before anything runs
    // Each piece would send the files elsewhere, or run a command, were it not one word.
    QTest::newRow("shell and template syntax") << u"L'été ~ $$ $(touch x) `y` 50% %(id)s"_s << true;
    QTest::newRow("$HOME") << u"$HOME"_s << false;
    QTest::newRow("${PATH}") << u"${PATH}"_s << false;
}

void tst_DownloadFlow::folderNames()
{
    QFETCH(QString, name);
    QFETCH(bool, downloads);
    WindowHarness w;
    w.chosenFolder = w.target.filePath(name);
    QVERIFY(QDir().mkpath(w.chosenFolder));
    QVERIFY(w.listAndTick(m_fixture->manifestUrl(), {u"140"_s}));
    const QStringList homeBefore = QDir::home().entryList(QDir::AllEntries | QDir::Hidden);
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(filesIn(w.chosenFolder).size(), downloads ? 1 : 0);
    QCOMPARE(QDir(w.target.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList {name});
    QCOMPARE(QDir::home().entryList(QDir::AllEntries | QDir::Hidden), homeBefore);
    QVERIFY2(downloads ? w.message().isEmpty() : w.message().startsWith(u"Dossier refusé"_s),
             qPrintable(w.message()));
}

void tst_DownloadFlow::badAddressSaysWhy()
{
    WindowHarness w;
    w.window->setAddress(m_fixture->missingUrl());
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QVERIFY2(w.message().startsWith(u"Échec du téléchargement : "_s), qPrintable(w.message()));
    QVERIFY2(w.message().contains(u"404"_s), qPrintable(w.message()));
    QCOMPARE(filesIn(w.target.path()), QStringList());
}

void tst_DownloadFlow::pictureAndSoundInOneFile()
{
    WindowHarness w;
    QVERIFY(w.listAndTick(m_fixture->manifestUrl(), {u"137"_s, u"140"_s}));
    w.child<QCheckBox>(u"mergeCheckBox"_s)->setChecked(true);
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    const QStringList files = filesIn(w.target.path());
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.first().endsWith(u".mkv"_s), qPrintable(files.first()));
    QCOMPARE(streamCodecs(w.target.filePath(files.first())), (QStringList {u"h264"_s, u"aac"_s}));
}

void tst_DownloadFlow::updatedDownloaderRuns()
{
    const ServedFolder releases(u"make-releases.sh"_s, {ToolInstaller::denoArchive()});
    QVERIFY(releases.isValid());
    WindowHarness w;
    ReleaseSources sources;
    sources.downloaderStable = releases.url(u"good/"_s);
    sources.signingKey = TestSupport::readFile(releases.folder() + u"/key.asc"_s);
    w.window->setReleaseSources(sources);
    auto *version = w.child<QLabel>(u"downloaderVersionLabel"_s);
    auto *advice = w.child<QLabel>(u"downloaderAdviceLabel"_s);
    QTRY_COMPARE(version->text(), u"Téléchargeur : yt-dlp 2023.03.04 (fourni)"_s);
    QCOMPARE(advice->text(),
             u"Téléchargeur du 4 mars 2023 : Outils → Mettre à jour le téléchargeur"_s);

    w.child<QAction>(u"updateDownloaderAction"_s)->trigger();
    // No download while the update runs; its cancel is the download's.
    QVERIFY(!w.child<QPushButton>(u"downloadButton"_s)->isEnabled());
    QVERIFY(w.child<QPushButton>(u"cancelDownloadButton"_s)->isEnabled());
    const QString today = QDate::currentDate().toString(u"yyyy.MM.dd"_s);
    QTRY_COMPARE_WITH_TIMEOUT(w.message(), u"Téléchargeur mis à jour : "_s + today, 60'000);
    QTRY_COMPARE(version->text(), u"Téléchargeur : yt-dlp %1 (mis à jour)"_s.arg(today));
    QVERIFY(!advice->text().startsWith(u"Téléchargeur du"_s));
    qInfo("Status bar after the update: %s | %s", qPrintable(advice->text()),
          qPrintable(version->text()));

    // A real listing and download, through the managed copy.
    QVERIFY(w.listAndTick(m_fixture->manifestUrl(), {u"140"_s}));
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(w.message(), QString());
    QCOMPARE(filesIn(w.target.path(), u"*.m4a"_s).size(), 1);
    QCOMPARE(*youtubeDLPath(), w.managed.filePath(u"youtube-dl"_s));

    w.child<QAction>(u"revertDownloaderAction"_s)->trigger();
    QTRY_COMPARE(version->text(), u"Téléchargeur : yt-dlp 2023.03.04 (fourni)"_s);
    QCOMPARE(filesIn(w.managed.path()), QStringList());
}

QTEST_MAIN(tst_DownloadFlow)
#include "tst_downloadflow.moc"
