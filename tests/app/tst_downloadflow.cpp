// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "DashFixture.h"
#include "TestSupport.h"
#include "app/ViewController.h"
#include "catalogue/FormatList.h"
#include "settings/preferenceViewController.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;

namespace {
// What ffprobe says of a media file: its stream codec names, or nothing when unreadable.
QStringList streamCodecs(const QString &path)
{
    QProcess probe;
    probe.start(*resourcePath(u"ffprobe"_s, TestSupport::toolFolder()),
                {u"-v"_s, u"error"_s, u"-show_entries"_s, u"stream=codec_name"_s, u"-of"_s,
                 u"csv=p=0"_s, path});
    probe.waitForFinished(60'000);
    if (probe.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// The window's parts that a download shows itself in, and what they went through.
struct Watch
{
    explicit Watch(ViewController &window)
        : message(window.findChild<QLabel *>(u"messageTextField"_s))
        , bar(window.findChild<QProgressBar *>(u"progressBar"_s))
    {
        QObject::connect(bar, &QProgressBar::valueChanged, bar,
                         [this](int value) { highestBar = std::max(highestBar, value); });
        QObject::connect(&window, &ViewController::isRunningChanged, bar, [this](bool running) {
            if (running) {
                ++runs;
            }
        });
        // The message line has no change signal: poll it while the download runs.
        QObject::connect(&poll, &QTimer::timeout, bar, [this] {
            if (!message->text().isEmpty() && !shown.contains(message->text())) {
                shown << message->text();
            }
        });
        poll.start(1);
    }

    QLabel *message;
    QProgressBar *bar;
    QTimer poll;
    int highestBar = 0;
    int runs = 0;
    QStringList shown;
};
} // namespace

class tst_DownloadFlow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void plainAndAudioDownloadsOfTheFixture();
    void badAddressEndsWithFailureMessage();
    void cancelEndsEverythingAndRemovesPartialFiles();
    void cancelledFolderChoiceChangesNothing();

private:
    void tick(ViewController &window, const QStringList &codes);

    std::unique_ptr<DashFixture> m_fixture;
};

void tst_DownloadFlow::initTestCase()
{
    m_fixture = std::make_unique<DashFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
}

void tst_DownloadFlow::init()
{
    formatList().clear();
}

void tst_DownloadFlow::tick(ViewController &window, const QStringList &codes)
{
    window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(m_fixture->manifestUrl());
    auto *button = window.findChild<QPushButton *>(u"getFormatButton"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 120'000);
    QAbstractItemModel *model = window.findChild<QTableView *>(u"tableView"_s)->model();
    QCOMPARE(model->rowCount(), 2);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (codes.contains(index.data().toString())) {
            QVERIFY(model->setData(index, Qt::Checked, Qt::CheckStateRole));
        }
    }
}

void tst_DownloadFlow::plainAndAudioDownloadsOfTheFixture()
{
    QTemporaryDir dir;
    QTemporaryDir target;
    auto store = TestSupport::makeSettings(dir);
    ViewController window(*store, TestSupport::toolFolder());
    window.setFolderChooser([&target](QWidget *) { return target.path(); });
    window.show();
    Watch watch(window);

    tick(window, {u"137"_s, u"140"_s});
    watch.shown.clear();
    QTest::mouseClick(window.findChild<QPushButton *>(u"downloadButton"_s), Qt::LeftButton);
    QVERIFY(window.isRunning());
    QVERIFY(!window.findChild<QPushButton *>(u"downloadAudioButton"_s)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 180'000);

    QCOMPARE(watch.message->text(), QString());
    QCOMPARE(watch.bar->value(), 0);
    QCOMPARE(watch.highestBar, 1000);
    const QStringList videos = QDir(target.path()).entryList({u"*.mp4"_s}, QDir::Files);
    const QStringList audios = QDir(target.path()).entryList({u"*.m4a"_s}, QDir::Files);
    QCOMPARE(videos.size(), 1);
    QCOMPARE(audios.size(), 1);
    QVERIFY(videos.first().contains(u"137"_s));
    QCOMPARE(streamCodecs(target.filePath(videos.first())), QStringList {u"h264"_s});
    QCOMPARE(streamCodecs(target.filePath(audios.first())), QStringList {u"aac"_s});
    // Each announced destination was shown, and each lies in the chosen folder.
    QCOMPARE(watch.shown.size(), 2);
    for (const QString &path : std::as_const(watch.shown)) {
        QVERIFY2(path.startsWith(target.path() + u'/'), qPrintable(path));
    }

    // Audio download with the settings changed in the Preferences window: mp3, 5, keep.
    preferenceViewController preferences(*store);
    preferences.findChild<QComboBox *>(u"formatComboBox"_s)->setCurrentText(u"mp3"_s);
    preferences.findChild<QLineEdit *>(u"qualityTextField"_s)->setText(u"5"_s);
    preferences.okButton();
    QTemporaryDir audioTarget;
    window.setFolderChooser([&audioTarget](QWidget *) { return audioTarget.path(); });
    formatList().clear();
    tick(window, {u"140"_s});
    QTest::mouseClick(window.findChild<QPushButton *>(u"downloadAudioButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 180'000);
    QCOMPARE(watch.message->text(), QString());

    const QStringList mp3 = QDir(audioTarget.path()).entryList({u"*.mp3"_s}, QDir::Files);
    const QStringList kept = QDir(audioTarget.path()).entryList({u"*.m4a"_s}, QDir::Files);
    QCOMPARE(mp3.size(), 1);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(streamCodecs(audioTarget.filePath(mp3.first())), QStringList {u"mp3"_s});
    QCOMPARE(watch.runs, 2);
}

void tst_DownloadFlow::badAddressEndsWithFailureMessage()
{
    QTemporaryDir dir;
    QTemporaryDir target;
    auto store = TestSupport::makeSettings(dir);
    ViewController window(*store, TestSupport::toolFolder());
    window.setFolderChooser([&target](QWidget *) { return target.path(); });

    window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(m_fixture->missingUrl());
    window.downloadButton(0);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 120'000);
    const QString message = window.findChild<QLabel *>(u"messageTextField"_s)->text();
    QVERIFY2(message.startsWith(u"Échec du téléchargement : "_s), qPrintable(message));
    QVERIFY2(message.contains(u"404"_s), qPrintable(message));
    QCOMPARE(window.findChild<QProgressBar *>(u"progressBar"_s)->value(), 0);
    QCOMPARE(QDir(target.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void tst_DownloadFlow::cancelEndsEverythingAndRemovesPartialFiles()
{
    // A stand-in downloader that announces a destination, starts writing it, leaves a
    // child behind and never ends on its own.
    QTemporaryDir tools;
    QTemporaryDir target;
    const QString pidFile = tools.filePath(u"child.pid"_s);
    TestSupport::writeScript(tools, u"youtube-dl"_s,
                             "#!/bin/bash\n"
                             "[ \"$1\" = --version ] && exit 0\n"
                             "dir=$(dirname \"$2\")\n"
                             "echo \"[download] Destination: $dir/clip137.mp4\"\n"
                             "echo partial > \"$dir/clip137.mp4.part\"\n"
                             "printf '[download]  12.5%% of 10.00MiB\\r'\n"
                             "sleep 300 & echo $! > "
                                 + pidFile.toUtf8()
                                 + "\n"
                                   "wait\n");
    QVERIFY(QFile::link(*resourcePath(u"ffmpeg"_s, TestSupport::toolFolder()),
                        tools.filePath(u"ffmpeg"_s)));
    auto store = TestSupport::makeSettings(tools);
    ViewController window(*store, tools.path());
    window.setFolderChooser([&target](QWidget *) { return target.path(); });
    window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(u"http://127.0.0.1:9/never"_s);
    auto *cancel = window.findChild<QPushButton *>(u"cancelDownloadButton"_s);
    QVERIFY(!cancel->isEnabled());

    window.downloadButton(0);
    QVERIFY(cancel->isEnabled());
    QTRY_VERIFY(QFile::exists(target.filePath(u"clip137.mp4.part"_s)));
    QTRY_COMPARE(window.findChild<QProgressBar *>(u"progressBar"_s)->value(), 125);
    QTRY_VERIFY(QFile(pidFile).size() > 0);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qint64 childPid = file.readAll().trimmed().toLongLong();

    QTest::mouseClick(cancel, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 30'000);
    QCOMPARE(window.findChild<QLabel *>(u"messageTextField"_s)->text(), u"Téléchargement annulé"_s);
    QCOMPARE(window.findChild<QProgressBar *>(u"progressBar"_s)->value(), 0);
    QVERIFY(!QFile::exists(target.filePath(u"clip137.mp4.part"_s)));
    QTRY_VERIFY(!TestSupport::isProcessAlive(childPid));
}

void tst_DownloadFlow::cancelledFolderChoiceChangesNothing()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    ViewController window(*store, TestSupport::toolFolder());
    formatList() << formatYoutube {u"18"_s, u" mp4 "_s, {}, {}, ControlState::On};
    window.setFolderChooser([](QWidget *) { return QString(); });
    window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(m_fixture->manifestUrl());
    window.findChild<QLabel *>(u"messageTextField"_s)->setText(u"avant"_s);

    window.downloadButton(3);
    QVERIFY(!window.isRunning());
    QCOMPARE(window.findChild<QLabel *>(u"messageTextField"_s)->text(), u"avant"_s);
    QCOMPARE(formatList().first().isChecked, ControlState::On);
}

QTEST_MAIN(tst_DownloadFlow)
#include "tst_downloadflow.moc"
