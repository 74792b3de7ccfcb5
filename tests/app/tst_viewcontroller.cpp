// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "DashFixture.h"
#include "TestSupport.h"
#include "app/ViewController.h"
#include "catalogue/FormatList.h"

using namespace Qt::StringLiterals;

namespace {
// XKB key codes of the keys at the positions of D, I, Q and A (on a QWERTY layout).
constexpr quint32 scanD = 40;
constexpr quint32 scanI = 31;
constexpr quint32 scanQ = 24;
constexpr quint32 scanA = 38;

QList<ControlState> checkStates()
{
    QList<ControlState> states;
    for (const formatYoutube &format : formatList()) {
        states << format.isChecked;
    }
    return states;
}

void setCheckStates(const QList<ControlState> &states)
{
    formatList().clear();
    for (const ControlState state : states) {
        formatYoutube format;
        format.formatID = QString::number(formatList().size() + 100);
        format.isChecked = state;
        formatList() << format;
    }
}
} // namespace

class tst_ViewController final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startupShowsNamedControlsAndSeedsOnce();
    void missingToolsAreReportedAndDisableActions_data();
    void missingToolsAreReportedAndDisableActions();
    void keyboardCommands_data();
    void keyboardCommands();
    void queryListsFixtureFormatsWhileWindowAnswers();
    void headerClicksSortCodeAndCodecOnly();
};

void tst_ViewController::init()
{
    formatList().clear();
}

void tst_ViewController::startupShowsNamedControlsAndSeedsOnce()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    QByteArray printed;
    {
        TestSupport::StdoutCapture capture;
        ViewController window(*store, TestSupport::toolFolder());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        for (const auto &name :
             {u"urlYoutube"_s, u"getFormatButton"_s, u"tableView"_s, u"downloadButton"_s,
              u"downloadAudioButton"_s, u"messageTextField"_s, u"progressBar"_s}) {
            QVERIFY2(window.findChild<QWidget *>(name), qPrintable(name));
        }
        QCOMPARE(window.findChild<QPushButton *>(u"downloadAudioButton"_s)->property("tag"), 3);
        QCOMPARE(window.findChild<QLabel *>(u"messageTextField"_s)->text(), QString());
        QVERIFY(window.findChild<QPushButton *>(u"downloadAudioButton"_s)->isEnabled());
        QVERIFY(!window.isRunning());
        QCOMPARE(window.findChild<QTableView *>(u"tableView"_s)->model()->rowCount(), 0);
        // The downloader's version shows once it has answered.
        QTRY_VERIFY(window.findChild<QLabel *>(u"downloaderVersionLabel"_s));
        printed = capture.text();
    }
    QCOMPARE(printed, QByteArray("Les paramètres n'existent pas\n"));
    QCOMPARE(store->value(u"AudioFormat"_s).toString(), u"best"_s);

    // A later launch prints nothing and keeps what the user stored.
    store->setValue(u"AudioFormat"_s, u"opus"_s);
    TestSupport::StdoutCapture capture;
    ViewController window(*store, TestSupport::toolFolder());
    QCOMPARE(capture.text(), QByteArray());
    QCOMPARE(store->value(u"AudioFormat"_s).toString(), u"opus"_s);
}

void tst_ViewController::missingToolsAreReportedAndDisableActions_data()
{
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("plainEnabled");
    QTest::addColumn<bool>("audioEnabled");
    QTest::newRow("none") << QStringList() << u"Outil introuvable : youtube-dl, ffmpeg"_s << false
                          << false;
    QTest::newRow("no converter") << QStringList {u"youtube-dl"_s}
                                  << u"Outil introuvable : ffmpeg"_s << true << false;
    QTest::newRow("no downloader")
        << QStringList {u"ffmpeg"_s} << u"Outil introuvable : youtube-dl"_s << false << false;
}

void tst_ViewController::missingToolsAreReportedAndDisableActions()
{
    QFETCH(QStringList, tools);
    QFETCH(QString, message);
    QFETCH(bool, plainEnabled);
    QFETCH(bool, audioEnabled);
    QTemporaryDir dir;
    for (const QString &tool : tools) {
        QVERIFY(QFile::link(QDir(TestSupport::toolFolder()).filePath(tool), dir.filePath(tool)));
    }
    auto store = TestSupport::makeSettings(dir);
    ViewController window(*store, dir.path());

    QCOMPARE(window.findChild<QLabel *>(u"messageTextField"_s)->text(), message);
    QCOMPARE(window.findChild<QPushButton *>(u"getFormatButton"_s)->isEnabled(), plainEnabled);
    QCOMPARE(window.findChild<QPushButton *>(u"downloadButton"_s)->isEnabled(), plainEnabled);
    QCOMPARE(window.findChild<QPushButton *>(u"downloadAudioButton"_s)->isEnabled(), audioEnabled);
    QCOMPARE(youtubeDLPath().has_value(), tools.contains(u"youtube-dl"_s));
    QCOMPARE(ffmpegPath().has_value(), tools.contains(u"ffmpeg"_s));
}

void tst_ViewController::keyboardCommands_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<QList<ControlState>>("before");
    QTest::addColumn<QList<ControlState>>("after");
    QTest::addColumn<QByteArray>("printed");
    QTest::addColumn<bool>("reloaded");

    const auto on = ControlState::On;
    const auto off = ControlState::Off;
    const auto mixed = ControlState::Mixed;
    const Qt::KeyboardModifiers command = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("clear") << command << scanD << QList {on, mixed, off} << QList {off, off, off}
                           << QByteArray("2\n") << true;
    QTest::newRow("invert on off mixed") << command << scanI << QList {on, off, mixed}
                                         << QList {off, on, on} << QByteArray("34\n") << true;
    QTest::newRow("tick all, Alt held too")
        << (command | Qt::AltModifier) << scanQ << QList {off, mixed} << QList {on, on}
        << QByteArray("12\n") << true;
    QTest::newRow("empty list still reloads") << command << scanD << QList<ControlState>()
                                              << QList<ControlState>() << QByteArray("2\n") << true;
    QTest::newRow("no shift: dropped") << Qt::KeyboardModifiers(Qt::ControlModifier) << scanQ
                                       << QList {off} << QList {off} << QByteArray() << false;
    QTest::newRow("no command: dropped") << Qt::KeyboardModifiers(Qt::ShiftModifier) << scanQ
                                         << QList {off} << QList {off} << QByteArray() << false;
    QTest::newRow("other key: code printed only")
        << command << scanA << QList {on} << QList {on} << QByteArray("38\n") << false;
}

void tst_ViewController::keyboardCommands()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(quint32, scanCode);
    QFETCH(QList<ControlState>, before);
    QFETCH(QList<ControlState>, after);
    QFETCH(QByteArray, printed);
    QFETCH(bool, reloaded);

    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    store->setValue(u"AudioFormat"_s, u"best"_s);
    ViewController window(*store, TestSupport::toolFolder());
    setCheckStates(before);
    QAbstractItemModel *model = window.findChild<QTableView *>(u"tableView"_s)->model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);

    TestSupport::StdoutCapture capture;
    // The key is recognised by its position (scan code), whatever character it gives.
    QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, modifiers, scanCode, 0, 0);
    QApplication::sendEvent(&window, &event);

    QCOMPARE(capture.text(), printed);
    QCOMPARE(checkStates(), after);
    QCOMPARE(!resets.isEmpty(), reloaded);
}

void tst_ViewController::queryListsFixtureFormatsWhileWindowAnswers()
{
    DashFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    ViewController window(*store, TestSupport::toolFolder());
    window.show();
    auto *button = window.findChild<QPushButton *>(u"getFormatButton"_s);
    auto *message = window.findChild<QLabel *>(u"messageTextField"_s);
    QAbstractItemModel *model = window.findChild<QTableView *>(u"tableView"_s)->model();

    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start(10);

    // An empty address is not sent to the downloader.
    window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(u"  "_s);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(message->text(), u"Saisissez l'adresse d'une vidéo"_s);
    QVERIFY(button->isEnabled());

    // Two queries in a row: the second one's records follow the first one's.
    for (int round = 1; round <= 2; ++round) {
        window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(fixture.manifestUrl());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(message->text(), u"Recherche des formats…"_s);
        QVERIFY(!button->isEnabled());
        const int ticksAtStart = ticks;
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 120'000);
        QVERIFY2(ticks > ticksAtStart, "the event loop stood still during the query");
        QCOMPARE(message->text(), QString());
        QCOMPARE(model->rowCount(), 2 * round);
    }
    QStringList codes;
    for (int row = 0; row < model->rowCount(); ++row) {
        codes << model->index(row, 0).data().toString();
    }
    QCOMPARE(codes, (QStringList {u"140"_s, u"137"_s, u"140"_s, u"137"_s}));
}

void tst_ViewController::headerClicksSortCodeAndCodecOnly()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    ViewController window(*store, TestSupport::toolFolder());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const auto &[code, codec] : {std::pair {u"137"_s, u" mp4 "_s},
                                      {u"18"_s, u" mp4 "_s},
                                      {u"251"_s, u" webm "_s},
                                      {u"22"_s, u" mp4 "_s}}) {
        formatList() << formatYoutube {code, codec, {}, {}, ControlState::Off};
    }
    auto *table = window.findChild<QTableView *>(u"tableView"_s);
    QHeaderView *header = table->horizontalHeader();
    const auto codes = [table] {
        QStringList result;
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            result << table->model()->index(row, 0).data().toString();
        }
        return result;
    };
    const auto clickHeader = [header](int section) {
        const QPoint centre(header->sectionViewportPosition(section)
                                + header->sectionSize(section) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    };

    clickHeader(0);
    QCOMPARE(codes(), (QStringList {u"251"_s, u"22"_s, u"18"_s, u"137"_s}));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(0);
    QCOMPARE(codes(), (QStringList {u"137"_s, u"18"_s, u"22"_s, u"251"_s}));
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // The size column does not sort, and the indicator stays where it was.
    clickHeader(2);
    QCOMPARE(codes(), (QStringList {u"137"_s, u"18"_s, u"22"_s, u"251"_s}));
    QCOMPARE(header->sortIndicatorSection(), 0);
    // Codec, first click: decreasing codec, ties kept in their previous order.
    clickHeader(1);
    QCOMPARE(codes(), (QStringList {u"251"_s, u"137"_s, u"18"_s, u"22"_s}));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

QTEST_MAIN(tst_ViewController)
#include "tst_viewcontroller.moc"
