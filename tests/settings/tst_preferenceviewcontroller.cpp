// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "download/DownloadCommand.h"
#include "settings/Settings.h"
#include "settings/preferenceViewController.h"

using namespace Qt::StringLiterals;

namespace {
struct Stored
{
    QString format;
    QString quality;
    QString preserveVideo;
    friend bool operator==(const Stored &, const Stored &) = default;
};

Stored stored(QSettings &store)
{
    store.sync();
    return {store.value(u"AudioFormat"_s).toString(), store.value(u"AudioQuality"_s).toString(),
            store.value(u"AudioPreserveVideo"_s).toString()};
}

char *toString(const Stored &value)
{
    return QTest::toString(value.format + u" | "_s + value.quality + u" | "_s
                           + value.preserveVideo);
}
} // namespace

class tst_preferenceViewController final : public QObject
{
    Q_OBJECT

private slots:
    void firstOpeningShowsSeededValues();
    void okStoresWhatTheControlsHold_data();
    void okStoresWhatTheControlsHold();
    void cancelAndCloseStoreNothing_data();
    void cancelAndCloseStoreNothing();
    void qualityFieldRefusesWhatItCannotHold();
    void handEditedValuesOpenWithSeededOnes();
    void nextAudioDownloadUsesNewSettings();
};

void tst_preferenceViewController::firstOpeningShowsSeededValues()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings(*store).seedIfAbsent();
    preferenceViewController window(*store);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *combo = window.findChild<QComboBox *>(u"formatComboBox"_s);
    QCOMPARE(combo->currentText(), u"best"_s);
    QStringList offered;
    for (int index = 0; index < combo->count(); ++index) {
        offered << combo->itemText(index);
    }
    QCOMPARE(offered, (QStringList{u"best"_s, u"aac"_s, u"flac"_s, u"mp3"_s, u"m4a"_s, u"opus"_s,
                                   u"vorbis"_s, u"wav"_s}));
    QCOMPARE(window.findChild<QLineEdit *>(u"qualityTextField"_s)->text(), u"0"_s);
    QVERIFY(window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->isChecked());
    QCOMPARE(window.windowTitle(), u"Preferences"_s);
}

void tst_preferenceViewController::okStoresWhatTheControlsHold_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("quality");
    QTest::addColumn<bool>("keepVideo");
    QTest::addColumn<Stored>("expected");
    QTest::newRow("unchanged") << QString() << QString() << true
                               << Stored{u"best"_s, u"0"_s, u"1"_s};
    QTest::newRow("listed format, 128") << u"mp3"_s << u"128"_s << true
                                        << Stored{u"mp3"_s, u"128"_s, u"1"_s};
    QTest::newRow("typed format, negative") << u"alac; touch x"_s << u"-3"_s << false
                                            << Stored{u"alac; touch x"_s, u"-3"_s, u"0"_s};
    QTest::newRow("smallest 32-bit") << u"opus"_s << u"-2147483648"_s << false
                                     << Stored{u"opus"_s, u"-2147483648"_s, u"0"_s};
}

void tst_preferenceViewController::okStoresWhatTheControlsHold()
{
    QFETCH(QString, format);
    QFETCH(QString, quality);
    QFETCH(bool, keepVideo);
    QFETCH(Stored, expected);
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings(*store).seedIfAbsent();
    preferenceViewController window(*store);
    window.show();

    if (!format.isEmpty()) {
        auto *combo = window.findChild<QComboBox *>(u"formatComboBox"_s);
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), format);
    }
    if (!quality.isEmpty()) {
        auto *field = window.findChild<QLineEdit *>(u"qualityTextField"_s);
        field->selectAll();
        QTest::keyClicks(field, quality);
    }
    window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->setChecked(keepVideo);
    QTest::mouseClick(window.findChild<QPushButton *>(u"okButton"_s), Qt::LeftButton);

    QVERIFY(!window.isVisible());
    QCOMPARE(stored(*store), expected);
}

void tst_preferenceViewController::cancelAndCloseStoreNothing_data()
{
    QTest::addColumn<bool>("byCloseButton");
    QTest::newRow("cancel") << false;
    QTest::newRow("window closed") << true;
}

void tst_preferenceViewController::cancelAndCloseStoreNothing()
{
    QFETCH(bool, byCloseButton);
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings settings(*store);
    settings.setAudioFormat(u"flac"_s);
    settings.setAudioQuality(7);
    settings.setAudioPreserveVideo(0);
    const Stored before = stored(*store);

    preferenceViewController window(*store);
    window.show();
    window.findChild<QComboBox *>(u"formatComboBox"_s)->setCurrentText(u"wav"_s);
    window.findChild<QLineEdit *>(u"qualityTextField"_s)->setText(u"320"_s);
    window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->setChecked(true);
    if (byCloseButton) {
        window.close();
    } else {
        QTest::mouseClick(window.findChild<QPushButton *>(u"cancelButton"_s), Qt::LeftButton);
    }
    QVERIFY(!window.isVisible());
    QCOMPARE(stored(*store), before);
}

void tst_preferenceViewController::qualityFieldRefusesWhatItCannotHold()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings(*store).seedIfAbsent();
    preferenceViewController window(*store);
    window.show();
    auto *field = window.findChild<QLineEdit *>(u"qualityTextField"_s);
    auto *ok = window.findChild<QPushButton *>(u"okButton"_s);

    field->selectAll();
    QTest::keyClicks(field, u"12abc"_s);
    QCOMPARE(field->text(), u"12"_s);
    field->selectAll();
    QTest::keyClicks(field, u"99999999999"_s);
    // Beyond 32 bits: the eleventh digit is refused and OK waits for a value it can store.
    QCOMPARE(field->text(), u"9999999999"_s);
    QVERIFY(!ok->isEnabled());
    // An empty field or a lone sign is no number: OK waits, nothing is stored as 0.
    field->clear();
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(field, u"-"_s);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(field, u"5"_s);
    QVERIFY(ok->isEnabled());
}

void tst_preferenceViewController::handEditedValuesOpenWithSeededOnes()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    store->setValue(u"AudioFormat"_s, u"mp3"_s);
    store->setValue(u"AudioQuality"_s, u"abc"_s);
    store->setValue(u"AudioPreserveVideo"_s, u"maybe"_s);
    preferenceViewController window(*store);
    window.show();
    QCOMPARE(window.findChild<QComboBox *>(u"formatComboBox"_s)->currentText(), u"mp3"_s);
    QCOMPARE(window.findChild<QLineEdit *>(u"qualityTextField"_s)->text(), u"0"_s);
    QVERIFY(window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->isChecked());
}

void tst_preferenceViewController::nextAudioDownloadUsesNewSettings()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings settings(*store);
    settings.seedIfAbsent();
    preferenceViewController window(*store);
    window.show();
    window.findChild<QComboBox *>(u"formatComboBox"_s)->setCurrentText(u"opus"_s);
    window.findChild<QLineEdit *>(u"qualityTextField"_s)->setText(u"160"_s);
    window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->setChecked(false);
    window.okButton();

    DownloadRequest request;
    request.youtubeDLPath = u"/tools/youtube-dl"_s;
    request.ffmpegPath = u"/tools/ffmpeg"_s;
    request.folder = u"/videos"_s;
    request.address = u"http://127.0.0.1/v"_s;
    request.audio = true;
    request.audioFormat = settings.audioFormat();
    request.audioQuality = settings.audioQuality();
    request.audioPreserveVideo = settings.audioPreserveVideo();
    const QString command = composeDownloadCommand(request);
    QVERIFY2(command.contains(u"--audio-format 'opus' --audio-quality '160k'"_s),
             qPrintable(command));
    QVERIFY(!command.contains(u" -k"_s));
}

QTEST_MAIN(tst_preferenceViewController)
#include "tst_preferenceviewcontroller.moc"
