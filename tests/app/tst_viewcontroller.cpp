// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <algorithm>
#include <array>
#include <csignal>

#include <sys/inotify.h>
#include <unistd.h>

#include <QAbstractAnimation>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "TestSupport.h"
#include "app/UserQuestions.h"
#include "app/VideoCard.h"
#include "app/ViewController.h"
#include "catalogue/FormatList.h"
#include "tools/ToolSet.h"
#include "app/ProgressReadout.h"
#include "app/QueuePanel.h"
#include "app/SubtitlePicker.h"
#include "app/WindowPlacement.h"
#include "catalogue/FormatTableModel.h"
#include "download/DownloadCommand.h"
#include "download/DownloadQueue.h"
#include "download/JobStore.h"
#include "download/QueueModel.h"
#include "settings/Settings.h"
#include "settings/preferenceViewController.h"
#include "tools/TerminationSignals.h"
#include "tools/ToolInstaller.h"

using namespace Qt::StringLiterals;
namespace {
// The main window with a settings store and a tool folder of its own (the real converter, the
// real or the stand-in downloader), its queue in memory unless given a store; the folder
// chooser answers `chosenFolder`, and a quit is confirmed unless told.
class WindowHarness final
{
public:
    enum class Downloader { Real, StandIn, None };

    explicit WindowHarness(Downloader downloader = Downloader::Real, bool converter = true,
                           JobStore *jobs = nullptr)
        : chosenFolder(target.path())
        , store(TestSupport::makeSettings(tools))
    {
        const QString real = TestSupport::toolFolder();
        if (downloader != Downloader::None) {
            QFile::link(downloader == Downloader::Real ? real + u"/youtube-dl"_s
                                                       : TestSupport::standInDownloader(),
                        tools.filePath(u"youtube-dl"_s));
        }
        // Without a converter, its name is a file that cannot be run.
        converter ? QFile::link(real + u"/ffmpeg"_s, tools.filePath(u"ffmpeg"_s))
                  : TestSupport::writeFile(tools.filePath(u"ffmpeg"_s), "#!/bin/sh\n");
        // Each window starts with an empty format list, as the application does.
        formatList().clear();
        toolSet.setVersionCache(store.get());
        toolSet.lookUp(tools.path(), managed.path());
        window = std::make_unique<ViewController>(*store, toolSet, jobs);
        window->setFolderChooser([this](QWidget *, const QString &start) {
            chooserStart = start;
            return chosenFolder;
        });
        window->setQuitConfirmation([this](QWidget *) { return quitChoice; });
        window->setRetryDelay(std::chrono::milliseconds(0));
        // As the application does once the window is shown.
        toolSet.askDownloaderVersion();
    }
    Q_DISABLE_COPY_MOVE(WindowHarness)

    template<typename T> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QString message() const { return child<QLabel>(u"messageTextField"_s)->text(); }
    void click(const QString &buttonName) const
    {
        QTest::mouseClick(child<QPushButton>(buttonName), Qt::LeftButton);
    }
    // Lists the formats to the end and ticks the rows whose code is in `codes`.
    bool listAndTick(const QString &address, const QStringList &codes) const
    {
        window->setAddress(address);
        click(u"getFormatButton"_s);
        auto *button = child<QPushButton>(u"getFormatButton"_s);
        if (!QTest::qWaitFor([button] { return button->isEnabled(); }, 120'000)) {
            return false;
        }
        QAbstractItemModel *model = child<QTableView>(u"tableView"_s)->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (codes.contains(model->index(row, 0).data().toString())) {
                model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
            }
        }
        return model->rowCount() > 0;
    }
    bool waitForDownloadEnd(int milliseconds = 180'000) const
    {
        return QTest::qWaitFor([this] { return !window->isRunning(); }, milliseconds);
    }
    // The stand-in's behaviour: a bash script run after it recorded its arguments.
    void setBehaviour(const QByteArray &script) const
    {
        TestSupport::writeFile(tools.filePath(u"behaviour"_s), script);
    }

    QTemporaryDir tools;
    QTemporaryDir managed; // Quorvel's own tool folder, where tools are installed
    QTemporaryDir target;
    QString chosenFolder;
    QString chooserStart; // where the folder chooser was last asked to open
    QuitChoice quitChoice = QuitChoice::CancelAndQuit;
    std::unique_ptr<QSettings> store;
    ToolSet toolSet;
    std::unique_ptr<ViewController> window;
};
using Downloader = WindowHarness::Downloader;

// The codes shown, in table order, "+" for a ticked row and "~" for a mixed one.
QString codesShown(const WindowHarness &w)
{
    QStringList codes;
    const QAbstractItemModel *model = w.child<QTableView>(u"tableView"_s)->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const int state = model->index(row, 0).data(Qt::CheckStateRole).toInt();
        codes << model->index(row, 0).data().toString()
                + (state == Qt::Checked                ? u"+"_s
                       : state == Qt::PartiallyChecked ? u"~"_s
                                                       : QString());
    }
    return codes.join(u' ');
}

// Lists four formats, ticks 137 and 22, and puts 251 in the mixed state.
void listFour(const WindowHarness &w)
{
    w.setBehaviour("printf '137 mp4 1x1\\n18 mp4 \\n251 webm \\n22 mp4 \\n'");
    QVERIFY(w.listAndTick(u"http://127.0.0.1:9/v"_s, {u"137"_s, u"22"_s}));
    QAbstractItemModel *model = w.child<QTableView>(u"tableView"_s)->model();
    model->setData(model->index(2, 0), Qt::PartiallyChecked, Qt::CheckStateRole);
}
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

// A model shaped as the queue's: one row a job of the state named (jobStateId), ids from 10.
void fillQueue(QStandardItemModel &model, const QString &states)
{
    model.clear();
    model.setColumnCount(QueueModel::ColumnCount);
    for (const QString &state : states.split(u' ', Qt::SkipEmptyParts)) {
        QList<QStandardItem *> row;
        for (int column = 0; column < QueueModel::ColumnCount; ++column) {
            row << new QStandardItem(u"Vidéo"_s);
        }
        row[0]->setData(10 + model.rowCount(), QueueModel::JobIdRole);
        row[0]->setData(static_cast<int>(jobStateFromId(state)), QueueModel::StateRole);
        row[QueueModel::ProgressColumn]->setData(42.5, QueueModel::PercentRole);
        model.appendRow(row);
    }
}

// The texts of the panel's enabled buttons, in their order.
QStringList enabledButtons(const QueuePanel &panel)
{
    QStringList texts;
    for (const QPushButton *button : panel.findChildren<QPushButton *>()) {
        if (button->isEnabled()) {
            texts << button->text();
        }
    }
    return texts;
}

// Random bytes, `kibibytes` long, served as `name`: a direct file that the downloader
// fetches as it is (its first byte never one that could start a page). Empty when not written.
QByteArray serveRandomFile(const ServedFolder &served, const QString &name, int kibibytes)
{
    QByteArray content(kibibytes * 1024, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(content.data()),
                                          content.size() / 4);
    content[0] = 'x';
    return TestSupport::writeFile(served.folder() + u'/' + name, content) ? content : QByteArray();
}

// The state shown in the queue's row, and the job that the row shows.
QString queueState(const WindowHarness &w, int row)
{
    return w.child<QTableView>(u"queueView"_s)
        ->model()
        ->index(row, QueueModel::StateColumn)
        .data()
        .toString();
}
const DownloadJob *queuedJob(const WindowHarness &w, int row)
{
    const QAbstractItemModel *model = w.child<QTableView>(u"queueView"_s)->model();
    return w.window->findChild<Session *>()->queue()->job(
        model->index(row, 0).data(QueueModel::JobIdRole).toLongLong());
}

// Whether a process of the system runs with `text` in its command line.
bool anyProcessRuns(const QString &text)
{
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return std::any_of(entries.cbegin(), entries.cend(), [&text](const QString &pid) {
        return TestSupport::readFile(u"/proc/%1/cmdline"_s.arg(pid)).contains(text.toUtf8());
    });
}

// The controls in sight that Tab reaches and that have no name for screen readers.
QStringList unnamedControls(const QWidget *window)
{
    QStringList unnamed;
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (control->isVisible() && (control->focusPolicy() & Qt::TabFocus)
            && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty()) {
            unnamed << control->parentWidget()->objectName() + u'/' + control->objectName();
        }
    }
    return unnamed;
}

// The local DASH presentation (codes 137 and 140), made and served at its first use.
const ServedFolder &media()
{
    static const ServedFolder folder;
    return folder;
}
} // namespace

class tst_ViewController final : public QObject
{
    Q_OBJECT

private slots:
    void startupNamesTheDownloaderOrWhatIsMissing();
    void keyboardCommands_data();
    void keyboardCommands();
    void tableSortedListedStoppedAndCleared();
    void videoCard_data();
    void videoCard();
    void readoutsKeysAndRememberedLayout();
    void downloadEnds_data();
    void downloadEnds();
    void preferences_data();
    void preferences();
    void cookiePreferences_data();
    void cookiePreferences();
    void subtitlePicker();
    void queuePreferences();
    void queueButtons_data();
    void queueButtons();
    void queueActionsAndPictures();
    void queueThroughTheWindow();
    void killedQuorvelComesBackPaused();
    // With the real downloader and converter.
    void plainAndAudioDownloads();
    void userConfigurationChangesNothing_data();
    void userConfigurationChangesNothing();
    void badAddressThenPictureAndSoundInOneFile();
    void oneClickToOneFile();
    void updatedDownloaderRuns();
    void wholeListChosenEntriesOnce();
    void cookiesSubtitlesAndTitleThroughTheWindow();
};

void tst_ViewController::startupNamesTheDownloaderOrWhatIsMissing()
{
    {
        TestSupport::StdoutCapture capture;
        WindowHarness w;
        QCOMPARE(w.message(), QString());
        auto *version = w.child<QLabel>(u"downloaderVersionLabel"_s);
        QTRY_VERIFY(version->text().startsWith(u"Téléchargeur : yt-dlp 20"_s));
        // Later launches print nothing, and do not seed again what the user removed.
        w.store->remove(u"AudioQuality"_s);
        const ViewController later(*w.store, w.toolSet);
        QCOMPARE(capture.text(), "Les paramètres n'existent pas\n"_ba);
        QVERIFY(!w.store->contains(u"AudioQuality"_s));
    }
    for (const auto &[downloader, converter, message] : QList<std::tuple<bool, bool, QString>> {
             {false, false, u"Outil introuvable : youtube-dl, ffmpeg"_s},
             {true, false, u"Outil introuvable : ffmpeg"_s}}) {
        WindowHarness w(downloader ? Downloader::StandIn : Downloader::None, converter);
        QCOMPARE(w.message(), message);
        QCOMPARE(w.child<QPushButton>(u"getFormatButton"_s)->isEnabled(), downloader);
        QCOMPARE(w.child<QPushButton>(u"downloadButton"_s)->isEnabled(), downloader);
        QCOMPARE(w.child<QPushButton>(u"downloadAudioButton"_s)->isEnabled(),
                 downloader && converter);
        QCOMPARE(youtubeDLPath().has_value(), downloader);
        QCOMPARE(ffmpegPath().has_value(), converter);
    }
}

void tst_ViewController::keyboardCommands_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<quint32>("scanCode"); // XKB key codes: D 40, I 31, Q 24, A 38 (QWERTY)
    QTest::addColumn<QString>("after");
    QTest::addColumn<QByteArray>("printed");
    const int command = Qt::ControlModifier | Qt::ShiftModifier;
    const QString listed = u"137+ 18 251~ 22+"_s;
    QTest::newRow("clear") << command << 40u << u"137 18 251 22"_s << "2\n"_ba;
    QTest::newRow("invert: mixed becomes on")
        << command << 31u << u"137 18+ 251+ 22"_s << "34\n"_ba;
    QTest::newRow("tick all, Alt held too")
        << int(command | Qt::AltModifier) << 24u << u"137+ 18+ 251+ 22+"_s << "12\n"_ba;
    QTest::newRow("no shift: dropped") << int(Qt::ControlModifier) << 24u << listed << QByteArray();
    QTest::newRow("other key: its code printed only") << command << 38u << listed << "38\n"_ba;
}

void tst_ViewController::keyboardCommands()
{
    QFETCH(int, modifiers);
    QFETCH(quint32, scanCode);
    QFETCH(QString, after);
    QFETCH(QByteArray, printed);
    WindowHarness w(Downloader::StandIn);
    listFour(w);
    auto *table = w.child<QTableView>(u"tableView"_s);
    table->setCurrentIndex(table->model()->index(1, 2));
    TestSupport::StdoutCapture capture;
    // The key is recognised by its position (scan code), whatever character it gives.
    QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, Qt::KeyboardModifiers(modifiers), scanCode,
                    0, 0);
    QApplication::sendEvent(w.window.get(), &event);
    QCOMPARE(capture.text(), printed);
    QCOMPARE(codesShown(w), after);
    QCOMPARE(table->currentIndex().row(), 1);
}

void tst_ViewController::tableSortedListedStoppedAndCleared()
{
    // A downloader that takes a JavaScript runtime, and one to name to it: the stand-in again.
    qputenv("STANDIN_VERSION", "2025.11.12");
    WindowHarness w(Downloader::StandIn);
    qunsetenv("STANDIN_VERSION");
    QVERIFY(QFile::link(TestSupport::standInDownloader(), w.managed.filePath(u"node"_s)));
    QTRY_VERIFY(!w.toolSet.javaScriptRuntimeOption().isEmpty());
    w.window->show();
    listFour(w);
    QCOMPARE(TestSupport::readFile(w.tools.filePath(u"arguments"_s)),
             "-F\0-J\0--js-runtimes\0"_ba + w.toolSet.javaScriptRuntimeOption().toUtf8()
                 + "\0--ignore-config\0--no-playlist\0--\0http://127.0.0.1:9/v\0"_ba);
    auto *table = w.child<QTableView>(u"tableView"_s);
    // Screen readers hear an unticked row's box as a checkbox, and the field's clear button.
    const QAccessible::State unticked
        = QAccessible::queryAccessibleInterface(table)->tableInterface()->cellAt(1, 0)->state();
    QVERIFY(unticked.checkable && !unticked.checked);
    QCOMPARE(QAccessible::queryAccessibleInterface(
                 w.child<QLineEdit>(u"urlYoutube"_s)->findChild<QToolButton *>())
                 ->text(QAccessible::Name),
             u"Effacer l'adresse"_s);
    QHeaderView *header = table->horizontalHeader();
    const auto click = [&](int section) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            {header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
             header->height() / 2});
        return codesShown(w);
    };
    QCOMPARE(click(0), u"251~ 22+ 18 137+"_s);
    QCOMPARE(click(0), u"137+ 18 22+ 251~"_s);
    // The size column does not sort, and the indicator stays where it was.
    QCOMPARE(click(2), u"137+ 18 22+ 251~"_s);
    QCOMPARE(header->sortIndicatorSection(), 0);
    // Codec, first click: decreasing codec, ties kept in their previous order.
    QCOMPARE(click(1), u"251~ 137+ 18 22+"_s);
    QCOMPARE(click(1), u"137+ 18 22+ 251~"_s);
    // The same from the keyboard, through the Édition menu: the second time reverses.
    auto *sortByCode = w.child<QAction>(u"sortByCodeAction"_s);
    sortByCode->trigger();
    QCOMPARE(codesShown(w), u"251~ 22+ 18 137+"_s);
    sortByCode->trigger();
    QCOMPARE(codesShown(w), u"137+ 18 22+ 251~"_s);
    // Space ticks the current row from any of its cells; Tab leaves the table.
    table->setFocus();
    table->setCurrentIndex(table->model()->index(1, 3));
    QTest::keyClick(table, Qt::Key_Space);
    QCOMPARE(codesShown(w), u"137+ 18+ 22+ 251~"_s);
    QTest::keyClick(table, Qt::Key_Tab);
    QVERIFY(!table->hasFocus());
    // While formats are listed: a busy bar, no download, and "Annuler" stops the listing.
    auto *bar = w.child<QProgressBar>(u"progressBar"_s);
    w.setBehaviour("exec sleep 300");
    w.click(u"getFormatButton"_s);
    QCOMPARE(bar->maximum(), 0);
    QVERIFY(!w.child<QPushButton>(u"downloadButton"_s)->isEnabled());
    w.click(u"cancelDownloadButton"_s);
    QTRY_COMPARE(w.message(), u"Recherche des formats annulée"_s);
    QCOMPARE(bar->maximum(), 1000);
    QCOMPARE(codesShown(w), u"137+ 18+ 22+ 251~"_s);
    // The busy bar's animation ends with the listing, not at the next download.
    QVERIFY(bar->findChildren<QAbstractAnimation *>().isEmpty());
    // A listing without formats says so.
    w.setBehaviour("exit 0");
    w.click(u"getFormatButton"_s);
    QTRY_COMPARE(w.message(), u"Aucun format trouvé pour cette adresse"_s);
    w.child<QAction>(u"clearListAction"_s)->trigger();
    QCOMPARE(codesShown(w), QString());
    QCOMPARE(header->sortIndicatorSection(), -1);
    // A listing being read (two million formats) stops as well, at "Annuler" or with the
    // window, and its thread soon after.
    w.setBehaviour("yes 1 | head -n 2000000");
    for (const bool closing : {false, true}) {
        w.click(u"getFormatButton"_s);
        QTRY_VERIFY(w.window->findChild<QThread *>());
        closing ? void(w.window->close()) : w.click(u"cancelDownloadButton"_s);
        QTRY_COMPARE(w.message(), u"Recherche des formats annulée"_s);
        QVERIFY(w.child<QPushButton>(u"getFormatButton"_s)->isEnabled());
        QTRY_VERIFY(!w.window->findChild<QThread *>());
    }
}

void tst_ViewController::videoCard_data()
{
    QTest::addColumn<bool>("described");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("picture"); // served from 127.0.0.1; red when there
    QTest::addColumn<QString>("details");
    QTest::newRow("an hour and more")
        << true << 3725.4 << u"picture.png"_s << u"1:02:05 · 7 décembre 2026"_s;
    QTest::newRow("no picture") << true << 247.0 << u"absent.png"_s << u"4:07 · 7 décembre 2026"_s;
    QTest::newRow("not described") << false << -1.0 << QString() << QString();
    // The recorded listing of a dubbed video with a protected format, its picture served here.
    QTest::newRow("listed") << true << 4.0 << u"picture.png"_s << u"0:04 · 2 janvier 2026"_s;
}

void tst_ViewController::videoCard()
{
    QFETCH(bool, described);
    QFETCH(double, duration);
    QFETCH(QString, picture);
    QFETCH(QString, details);
    static const ServedFolder pictures(u"make-picture.sh"_s);
    WindowHarness w(Downloader::StandIn);
    w.window->show();
    auto *card = w.window->findChild<VideoCard *>();
    QVERIFY(card->isHidden());
    // The site's texts, shown as they are.
    VideoDescription video {described, u"<b>Clip</b>"_s,   u"Chaîne & co"_s,
                            duration,  QDate(2026, 12, 7), pictures.url(picture)};
    if (QByteArray(QTest::currentDataTag()) == "listed") {
        video.title = u"Clip <b>doublé</b> & sous-titré"_s;
        video.channel = u"Chaîne <i>locale</i>"_s;
        w.setBehaviour("sed 's|\"title\":|\"thumbnail\": \"" + video.thumbnail.toEncoded()
                       + "\", \"title\":|' '" QUORVEL_TEST_DATA_DIR
                         "/listing-ytdlp-json-dubbed-drm.txt'");
        QVERIFY(w.listAndTick(u"http://127.0.0.1:9/v"_s, {u"248"_s}));
        // Exactly the table's codes, the one the description alone names left out; the
        // protected one cannot be ticked.
        QAbstractItemModel *model = w.child<QTableView>(u"tableView"_s)->model();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(model->index(3, 0).data().toString(), u"248"_s);
        QCOMPARE(model->index(3, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!(model->flags(model->index(3, 0)) & Qt::ItemIsUserCheckable));
    } else {
        listFour(w);
        emit w.window->findChild<Session *>()->videoDescribed(described ? video
                                                                        : VideoDescription());
    }
    QVERIFY(card->isVisible());
    const QStringList names {u"videoTitleLabel"_s, u"videoChannelLabel"_s, u"videoDetailsLabel"_s};
    const QStringList shown {described ? video.title : QString(),
                             described ? video.channel : QString(), details};
    for (qsizetype index = 0; index < names.size(); ++index) {
        QCOMPARE(w.child<QLabel>(names.at(index))->textFormat(), Qt::PlainText);
        QCOMPARE(w.child<QLabel>(names.at(index))->text(), shown.at(index));
    }
    QCOMPARE(w.child<QLabel>(u"videoMissingLabel"_s)->isVisible(), !described);
    // The picture once fetched and decoded, the grey box otherwise.
    auto *pictureLabel = w.child<QLabel>(u"videoPictureLabel"_s);
    const auto middle
        = [pictureLabel] { return pictureLabel->pixmap().toImage().pixelColor(80, 45); };
    if (picture == u"picture.png"_s) {
        QTRY_VERIFY(middle().red() > 200 && middle().green() < 50);
    } else {
        QTRY_COMPARE(pictureLabel->accessibleDescription(), u"Pas d'image pour cette vidéo"_s);
    }
    w.child<QAction>(u"clearListAction"_s)->trigger();
    QVERIFY(card->isHidden());
    QCOMPARE(w.child<QLabel>(u"videoTitleLabel"_s)->text(), QString());
}

void tst_ViewController::readoutsKeysAndRememberedLayout()
{
    // The progress line as a person reads it.
    QCOMPARE(ProgressReadout::barText(42.3), u"42,3 %"_s);
    for (const auto &[progress, text] : QList<std::pair<DownloadProgress, QString>> {
             {{42.3, "1.23MiB/s", "00:05", 1, 2}, u"fichier 1 sur 2 · 1,23 Mio/s · encore 00:05"_s},
             {{5, "512.0KiB/s", {}, 1, 1}, u"512,0 Kio/s"_s}}) {
        QCOMPARE(ProgressReadout::detailsText(progress), text);
    }
    // Ctrl+, opens the Preferences window, also where the platform has no key for it.
    WindowHarness w(Downloader::StandIn);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    // Tab goes from the address through the window's parts in reading order.
    QStringList tabbed;
    w.child<QLineEdit>(u"urlYoutube"_s)->setFocus();
    while (tabbed.size() < 5) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        tabbed << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(tabbed,
             (QStringList {u"getFormatButton"_s, u"tableView"_s, u"downloadButton"_s,
                           u"downloadAudioButton"_s, u"mergeCheckBox"_s}));
    QTest::keyClick(w.window.get(), Qt::Key_Comma, Qt::ControlModifier);
    QTRY_VERIFY(w.window->findChild<preferenceViewController *>());
    // Enter at the quit question keeps the downloads going.
    const std::unique_ptr<QMessageBox> question = quitQuestion(w.window.get());
    question->show();
    QTest::keyClick(question.get(), Qt::Key_Return);
    QCOMPARE(quitChoice(*question), QuitChoice::Stay);
    QCOMPARE(question->clickedButton()->accessibleName(), u"Continuer les téléchargements"_s);
    QCOMPARE(w.child<QAction>(u"aboutAction"_s)->text(), u"À &propos de Quorvel"_s);
    QVERIFY(aboutText(w.toolSet).startsWith(u"Quorvel " QUORVEL_VERSION "\n"_s));
    QVERIFY(aboutText(w.toolSet).endsWith(u'\n' + *youtubeDLPath()));
    // At the default size a listing shows every column, the long note cut short.
    w.setBehaviour("printf '137 mp4 1920x1080 %0400d 3.28MiB 1200k [en-US] original\\n' 0");
    QVERIFY(w.listAndTick(u"http://127.0.0.1:9/v"_s, {}));
    QHeaderView *header = w.child<QTableView>(u"tableView"_s)->horizontalHeader();
    QVERIFY(header->length() <= header->viewport()->width());
    // The window's size comes back at the next start; the column widths only once dragged.
    w.window->resize(760, 600);
    w.window->close();
    QVERIFY(!w.store->contains(u"ColumnWidths"_s));
    w.window->show();
    const int width = header->sectionSize(FormatTableModel::SizeColumn);
    const int edge = header->sectionViewportPosition(FormatTableModel::SizeColumn) + width - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, {edge, 5});
    QTest::mouseMove(header->viewport(), {edge + 20, 5});
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, {edge + 20, 5});
    w.window->close();
    const ViewController again(*w.store, w.toolSet);
    QCOMPARE(again.size(), QSize(760, 600));
    QCOMPARE(
        again.findChild<QTableView *>(u"tableView"_s)->columnWidth(FormatTableModel::SizeColumn),
        width + 20);
    // A size saved on a larger screen comes back inside this one; so does a window that Qt's
    // own check leaves as it is (after a change of scale, the first start).
    const QRect available = w.window->screen()->availableGeometry();
    const QRect larger = available.adjusted(100, 50, available.width(), available.height());
    w.window->show();
    w.window->setGeometry(larger);
    w.window->close();
    const ViewController fitted(*w.store, w.toolSet);
    QVERIFY(available.contains(fitted.frameGeometry()));
    QWidget unchecked;
    unchecked.setGeometry(larger);
    fitIntoScreen(&unchecked);
    QVERIFY(available.contains(unchecked.frameGeometry()));
}

void tst_ViewController::downloadEnds_data()
{
    QTest::addColumn<QByteArray>("behaviour"); // null: a download that never ends on its own
    QTest::addColumn<QString>("how"); // "": its own end; "cancel", a quit, or a signal
    QTest::addColumn<QString>("message");
    const QString failed = u"Échec du téléchargement : "_s;
    const auto row
        = [](const char *name, const QByteArray &behaviour, const QString &how,
             const QString &message) { QTest::newRow(name) << behaviour << how << message; };
    // A success is a file that the downloader names, whatever else it said.
    row("success, whatever was said",
        "echo 'ERROR: x'; touch \"${2%/*}/a.mp4\"; echo \"${2%/*}/a.mp4\" >\"$(printf '%s\\n' "
        "\"$@\" | grep -A1 -x after_move:filepath | tail -1)\"",
        {}, {});
    row("success without a file", "exit 0", {},
        failed + u"le téléchargeur n'a écrit aucun fichier"_s);
    row("the last error line", "echo 'ERROR: first'; echo 'ERROR:  Vidéo indisponible'; exit 1", {},
        failed + u"Vidéo indisponible"_s);
    row("silent failure", "exit 3", {}, failed + u"code de sortie 3"_s);
    row("killed", "kill -KILL $$", {}, failed + u"arrêté par le signal 9"_s);
    // A server's long error page, as the downloader reports it: its start is shown.
    row("long error", "printf 'ERROR: %060000d\\n' 0; exit 1", {},
        QString(failed + QString(60'000, u'0')).first(1000) + u'…');
    // Outside text as plain text: no picture read from the disk, no name reversed.
    row("markup and override",
        "printf 'ERROR: HTTP Error 500: No space left on device <img "
        "src=\"file://%s\"> \\342\\200\\256exe.gpj\\n' \"$here/behaviour\"; exit 1",
        {},
        failed
            + u"HTTP Error 500: No space left on device <img src=\"file:///behaviour\"> exe.gpj"_s);
    row("cancel", {}, u"cancel"_s, u"Téléchargement annulé"_s);
    // A refused quit leaves the download running, the file it writes in sight.
    row("quit, refused", {}, u"refused"_s, u"/a.mp4"_s);
    row("quit, all cancelled", {}, u"cancelled"_s, u"Téléchargement annulé"_s);
    row("quit, paused", {}, u"paused"_s, u"Téléchargement mis en pause"_s);
    // The signals that end a program pause the downloads and quit, unasked.
    for (const char *name : {"SIGTERM", "SIGINT", "SIGHUP"}) {
        row(name, {}, QString::fromLatin1(name), u"Téléchargement mis en pause"_s);
    }
}

void tst_ViewController::downloadEnds()
{
    QFETCH(QByteArray, behaviour);
    QFETCH(QString, how);
    QFETCH(QString, message);
    WindowHarness w(Downloader::StandIn);
    TerminationSignals signalled;
    connect(&signalled, &TerminationSignals::received, w.window.get(),
            &ViewController::quitWithoutAsking);
    w.quitChoice = how == u"cancelled"_s ? QuitChoice::CancelAndQuit
        : how == u"paused"_s             ? QuitChoice::PauseAndQuit
                                         : QuitChoice::Stay;
    // Unless told, it writes a partial file and never ends.
    w.setBehaviour(!behaviour.isNull()
                       ? behaviour
                       : "dir=${2%/*}; echo \"[download] Destination: $dir/a.mp4\"\n"
                         "echo partial > \"$dir/a.mp4.part\"; printf '[download]  10.0%% of 9 "
                         "at 1.00KiB/s\\r[download]  12.5%% of 9 at 2.00KiB/s ETA 00:05\\r'\n"
                         "exec sleep 300\n");
    w.window->setAddress(u"http://127.0.0.1:9/v"_s);
    w.window->show();
    w.click(u"downloadButton"_s);
    auto *audio = w.child<QPushButton>(u"downloadAudioButton"_s);
    // The window stays free for the next video while the download runs.
    QVERIFY(w.window->isRunning() && audio->isEnabled());
    if (behaviour.isNull()) {
        // The last report is shown whole, however soon after the one before it came.
        QTRY_COMPARE(w.child<QProgressBar>(u"progressBar"_s)->value(), 125);
        QTRY_COMPARE(w.child<QLabel>(u"progressDetailsLabel"_s)->text(),
                     u"2,00 Kio/s · encore 00:05"_s);
    }
    const bool stops = how != u"refused"_s;
    if (how == u"cancel"_s) {
        w.click(u"cancelDownloadButton"_s);
    } else if (how.startsWith(u"SIG"_s)) {
        ::raise(how == u"SIGTERM"_s ? SIGTERM : how == u"SIGINT"_s ? SIGINT : SIGHUP);
        QTRY_VERIFY(!w.window->isVisible());
    } else if (!how.isEmpty()) {
        w.window->close();
    }
    QCOMPARE(w.window->isVisible(), how.isEmpty() || how == u"cancel"_s || !stops);
    QCOMPARE(w.waitForDownloadEnd(stops ? 30'000 : 100), stops);
    // A pause keeps the partial file, from which the download carries on.
    QCOMPARE(QFile::exists(w.target.filePath(u"a.mp4.part"_s)),
             !stops || message.endsWith(u"en pause"_s));
    QCOMPARE(w.message().remove(w.target.path()).remove(w.tools.path()), message);
    // The line's tooltip opens no file it names.
    const int watch = inotify_init1(IN_NONBLOCK);
    const QByteArray picture = QFile::encodeName(w.tools.filePath(u"behaviour"_s));
    QVERIFY(inotify_add_watch(watch, picture.constData(), IN_OPEN) >= 0);
    QHelpEvent help(QEvent::ToolTip, {}, w.window->mapToGlobal(QPoint()));
    QApplication::sendEvent(w.child<QLabel>(u"messageTextField"_s), &help);
    std::array<char, 256> opened {};
    QCOMPARE(read(watch, opened.data(), opened.size()), -1);
    close(watch);
    QVERIFY(w.window->width() <= w.window->screen()->availableGeometry().width());
    w.window->cancelDownload();
    QVERIFY(w.waitForDownloadEnd(30'000));
    QCOMPARE(w.child<QProgressBar>(u"progressBar"_s)->value(), 0);
    QVERIFY(audio->isEnabled());
}

void tst_ViewController::preferences_data()
{
    QTest::addColumn<QByteArray>("stored"); // the settings file's lines before opening
    QTest::addColumn<QString>("format"); // typed; empty: left as opened
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("after"); // format|quality|keep video|file names, as stored
    QTest::addColumn<QString>("hint"); // the start of what the window explains
    const auto row = [](const char *name, const QByteArray &stored, const QString &format,
                        const QString &quality, const QString &button, const QString &after,
                        const QString &hint = {}) {
        QTest::newRow(name) << stored << format << quality << button << after << hint;
    };
    const QString ok = u"okButton"_s;
    const QString seeded = u"best|0|1|full"_s;
    row("opened and stored as seeded", {}, {}, {}, ok, seeded);
    row("typed format, quality between blanks", {}, u"alac; x"_s, u" 320 "_s, ok,
        u"alac; x|320|1|full"_s, u"Format inconnu du téléchargeur"_s);
    // Nothing but a whole number from 0 to 9999 is taken, and nothing becomes another number.
    const QString untouched = u"best|0|1|"_s;
    for (const char *refused : {"3.5", "1e3", "12abc", "+5", "-1", "10000", "99999999999", "٣"}) {
        row(refused, {}, {}, QString::fromUtf8(refused), ok, untouched, u"Qualité refusée"_s);
    }
    row("blank quality: OK waits", {}, {}, u" "_s, ok, untouched, u"OK attend une qualité"_s);
    row("cancel", {}, u"wav"_s, u"320"_s, u"cancelButton"_s, untouched);
    // Hand-edited values that do not convert open, and are used, as the seeded ones.
    row("format read back as a list, mixed state", "AudioFormat=mp3, wav\nAudioPreserveVideo=-1",
        {}, {}, ok, u"best|0|0|full"_s);
    row("unreadable values",
        "AudioFormat=@ByteArray(mp3)\nAudioQuality=4294967296\nAudioPreserveVideo=yes", {}, {}, ok,
        seeded);
    row("quality not a number", "AudioFormat=mp3\nAudioQuality=abc", {}, {}, ok, u"mp3|0|1|full"_s);
    row("file names by title alone, kept", "FileNaming=title", {}, {}, ok, u"best|0|1|title"_s);
    row("file names unknown: the usual ones", "FileNaming=id", {}, {}, ok, seeded);
}

void tst_ViewController::preferences()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, format);
    QFETCH(QString, quality);
    QFETCH(QString, button);
    QFETCH(QString, after);
    QFETCH(QString, hint);
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(u"settings.ini"_s), "[General]\n" + stored));
    auto store = TestSupport::makeSettings(dir);
    Settings(*store).seedIfAbsent();
    preferenceViewController window(*store);
    window.show();
    QCOMPARE(window.windowTitle(), u"Preferences"_s);
    for (const auto &[field, text] :
         {std::pair {window.findChild<QComboBox *>(u"formatComboBox"_s)->lineEdit(), format},
          std::pair {window.findChild<QLineEdit *>(u"qualityTextField"_s), quality}}) {
        if (!text.isEmpty()) {
            field->selectAll();
            // One key a character, as typed; keyClicks() takes Latin-1 only.
            for (const QChar character : text) {
                QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, character, {});
            }
        }
    }
    QVERIFY(window.findChild<QLabel *>(u"hintLabel"_s)->text().startsWith(hint));
    // Every control that Tab reaches has a name for screen readers.
    QCOMPARE(unnamedControls(&window), QStringList());
    QTest::mouseClick(window.findChild<QPushButton *>(button), Qt::LeftButton);
    window.close();
    store->sync();
    QCOMPARE(store->value(u"AudioFormat"_s).toString() + u'|'
                 + store->value(u"AudioQuality"_s).toString() + u'|'
                 + store->value(u"AudioPreserveVideo"_s).toString() + u'|'
                 + store->value(u"FileNaming"_s).toString(),
             after);
}

void tst_ViewController::cookiePreferences_data()
{
    QTest::addColumn<QByteArray>("stored"); // the settings file's lines before opening
    QTest::addColumn<bool>("browsers"); // two profiles found, or none
    QTest::addColumn<QString>("button"); // clicked, then the embed boxes named in "toggled"
    QTest::addColumn<QByteArray>("file"); // what the chooser gives; null: cancelled
    QTest::addColumn<QStringList>("toggled");
    QTest::addColumn<QString>("shown"); // the browser's combo box
    QTest::addColumn<QString>("after"); // source|browser|profile|file name|embedded, as stored
    QTest::addColumn<bool>("refused"); // the hint says why the file was not taken
    const QByteArray cookies = "# Netscape HTTP Cookie File\n.a.fr\tTRUE\t/\tTRUE\t0\tk\tv\n";
    const QByteArray browser = "CookieSource=browser\nCookieBrowser=firefox\nCookieProfile=";
    const QString firefox = u"Firefox — default-release"_s;
    QTest::newRow("none, no browser found")
        << QByteArray() << false << QString() << QByteArray() << QStringList()
        << u"Aucun navigateur trouvé"_s << u"none||||000"_s << false;
    QTest::newRow("profile read back")
        << browser + "/h/ff" << true << QString() << QByteArray() << QStringList() << firefox
        << u"browser|firefox|/h/ff||000"_s << false;
    QTest::newRow("profile gone, still chosen")
        << browser + "/h/x.old" << true << QString() << QByteArray() << QStringList()
        << u"firefox — x.old (introuvable)"_s << u"browser|firefox|/h/x.old||000"_s << false;
    QTest::newRow("file chosen at its button")
        << QByteArray() << true << u"cookieFileButton"_s << cookies << QStringList() << firefox
        << u"file|||cookies.txt|000"_s << false;
    QTest::newRow("chooser cancelled")
        << QByteArray() << true << u"cookieFileButton"_s << QByteArray() << QStringList() << firefox
        << u"none||||000"_s << false;
    QTest::newRow("JSON refused, the profile kept")
        << browser + "/h/ff" << true << u"chooseCookieFileButton"_s
        << "[{\"name\": \"pass\", \"value\": \"s3cret\"}]"_ba << QStringList() << firefox
        << u"browser|firefox|/h/ff||000"_s << true;
    QTest::newRow("file and embedding read back, boxes ticked")
        << "CookieSource=file\nCookieFile=/h/c.txt\nEmbedThumbnail=true"_ba << false << QString()
        << QByteArray() << QStringList {u"embedMetadataButton"_s, u"embedChaptersButton"_s}
        << u"Aucun navigateur trouvé"_s << u"file|||c.txt|111"_s << false;
}

void tst_ViewController::cookiePreferences()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, browsers);
    QFETCH(QString, button);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, toggled);
    QFETCH(QString, shown);
    QFETCH(QString, after);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(u"settings.ini"_s), "[General]\n" + stored));
    auto store = TestSupport::makeSettings(dir);
    const QString chosen = file.isNull() ? QString() : dir.filePath(u"cookies.txt"_s);
    QVERIFY(file.isNull() || TestSupport::writeFile(chosen, file));
    preferenceViewController::setFileChooser(
        [&chosen](QWidget *, const QString &) { return chosen; });
    preferenceViewController::setProfileFinder([browsers] {
        return browsers
            ? QList<BrowserProfile> {{u"firefox"_s, u"Firefox"_s, u"default-release"_s, u"/h/ff"_s},
                                     {u"chromium"_s, u"Chromium"_s, u"Default"_s, u"/h/ch"_s}}
            : QList<BrowserProfile> {};
    });
    const auto restore = qScopeGuard([] {
        preferenceViewController::setFileChooser({});
        preferenceViewController::setProfileFinder({});
    });
    preferenceViewController window(*store);
    window.show();
    QCOMPARE(window.findChild<QComboBox *>(u"browserComboBox"_s)->currentText(), shown);
    for (const QString &name : QStringList {button} + toggled) {
        if (!name.isEmpty()) {
            window.findChild<QAbstractButton *>(name)->click();
        }
    }
    QCOMPARE(!window.findChild<QLabel *>(u"hintLabel"_s)->text().isEmpty(), refused);
    window.okButton();
    const CookieChoice cookies = Settings(*store).cookieChoice();
    const EmbedChoice embed = Settings(*store).embedChoice();
    QCOMPARE(QStringList({cookieSourceId(cookies.source), cookies.browser, cookies.profile,
                          QFileInfo(cookies.file).fileName(),
                          u"%1%2%3"_s.arg(int(embed.metadata))
                              .arg(int(embed.thumbnail))
                              .arg(int(embed.chapters))})
                 .join(u'|'),
             after);
}

void tst_ViewController::subtitlePicker()
{
    WindowHarness w(Downloader::StandIn);
    w.window->show();
    Settings(*w.store).setSubtitleLanguages({u"de"_s, u"en"_s});
    // A person's languages, one name with an ampersand, then many automatic ones.
    VideoDescription video;
    video.described = true;
    video.subtitles = {{u"en"_s, u"English"_s}, {u"fr"_s, u"Rock & Roll"_s}};
    for (int index = 0; index < 150; ++index) {
        video.subtitles.append({u"a%1"_s.arg(index), {}, true});
    }
    auto *session = w.window->findChild<Session *>();
    auto *picker = w.window->findChild<SubtitlePicker *>();
    emit session->videoDescribed(video);
    QVERIFY(picker->isVisible());
    // Many boxes come a few at a time, in their order, and Tab goes through them in it.
    QTRY_COMPARE(picker->findChildren<QCheckBox *>().size(), 152);
    const QList<QCheckBox *> boxes = picker->findChildren<QCheckBox *>();
    const auto tabFrom = [](QWidget *widget) {
        do {
            widget = widget->nextInFocusChain();
        } while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    QCOMPARE(tabFrom(boxes.at(150)), boxes.at(151));
    QCOMPARE(tabFrom(boxes.at(151)), w.child<QRadioButton>(u"subtitlesApartButton"_s));
    QCOMPARE(QAccessible::queryAccessibleInterface(boxes.at(1))->text(QAccessible::Name),
             subtitleLanguageText(video.subtitles.at(1)));
    QVERIFY(boxes.at(0)->isChecked() && !boxes.at(1)->isChecked());
    QCOMPARE(unnamedControls(w.window.get()), QStringList());
    // A few rows in sight, however many languages, with the title and the radio buttons.
    QVERIFY(picker->height() < 8 * boxes.at(0)->height());
    // Ticked codes go last, unticked ones leave; a code that this video lacks stays.
    boxes.at(1)->click();
    boxes.at(0)->click();
    QCOMPARE(Settings(*w.store).subtitleLanguages(), (QStringList {u"de"_s, u"fr"_s}));
    w.child<QRadioButton>(u"subtitlesEmbeddedButton"_s)->click();
    QVERIFY(Settings(*w.store).subtitlesEmbedded());
    // Nothing to offer for a list, a video without subtitles, or a card cleared.
    for (const auto &[isPlaylist, offered] : {std::pair {true, 1}, std::pair {false, 0}}) {
        video.isPlaylist = isPlaylist;
        video.subtitles.resize(offered);
        emit session->videoDescribed(video);
        QVERIFY(picker->isHidden());
    }
    video.subtitles = {{u"fr"_s}};
    emit session->videoDescribed(video);
    QVERIFY(picker->findChild<QCheckBox *>()->isChecked());
    w.window->findChild<VideoCard *>()->clear();
    QVERIFY(picker->isHidden());
}

void tst_ViewController::plainAndAudioDownloads()
{
    QVERIFY(media().isValid());
    WindowHarness w;
    QStringList shown;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!w.message().isEmpty() && !shown.contains(w.message())) {
            shown << w.message();
        }
    });
    // A video address that names its playlist too gives that one video.
    QVERIFY(w.listAndTick(media().manifestUrl() + u"?v=1&list=PL1"_s, {u"137"_s, u"140"_s}));
    poll.start(1);
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(w.message(), QString());
    const QStringList videos = filesIn(w.target.path(), u"*.mp4"_s);
    const QStringList audios = filesIn(w.target.path(), u"*.m4a"_s);
    // The end is said under the table, each file named, with the way to the folder.
    auto *result = w.child<QLabel>(u"downloadEndLabel"_s);
    auto *openFolder = w.child<QPushButton>(u"openFolderButton"_s);
    QCOMPARE(result->text(),
             u"Téléchargement terminé : 2 fichiers dans %1\n%2\n%3"_s.arg(
                 w.target.path(), audios.value(0), videos.value(0)));
    QVERIFY(openFolder->isVisibleTo(w.window.get()) && result->wordWrap());
    QCOMPARE(result->textFormat(), Qt::PlainText);
    // Qt's offscreen platform opens nothing: that is said too.
    QTest::mouseClick(openFolder, Qt::LeftButton);
    QVERIFY(result->text().endsWith(u"\nImpossible d'ouvrir le dossier : aucune application ne "
                                    u"l'a pris en charge"_s));
    QCOMPARE(filesIn(w.target.path()).size(), 2);
    QCOMPARE(streamCodecs(w.target.filePath(videos.value(0))), QStringList {u"h264"_s});
    QCOMPARE(streamCodecs(w.target.filePath(audios.value(0))), QStringList {u"aac"_s});
    // Each destination was shown as it came, inside the chosen folder.
    QCOMPARE(
        shown,
        (QStringList {w.target.filePath(audios.value(0)), w.target.filePath(videos.value(0))}));

    // An audio download with the settings of the Preferences window: mp3, 5, keep.
    preferenceViewController preferences(*w.store);
    preferences.findChild<QComboBox *>(u"formatComboBox"_s)->setCurrentText(u"mp3"_s);
    preferences.findChild<QLineEdit *>(u"qualityTextField"_s)->setText(u"5"_s);
    preferences.okButton();
    QAbstractItemModel *model = w.child<QTableView>(u"tableView"_s)->model();
    QCOMPARE(model->index(1, 0).data().toString(), u"137"_s);
    model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    // A folder that the shell would read as another is refused before anything runs; the
    // chooser opened in the folder of the last download.
    w.chosenFolder = w.target.filePath(u"$HOME"_s);
    QVERIFY(QDir().mkpath(w.chosenFolder));
    w.click(u"downloadAudioButton"_s);
    QVERIFY(w.message().startsWith(u"Dossier refusé"_s) && !w.window->isRunning());
    QCOMPARE(w.chooserStart, w.target.path());
    // The last download's result does not stay beside the refusal.
    QCOMPARE(result->text(), QString());
    QVERIFY(!openFolder->isVisibleTo(w.window.get()));
    // Each piece of this name would send the files elsewhere, or run a command, were the
    // folder not passed as one word.
    QTemporaryDir audioParent;
    const QString audioTarget = audioParent.filePath(u"L'été ~ $$ $(touch x) `y` 50% %(id)s"_s);
    QVERIFY(QDir().mkpath(audioTarget));
    w.chosenFolder = audioTarget;
    const QStringList homeBefore = QDir::home().entryList(QDir::AllEntries | QDir::Hidden);
    shown.clear();
    w.click(u"downloadAudioButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(w.message(), QString());
    QCOMPARE(filesIn(audioTarget, u"*.m4a"_s).size(), 1);
    const QStringList mp3 = filesIn(audioTarget, u"*.mp3"_s);
    QCOMPARE(mp3.size(), 1);
    QCOMPARE(QDir(audioParent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
    QCOMPARE(QDir::home().entryList(QDir::AllEntries | QDir::Hidden), homeBefore);
    // The audio file is named as the downloader writes it, and counted with the kept one.
    QCOMPARE(shown.last(), QDir(audioTarget).filePath(mp3.value(0)));
    QVERIFY(result->text().contains(u"2 fichiers"_s));
    QCOMPARE(streamCodecs(QDir(audioTarget).filePath(mp3.value(0))), QStringList {u"mp3"_s});
    w.click(u"clearResultButton"_s);
    QVERIFY(result->text().isEmpty() && !openFolder->isVisibleTo(w.window.get()));
}

void tst_ViewController::userConfigurationChangesNothing_data()
{
    QTest::addColumn<QString>("file"); // in the test's home folder
    QTest::addColumn<QByteArray>("options"); // "%1": a folder elsewhere
    const QString xdg = u".config/yt-dlp/config"_s;
    QTest::newRow("print, where XDG says") << xdg << "--print id\n"_ba;
    QTest::newRow("simulate, in the home folder") << u"yt-dlp.conf"_s << "-s\n"_ba;
    QTest::newRow("quiet, no progress, files elsewhere")
        << xdg << "--quiet --no-progress --progress-template x -P %1 -o %1/%(id)s\n"_ba;
}

void tst_ViewController::userConfigurationChangesNothing()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, options);
    QVERIFY(media().isValid());
    QTemporaryDir elsewhere;
    const QString config = QDir::home().filePath(file);
    QVERIFY(QDir().mkpath(QFileInfo(config).path()));
    const auto removeConfig = qScopeGuard([&config] {
        QFile::remove(config);
        QDir().rmdir(QFileInfo(config).path());
    });
    QVERIFY(
        TestSupport::writeFile(config, options.replace("%1", QFile::encodeName(elsewhere.path()))));
    WindowHarness w;
    int progress = 0;
    connect(w.child<QProgressBar>(u"progressBar"_s), &QProgressBar::valueChanged, this,
            [&progress](int value) { progress = std::max(progress, value); });
    QVERIFY(w.listAndTick(media().manifestUrl(), {u"140"_s}));
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    // Listed, downloaded into the chosen folder with its progress shown, and counted.
    const QStringList files = filesIn(w.target.path());
    QCOMPARE(files.size(), 1);
    QCOMPARE(filesIn(elsewhere.path()), QStringList());
    QVERIFY(progress > 0);
    QCOMPARE(w.child<QLabel>(u"downloadEndLabel"_s)->text(),
             u"Téléchargement terminé : %1 dans %2"_s.arg(files.first(), w.target.path()));
}

void tst_ViewController::badAddressThenPictureAndSoundInOneFile()
{
    WindowHarness w;
    w.window->setAddress(media().url(u"absent.mpd"_s).toString());
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QVERIFY2(w.message().startsWith(u"Échec du téléchargement : "_s)
                 && w.message().contains(u"404"_s),
             qPrintable(w.message()));
    QCOMPARE(filesIn(w.target.path()), QStringList());
    QVERIFY(w.listAndTick(media().manifestUrl(), {u"137"_s, u"140"_s}));
    w.child<QCheckBox>(u"mergeCheckBox"_s)->setChecked(true);
    w.store->setValue(u"MergeContainer"_s, u"mp4"_s);
    w.store->setValue(u"FileNaming"_s, u"title"_s);
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    const QStringList files = filesIn(w.target.path());
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.first().endsWith(u".mp4"_s), qPrintable(files.first()));
    QCOMPARE(streamCodecs(w.target.filePath(files.first())), (QStringList {u"h264"_s, u"aac"_s}));
    // Named by the title alone, the same download again is numbered; the first file stays.
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd() && !files.first().contains(u'#'));
    QCOMPARE(filesIn(w.target.path()).size(), 2);
    QCOMPARE(filesIn(w.target.path(), u"*-2.mp4"_s),
             QStringList {QString(files.first()).replace(u".mp4"_s, u"-2.mp4"_s)});
}

void tst_ViewController::oneClickToOneFile()
{
    {
        // A fresh profile, nothing listed: the best picture and sound, merged into mkv.
        WindowHarness w;
        QCOMPARE(w.child<QComboBox>(u"qualityComboBox"_s)->currentText(),
                 u"Meilleure qualité (image et son)"_s);
        w.window->setAddress(media().manifestUrl());
        w.click(u"downloadButton"_s);
        QVERIFY(w.waitForDownloadEnd());
        const QStringList files = filesIn(w.target.path());
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first().endsWith(u".mkv"_s), qPrintable(files.first()));
        QCOMPARE(streamCodecs(w.target.filePath(files.first())),
                 (QStringList {u"h264"_s, u"aac"_s}));
    }
    // "Formats cochés" with nothing ticked asks for the best, and is remembered.
    WindowHarness w(Downloader::StandIn);
    w.child<QComboBox>(u"qualityComboBox"_s)->setCurrentText(u"Formats cochés"_s);
    QCOMPARE(w.store->value(u"DownloadChoice"_s).toString(), u"ticked"_s);
    w.window->setAddress(u"http://127.0.0.1:9/v"_s);
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd(30'000));
    QVERIFY(TestSupport::readFile(w.tools.filePath(u"arguments"_s)).contains("\0-f\0best\0"_ba));
}

void tst_ViewController::updatedDownloaderRuns()
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

    // A real listing and download, through the managed copy.
    QVERIFY(w.listAndTick(media().manifestUrl(), {u"140"_s}));
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(w.message(), QString());
    QCOMPARE(filesIn(w.target.path(), u"*.m4a"_s).size(), 1);
    QCOMPARE(*youtubeDLPath(), w.managed.filePath(u"youtube-dl"_s));

    w.child<QAction>(u"revertDownloaderAction"_s)->trigger();
    QTRY_COMPARE(version->text(), u"Téléchargeur : yt-dlp 2023.03.04 (fourni)"_s);
    QCOMPARE(filesIn(w.managed.path()), QStringList());
    // A managed copy that fails to answer, whatever it prints, gives way to the bundled one.
    QVERIFY(TestSupport::writeFile(w.managed.filePath(u"youtube-dl"_s),
                                   "#!/bin/sh\necho 2099.01.01\nexit 1\n"));
    QFile::setPermissions(w.managed.filePath(u"youtube-dl"_s), QFile::ExeOwner | QFile::ReadOwner);
    w.toolSet.lookUp(w.tools.path(), w.managed.path());
    w.toolSet.askDownloaderVersion();
    QTRY_COMPARE(*youtubeDLPath(), w.tools.filePath(u"youtube-dl"_s));
}

void tst_ViewController::queuePreferences()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    const auto shown = [](const preferenceViewController &window) {
        return std::pair {window.findChild<QSpinBox *>(u"simultaneousSpinBox"_s),
                          window.findChild<QCheckBox *>(u"resumeAtStartButton"_s)};
    };
    preferenceViewController window(*store);
    QSignalSpy changed(&window, &preferenceViewController::simultaneousDownloadsChanged);
    QCOMPARE(shown(window).first->value(), 2);
    shown(window).first->setValue(9);
    shown(window).second->setChecked(true);
    window.okButton();
    QCOMPARE(changed.takeFirst().at(0).toInt(), 8);
    QCOMPARE(Settings(*store).simultaneousDownloads(), 8);
    QVERIFY(Settings(*store).resumeAtStart());
    // Shown again as stored; Cancel stores nothing, and the queue is not told.
    preferenceViewController again(*store);
    QSignalSpy changedAgain(&again, &preferenceViewController::simultaneousDownloadsChanged);
    QCOMPARE(shown(again).first->value(), 8);
    QVERIFY(shown(again).second->isChecked());
    shown(again).first->setValue(1);
    again.cancelButton();
    QCOMPARE(Settings(*store).simultaneousDownloads(), 8);
    QVERIFY(changedAgain.isEmpty());
}

void tst_ViewController::queueButtons_data()
{
    QTest::addColumn<QString>("states");
    QTest::addColumn<QList<int>>("selected"); // rows
    QTest::addColumn<QString>("enabled");
    const QString all = u"Tout mettre en pause|Tout reprendre|Effacer les terminés"_s;
    QTest::newRow("none selected") << u"running paused finished"_s << QList<int> {} << all;
    QTest::newRow("running") << u"running paused finished"_s << QList<int> {0}
                             << u"Pause|Annuler|Ouvrir le dossier|"_s + all;
    QTest::newRow("waiting and paused")
        << u"waiting paused"_s << QList<int> {0, 1}
        << u"Pause|Reprendre|Annuler|Retirer de la liste|Tout mettre en pause|Tout reprendre"_s;
    QTest::newRow("failed") << u"failed"_s << QList<int> {0}
                            << u"Réessayer|Ouvrir le dossier|Retirer de la liste"_s;
    QTest::newRow("cancelled and finished")
        << u"cancelled finished"_s << QList<int> {0, 1}
        << u"Réessayer|Retirer de la liste|Effacer les terminés"_s;
    QTest::newRow("empty queue") << QString() << QList<int> {} << QString();
}

void tst_ViewController::queueButtons()
{
    QFETCH(QString, states);
    QFETCH(QList<int>, selected);
    QFETCH(QString, enabled);
    QStandardItemModel model;
    fillQueue(model, states);
    QueuePanel panel(&model);
    auto *view = panel.findChild<QTableView *>();
    for (const int row : selected) {
        view->selectionModel()->select(model.index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QCOMPARE(enabledButtons(panel).join(u'|'), enabled);
}

void tst_ViewController::queueActionsAndPictures()
{
    QStandardItemModel model;
    fillQueue(model, u"waiting waiting waiting waiting"_s);
    QueuePanel panel(&model);
    auto *view = panel.findChild<QTableView *>();
    QCOMPARE(view->accessibleName(), u"File d'attente"_s);
    QSignalSpy moved(&panel, &QueuePanel::moveRequested);
    QSignalSpy paused(&panel, &QueuePanel::pauseRequested);
    panel.showJob(11);
    view->selectionModel()->select(model.index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    // One place up or down, the target counted before the move as a drop gives it.
    QTest::keyClick(view, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(moved.takeFirst(), (QVariantList {QVariant::fromValue(QList<qint64> {11, 12}), 0}));
    QCOMPARE(moved.takeFirst(), (QVariantList {QVariant::fromValue(QList<qint64> {11, 12}), 4}));
    panel.showJob(13);
    QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
    QVERIFY(moved.isEmpty());
    // A job's change of state changes what may be done.
    auto *pause = panel.findChild<QPushButton *>(u"queuePauseButton"_s);
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(paused.takeFirst().at(0).value<QList<qint64>>(), QList<qint64> {13});
    model.setData(model.index(3, 0), static_cast<int>(JobState::Finished), QueueModel::StateRole);
    QVERIFY(!pause->isEnabled());
    QVERIFY(panel.findChild<QPushButton *>(u"queueClearFinishedButton"_s)->isEnabled());
    // Pictures are read at the thumbnail's size, keeping their shape.
    QTemporaryDir dir;
    for (const auto &[size, shown] : {std::pair {QSize(1280, 720), QSize(64, 36)},
                                      std::pair {QSize(300, 300), QSize(36, 36)}}) {
        const QString path = dir.filePath(u"%1.png"_s.arg(size.width()));
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(path));
        QCOMPARE(QueuePanel::thumbnail(path).size(), shown);
        model.setData(model.index(0, 0), path, QueueModel::PicturePathRole);
    }
    model.setData(model.index(1, 0), dir.filePath(u"absent.png"_s), QueueModel::PicturePathRole);
    QVERIFY(QueuePanel::thumbnail(dir.filePath(u"absent.png"_s)).isNull());
    panel.resize(800, 300);
    QVERIFY(!panel.grab().isNull());
}

void tst_ViewController::queueThroughTheWindow()
{
    const ServedFolder served(u"make-picture.sh"_s);
    QVERIFY(served.isValid());
    const QList<QByteArray> contents {serveRandomFile(served, u"first.mp4"_s, 320),
                                      serveRandomFile(served, u"second.mp4"_s, 320)};
    WindowHarness w;
    // One download at a time, as the Preferences say.
    w.window->openPreferences();
    auto *preferences = w.window->findChild<preferenceViewController *>();
    preferences->findChild<QSpinBox *>(u"simultaneousSpinBox"_s)->setValue(1);
    preferences->okButton();
    DownloadQueue *queue = w.window->findChild<Session *>()->queue();
    QSignalSpy started(queue, &DownloadQueue::jobStarted);
    const auto download = [&w, &served](const QString &name, const QString &mode) {
        w.window->setAddress(served.url(name, mode).toString());
        w.click(u"downloadButton"_s);
    };
    download(u"first.mp4"_s, u"throttle-128"_s);
    QTRY_COMPARE(queueState(w, 0), u"En cours"_s);
    // The window stays free for the next video, which waits for the one place.
    QVERIFY(w.child<QPushButton>(u"downloadButton"_s)->isEnabled());
    download(u"second.mp4"_s, u"throttle-128"_s);
    QCOMPARE(queueState(w, 1), u"En attente"_s);
    // Paused midway, the first keeps its partial file and gives its place to the second.
    const auto partial
        = [&w] { return QFileInfo(queuedJob(w, 0)->destinations.value(0) + u".part"_s); };
    QTRY_VERIFY_WITH_TIMEOUT(partial().size() > 0, 30'000);
    w.child<QTableView>(u"queueView"_s)->selectRow(0);
    w.click(u"queuePauseButton"_s);
    QTRY_COMPARE_WITH_TIMEOUT(queueState(w, 0), u"En pause"_s, 10'000);
    QVERIFY(partial().size() > 0 && partial().size() < contents.at(0).size());
    QTRY_COMPARE(queueState(w, 1), u"En cours"_s);
    w.click(u"queueResumeButton"_s);
    QCOMPARE(queueState(w, 0), u"En attente"_s);
    // A passing failure is tried again once, a lasting one is not.
    download(u"third.mp4"_s, u"status-503"_s);
    download(u"fourth.mp4"_s, u"status-404"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!queue->isActive(), 120'000);
    QStringList runs;
    for (int row = 0; row < 4; ++row) {
        runs << QString::number(std::count_if(
            started.cbegin(), started.cend(), [&w, row](const QList<QVariant> &arguments) {
                return arguments.at(0).toLongLong() == queuedJob(w, row)->id;
            }));
    }
    QCOMPARE(runs.join(u' '), u"2 1 2 1"_s);
    for (int row = 0; row < 4; ++row) {
        QVERIFY2(queueState(w, row).startsWith(row < 2 ? u"Terminé"_s : u"Échec : "_s),
                 qPrintable(queueState(w, row)));
    }
    // Each file the same as if nothing had stopped it.
    for (int row = 0; row < 2; ++row) {
        QVERIFY(TestSupport::readFile(queuedJob(w, row)->files.value(0)) == contents.at(row));
    }
}

void tst_ViewController::killedQuorvelComesBackPaused()
{
    const ServedFolder served(u"make-picture.sh"_s);
    QVERIFY(served.isValid());
    const QByteArray content = serveRandomFile(served, u"clip.mp4"_s, 256);
    // Quorvel's places in a home of the test's own: its queue of one waiting job, whose
    // transfer hangs, silent, halfway, and its settings, which resume the queue at the start.
    QTemporaryDir home;
    const QString database = home.filePath(u"data/Quorvel/Quorvel/queue.sqlite"_s);
    DownloadJob job;
    job.request.folder = home.filePath(u"videos"_s);
    job.request.address = served.url(u"clip.mp4"_s, u"hang"_s).toString();
    QVERIFY(QDir().mkpath(job.request.folder) && JobStore(database).insert(job));
    QVERIFY(QDir().mkpath(home.filePath(u"config/Quorvel"_s)));
    QVERIFY(TestSupport::writeFile(home.filePath(u"config/Quorvel/Quorvel.conf"_s),
                                   "[General]\nResumeAtStart=true\n"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_RUNTIME_DIR"_s, home.path());
    for (const QString &kind : {u"data"_s, u"config"_s, u"cache"_s}) {
        environment.insert(u"XDG_%1_HOME"_s.arg(kind.toUpper()), home.filePath(kind));
    }
    QProcess quorvel;
    quorvel.setProcessEnvironment(environment);
    quorvel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    quorvel.start(QStringLiteral(QUORVEL_EXECUTABLE), QStringList());
    QVERIFY(quorvel.waitForStarted());
    const auto partial = [&job] {
        return QFileInfo(
            QDir(job.request.folder).filePath(filesIn(job.request.folder, u"*.part"_s).value(0)));
    };
    QTRY_VERIFY_WITH_TIMEOUT(partial().isFile() && partial().size() > 0, 60'000);
    QVERIFY(anyProcessRuns(job.request.address));
    ::kill(static_cast<pid_t>(quorvel.processId()), SIGKILL);
    QVERIFY(quorvel.waitForFinished());
    // The downloader ended with Quorvel (with nothing to write, no closed pipe ends it), and
    // the queue's file is whole.
    QTRY_VERIFY_WITH_TIMEOUT(!anyProcessRuns(job.request.address), 3'000);
    {
        const auto removeConnection
            = qScopeGuard([] { QSqlDatabase::removeDatabase(u"integrity"_s); });
        QSqlDatabase checked = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"integrity"_s);
        checked.setDatabaseName(database);
        QVERIFY(checked.open());
        QSqlQuery check(u"PRAGMA integrity_check"_s, checked);
        QVERIFY(check.next());
        QCOMPARE(check.value(0).toString(), u"ok"_s);
    }
    // At the next start the job comes back paused, and carries on from its partial file.
    JobStore jobs(database);
    WindowHarness w(Downloader::Real, true, &jobs);
    QCOMPARE(queueState(w, 0), u"En pause"_s);
    w.child<QTableView>(u"queueView"_s)->selectRow(0);
    w.click(u"queueResumeButton"_s);
    QTRY_COMPARE_WITH_TIMEOUT(queueState(w, 0), u"Terminé"_s, 60'000);
    QVERIFY(TestSupport::readFile(queuedJob(w, 0)->files.value(0)) == content);
}

void tst_ViewController::wholeListChosenEntriesOnce()
{
    // A feed of three copies of the local presentation, each its own video to the downloader.
    QVERIFY(media().isValid());
    QString items;
    for (const QString &name : {u"un"_s, u"deux"_s, u"trois"_s}) {
        const QString file = media().folder() + u'/' + name + u".mpd"_s;
        QVERIFY(QFile::exists(file) || QFile::copy(media().folder() + u"/manifest.mpd"_s, file));
        items += u"<item><title>%1</title><enclosure url=\"%2\" type=\"application/dash+xml\" "
                 "length=\"1\"/></item>"_s.arg(name, media().url(name + u".mpd"_s).toString());
    }
    QVERIFY(TestSupport::writeFile(media().folder() + u"/list.xml"_s,
                                   (u"<?xml version=\"1.0\"?><rss version=\"2.0\"><channel>"
                                    "<title>Ma liste</title>"_s
                                    + items + u"</channel></rss>"_s)
                                       .toUtf8()));
    // A download archive of this test's own.
    const QTemporaryDir data;
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    const auto restore = qScopeGuard([&dataHome] { qputenv("XDG_DATA_HOME", dataHome); });
    WindowHarness w;
    // Preferences: what was downloaded once is not downloaded again.
    w.window->openPreferences();
    auto *preferences = w.window->findChild<preferenceViewController *>();
    QVERIFY(preferences);
    preferences->findChild<QCheckBox *>(u"skipDownloadedButton"_s)->setChecked(true);
    preferences->okButton();
    QVERIFY(Settings(*w.store).skipDownloaded());

    w.window->setAddress(media().url(u"list.xml"_s).toString());
    w.click(u"getFormatButton"_s);
    auto *whole = w.child<QPushButton>(u"wholeListButton"_s);
    QVERIFY(QTest::qWaitFor([whole] { return whole->isVisibleTo(whole->window()); }, 120'000));
    QVERIFY(w.child<QLabel>(u"playlistSummary"_s)->text().contains(u"Ma liste"_s));
    QVERIFY(QTest::qWaitFor(
        [&w] { return w.child<QPushButton>(u"getFormatButton"_s)->isEnabled(); }, 120'000));
    w.click(u"wholeListButton"_s);
    auto *cancel = w.child<QPushButton>(u"cancelListButton"_s);
    QVERIFY(QTest::qWaitFor([cancel] { return !cancel->isEnabled(); }, 120'000));
    auto *view = w.child<QTableView>(u"playlistView"_s);
    QVERIFY(view->isVisibleTo(view->window()));
    QCOMPARE(view->accessibleName(), u"Vidéos de la liste"_s);
    QAbstractItemModel *model = view->model();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(w.child<QLabel>(u"playlistCountLabel"_s)->text(), u"3 vidéos"_s);
    // A list's entries have no ticked formats to offer.
    auto *qualities = w.child<QComboBox>(u"qualityComboBox"_s);
    const int ticked = qualities->findData(int(QualityChoice::Ticked));
    QVERIFY(!(qualities->model()->flags(qualities->model()->index(ticked, 0)) & Qt::ItemIsEnabled));
    // Édition → "Tout décocher" acts on the list, not on the formats; then all but the second.
    w.child<QAction>(u"clearAllAction"_s)->trigger();
    QCOMPARE(model->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    w.child<QAction>(u"invertAllAction"_s)->trigger();
    model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);

    const auto files = [&w] {
        return QDir(w.target.filePath(u"Ma_liste"_s)).entryList(QDir::Files, QDir::Name);
    };
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    const QStringList first = files();
    QCOMPARE(first.size(), 2);
    QVERIFY2(first.at(0).startsWith(u"1-"_s) && first.at(1).startsWith(u"3-"_s),
             qPrintable(first.join(u", "_s)));
    // The files gone, a second download of the list fetches nothing.
    for (const QString &file : first) {
        QVERIFY(QFile::remove(w.target.filePath(u"Ma_liste/"_s + file)));
    }
    QCOMPARE(TestSupport::readFile(downloadArchivePath()).count('\n'), 2);
    w.click(u"downloadButton"_s);
    QCOMPARE(w.child<QTableView>(u"queueView"_s)->model()->rowCount(), 4);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(files(), QStringList());
}

void tst_ViewController::cookiesSubtitlesAndTitleThroughTheWindow()
{
    const ServedFolder page(u"make-page.sh"_s);
    QVERIFY(page.isValid());
    WindowHarness w;
    w.window->show();
    const QString cookies = w.tools.filePath(u"cookies.txt"_s);
    QVERIFY(TestSupport::writeFile(
        cookies, "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tpass\ts3cret\n"));
    preferenceViewController::setFileChooser(
        [&cookies](QWidget *, const QString &) { return cookies; });
    const auto restore = qScopeGuard([] { preferenceViewController::setFileChooser({}); });
    // Without its cookie the page wants to know who asks: the way to the cookies is offered.
    auto *signIn = w.child<QPushButton>(u"signInButton"_s);
    w.window->setAddress(page.url(u"page.html"_s, u"cookie-s3cret"_s).toString());
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QVERIFY2(w.message().contains(u"(HTTP 401)"_s) && signIn->isVisible(), qPrintable(w.message()));
    QCOMPARE(unnamedControls(w.window.get()), QStringList());
    QTest::mouseClick(signIn, Qt::LeftButton);
    auto *preferences = w.window->findChild<preferenceViewController *>();
    QCOMPARE(preferences->focusWidget(),
             preferences->findChild<QRadioButton *>(u"noCookiesButton"_s));
    preferences->findChild<QRadioButton *>(u"cookieFileButton"_s)->click();
    preferences->okButton();
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QVERIFY2(!signIn->isVisible() && filesIn(w.target.path()).size() == 1, qPrintable(w.message()));

    // The French subtitles ticked on the card lie beside the video.
    QTemporaryDir subtitled;
    w.chosenFolder = subtitled.path();
    QVERIFY(w.listAndTick(page.url(u"page.html"_s).toString(), {}));
    QCheckBox *french = nullptr;
    for (QCheckBox *box : w.window->findChild<SubtitlePicker *>()->findChildren<QCheckBox *>()) {
        french = box->text().startsWith(u"fr — "_s) ? box : french;
    }
    QVERIFY(french && french->isVisible());
    french->click();
    QVERIFY(w.child<QRadioButton>(u"subtitlesApartButton"_s)->isChecked());
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(filesIn(subtitled.path(), u"*.fr.srt"_s).size(), 1);
    QCOMPARE(filesIn(subtitled.path()).size(), 2);

    // With the metadata, the file holds the title that the card shows.
    QTemporaryDir described;
    w.chosenFolder = described.path();
    preferences = w.window->openPreferences();
    preferences->findChild<QCheckBox *>(u"embedMetadataButton"_s)->setChecked(true);
    preferences->okButton();
    w.click(u"downloadButton"_s);
    QVERIFY(w.waitForDownloadEnd());
    QStringList files = filesIn(described.path());
    files.removeIf([](const QString &name) { return name.endsWith(u".srt"_s); });
    QCOMPARE(files.size(), 1);
    QProcess probe;
    probe.start(TestSupport::toolFolder() + u"/ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-show_entries"_s, u"format_tags=title"_s, u"-of"_s,
                 u"default=nw=1:nk=1"_s, described.filePath(files.value(0))});
    QVERIFY(probe.waitForFinished(60'000));
    const QString title = w.child<QLabel>(u"videoTitleLabel"_s)->text();
    QVERIFY(!title.isEmpty());
    QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(), title);
}

QTEST_MAIN(tst_ViewController)
#include "tst_viewcontroller.moc"
