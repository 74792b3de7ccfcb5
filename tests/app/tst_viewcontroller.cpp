// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <csignal>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>

#include "TestSupport.h"
#include "WindowHarness.h"
#include "app/ProgressReadout.h"
#include "catalogue/FormatTableModel.h"
#include "settings/Settings.h"
#include "settings/preferenceViewController.h"
#include "tools/TerminationSignals.h"

using namespace Qt::StringLiterals;
using Downloader = WindowHarness::Downloader;

namespace {
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
} // namespace

class tst_ViewController final : public QObject
{
    Q_OBJECT

private slots:
    void startupSeedsOnceAndNamesTheDownloader();
    void missingToolsAreSaidAndDisableActions_data();
    void missingToolsAreSaidAndDisableActions();
    void keyboardCommands_data();
    void keyboardCommands();
    void headerClicksSortCodeAndCodecOnly();
    void listingWatchedStoppedAndCleared();
    void longMessageNeverWidensTheWindow();
    void readoutsKeysAndRememberedLayout();
    void downloadEnds_data();
    void downloadEnds();
    void quittingStopsTheDownload_data();
    void quittingStopsTheDownload();
};

void tst_ViewController::startupSeedsOnceAndNamesTheDownloader()
{
    TestSupport::StdoutCapture capture;
    WindowHarness w;
    QCOMPARE(w.message(), QString());
    auto *version = w.child<QLabel>(u"downloaderVersionLabel"_s);
    QTRY_VERIFY(!version->text().isEmpty());
    QVERIFY2(version->text().startsWith(u"Téléchargeur : yt-dlp 20"_s),
             qPrintable(version->text()));
    // A later launch prints nothing and keeps what the user stored.
    Settings(*w.store).setAudioFormat(u"opus"_s);
    const ViewController later(*w.store, w.toolSet);
    QCOMPARE(capture.text(), "Les paramètres n'existent pas\n"_ba);
    QCOMPARE(Settings(*w.store).audioFormat(), u"opus"_s);
}

void tst_ViewController::missingToolsAreSaidAndDisableActions_data()
{
    QTest::addColumn<bool>("downloader");
    QTest::addColumn<bool>("converter");
    QTest::addColumn<QString>("message");
    QTest::newRow("none") << false << false << u"Outil introuvable : youtube-dl, ffmpeg"_s;
    QTest::newRow("no converter") << true << false << u"Outil introuvable : ffmpeg"_s;
    QTest::newRow("no downloader") << false << true << u"Outil introuvable : youtube-dl"_s;
}

void tst_ViewController::missingToolsAreSaidAndDisableActions()
{
    QFETCH(bool, downloader);
    QFETCH(bool, converter);
    QFETCH(QString, message);
    WindowHarness w(downloader ? Downloader::StandIn : Downloader::None, converter);
    QCOMPARE(w.message(), message);
    QCOMPARE(w.child<QPushButton>(u"getFormatButton"_s)->isEnabled(), downloader);
    QCOMPARE(w.child<QPushButton>(u"downloadButton"_s)->isEnabled(), downloader);
    QCOMPARE(w.child<QPushButton>(u"downloadAudioButton"_s)->isEnabled(), downloader && converter);
    QCOMPARE(youtubeDLPath().has_value(), downloader);
    QCOMPARE(ffmpegPath().has_value(), converter);
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
    QTest::newRow("no command: dropped") << int(Qt::ShiftModifier) << 24u << listed << QByteArray();
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
    TestSupport::StdoutCapture capture;
    // The key is recognised by its position (scan code), whatever character it gives.
    QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, Qt::KeyboardModifiers(modifiers), scanCode,
                    0, 0);
    QApplication::sendEvent(w.window.get(), &event);
    QCOMPARE(capture.text(), printed);
    QCOMPARE(codesShown(w), after);
}

void tst_ViewController::headerClicksSortCodeAndCodecOnly()
{
    WindowHarness w(Downloader::StandIn);
    w.window->show();
    listFour(w);
    QHeaderView *header = w.child<QTableView>(u"tableView"_s)->horizontalHeader();
    const auto click = [&](int section) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            {header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
             header->height() / 2});
        return codesShown(w);
    };
    QCOMPARE(click(0), u"251~ 22+ 18 137+"_s);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(click(0), u"137+ 18 22+ 251~"_s);
    // The size column does not sort, and the indicator stays where it was.
    QCOMPARE(click(2), u"137+ 18 22+ 251~"_s);
    QCOMPARE(header->sortIndicatorSection(), 0);
    // Codec, first click: decreasing codec, ties kept in their previous order.
    QCOMPARE(click(1), u"251~ 137+ 18 22+"_s);
}

void tst_ViewController::listingWatchedStoppedAndCleared()
{
    WindowHarness w(Downloader::StandIn);
    w.window->show();
    listFour(w);
    auto *table = w.child<QTableView>(u"tableView"_s);
    // Space ticks the current row from any of its cells; Tab leaves the table.
    table->setFocus();
    table->setCurrentIndex(table->model()->index(1, 3));
    QTest::keyClick(table, Qt::Key_Space);
    QCOMPARE(codesShown(w), u"137+ 18+ 251~ 22+"_s);
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
    QCOMPARE(codesShown(w), u"137+ 18+ 251~ 22+"_s);
    // A listing without formats says so.
    w.setBehaviour("exit 0");
    w.click(u"getFormatButton"_s);
    QTRY_COMPARE(w.message(), u"Aucun format trouvé pour cette adresse"_s);

    QHeaderView *header = table->horizontalHeader();
    header->setSortIndicator(0, Qt::AscendingOrder);
    w.child<QAction>(u"clearListAction"_s)->trigger();
    QCOMPARE(codesShown(w), QString());
    QCOMPARE(header->sortIndicatorSection(), -1);
}

void tst_ViewController::longMessageNeverWidensTheWindow()
{
    WindowHarness w(Downloader::StandIn);
    w.window->resize(800, 500);
    w.window->show();
    // A server's long error page, as the downloader reports it.
    w.setBehaviour("printf 'ERROR: %060000d\\n' 0; exit 1");
    w.window->setAddress(u"http://127.0.0.1:9/v"_s);
    w.click(u"getFormatButton"_s);
    QTRY_VERIFY(w.message().startsWith(u"000"_s));
    QApplication::processEvents();
    QVERIFY(w.window->width() <= w.window->screen()->availableGeometry().width());
    QVERIFY(w.message().size() <= 1001);
    const QString toolTip = w.child<QLabel>(u"messageTextField"_s)->toolTip();
    QVERIFY(toolTip.size() > w.message().size() && toolTip.size() <= 4001);
}

void tst_ViewController::readoutsKeysAndRememberedLayout()
{
    // The progress line as a person reads it.
    QCOMPARE(ProgressReadout::barText(42.3), u"42,3 %"_s);
    for (const auto &[progress, text] : QList<std::pair<DownloadProgress, QString>> {
             {{42.3, "1.23MiB/s", "00:05", 1, 2}, u"fichier 1 sur 2 · 1,23 Mio/s · encore 00:05"_s},
             {{5, "512.0KiB/s", {}, 1, 1}, u"512,0 Kio/s"_s},
             {{0, {}, "01:02:03", 0, 0}, u"encore 01:02:03"_s}}) {
        QCOMPARE(ProgressReadout::detailsText(progress), text);
    }
    // Ctrl+, opens the Preferences window, also where the platform has no key for it.
    WindowHarness w(Downloader::StandIn);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    QTest::keyClick(w.window.get(), Qt::Key_Comma, Qt::ControlModifier);
    QTRY_VERIFY(w.window->findChild<preferenceViewController *>());
    // The window's size and the column widths come back at the next start.
    w.window->resize(700, 450);
    w.child<QTableView>(u"tableView"_s)->setColumnWidth(FormatTableModel::SizeColumn, 123);
    w.window->close();
    const ViewController again(*w.store, w.toolSet);
    QCOMPARE(again.size(), QSize(700, 450));
    QCOMPARE(
        again.findChild<QTableView *>(u"tableView"_s)->columnWidth(FormatTableModel::SizeColumn),
        123);
}

void tst_ViewController::downloadEnds_data()
{
    QTest::addColumn<QByteArray>("behaviour");
    QTest::addColumn<QString>("message");
    const QString failed = u"Échec du téléchargement : "_s;
    QTest::newRow("success, whatever was said") << "echo 'ERROR: x'"_ba << QString();
    QTest::newRow("the last error line")
        << "echo 'ERROR: first'; echo 'ERROR:  Vidéo indisponible'; exit 1"_ba
        << failed + u"Vidéo indisponible"_s;
    QTest::newRow("silent failure") << "exit 3"_ba << failed + u"code de sortie 3"_s;
    QTest::newRow("killed") << "kill -KILL $$"_ba << failed + u"arrêté par le signal 9"_s;
}

void tst_ViewController::downloadEnds()
{
    QFETCH(QByteArray, behaviour);
    QFETCH(QString, message);
    WindowHarness w(Downloader::StandIn);
    w.setBehaviour(behaviour);
    w.window->setAddress(u"http://127.0.0.1:9/v"_s);
    w.click(u"downloadButton"_s);
    QVERIFY(w.window->isRunning());
    QVERIFY(!w.child<QPushButton>(u"downloadAudioButton"_s)->isEnabled());
    QVERIFY(w.waitForDownloadEnd());
    QCOMPARE(w.message(), message);
    QCOMPARE(w.child<QProgressBar>(u"progressBar"_s)->value(), 0);
    QVERIFY(w.child<QPushButton>(u"downloadAudioButton"_s)->isEnabled());
}

void tst_ViewController::quittingStopsTheDownload_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("stops");
    QTest::newRow("cancel") << u"cancel"_s << true;
    QTest::newRow("quit, refused") << u"refused"_s << false;
    QTest::newRow("quit, confirmed") << u"confirmed"_s << true;
    // The signals that end a program end Quorvel as a confirmed quit does, unasked.
    for (const char *name : {"SIGTERM", "SIGINT", "SIGHUP"}) {
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    }
}

void tst_ViewController::quittingStopsTheDownload()
{
    QFETCH(QString, how);
    QFETCH(bool, stops);
    WindowHarness w(Downloader::StandIn);
    TerminationSignals signalled;
    connect(&signalled, &TerminationSignals::received, w.window.get(),
            &ViewController::quitWithoutAsking);
    w.confirmQuit = how == u"confirmed"_s;
    // It writes a partial file, leaves a child behind and never ends on its own.
    w.setBehaviour("dir=${2%/*}; echo \"[download] Destination: $dir/a.mp4\"\n"
                   "echo partial > \"$dir/a.mp4.part\"; printf '[download]  12.5%% of 9\\r'\n"
                   "sleep 300 & echo $$ $! > \"$here/pids\"; wait\n");
    w.window->setAddress(u"http://127.0.0.1:9/v"_s);
    w.window->show();
    w.click(u"downloadButton"_s);
    QTRY_COMPARE(w.child<QProgressBar>(u"progressBar"_s)->value(), 125);
    QTRY_COMPARE(TestSupport::processIds(w.tools.filePath(u"pids"_s)).size(), 2);
    const QList<qint64> group = TestSupport::processIds(w.tools.filePath(u"pids"_s));

    if (how == u"cancel"_s) {
        w.click(u"cancelDownloadButton"_s);
        QVERIFY(w.waitForDownloadEnd(30'000));
        QCOMPARE(w.message(), u"Téléchargement annulé"_s);
    } else if (how.startsWith(u"SIG"_s)) {
        ::raise(how == u"SIGTERM"_s ? SIGTERM : how == u"SIGINT"_s ? SIGINT : SIGHUP);
        QTRY_VERIFY(!w.window->isVisible());
    } else {
        w.window->close();
    }
    QCOMPARE(w.window->isVisible(), how == u"cancel"_s || !stops);
    QCOMPARE(w.window->isRunning(), !stops);
    QCOMPARE(QFile::exists(w.target.filePath(u"a.mp4.part"_s)), !stops);
    QCOMPARE(TestSupport::allEnd(group, stops ? 10'000 : 100), stops);
    w.window->cancelDownload();
    QVERIFY(w.waitForDownloadEnd(30'000));
}

QTEST_MAIN(tst_ViewController)
#include "tst_viewcontroller.moc"
