// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "settings/Settings.h"
#include "settings/preferenceViewController.h"

using namespace Qt::StringLiterals;

class tst_preferenceViewController final : public QObject
{
    Q_OBJECT

private slots:
    void seededOnceOnly();
    void unreadableValuesGiveSeededOnes_data();
    void unreadableValuesGiveSeededOnes();
    void okStoresWhatTheControlsHold_data();
    void okStoresWhatTheControlsHold();
    void qualityFieldRefusesWhatItCannotHold();
};

void tst_preferenceViewController::seededOnceOnly()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings settings(*store);
    QVERIFY(settings.seedIfAbsent());
    preferenceViewController window(*store);
    window.show();
    QCOMPARE(window.findChild<QComboBox *>(u"formatComboBox"_s)->currentText(), u"best"_s);
    QCOMPARE(window.findChild<QLineEdit *>(u"qualityTextField"_s)->text(), u"0"_s);
    QVERIFY(window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->isChecked());
    QCOMPARE(window.windowTitle(), u"Preferences"_s);
    // Only "AudioFormat" is looked at: a later missing key is not made again.
    store->remove(u"AudioQuality"_s);
    QVERIFY(!settings.seedIfAbsent());
    QVERIFY(!store->contains(u"AudioQuality"_s));
}

void tst_preferenceViewController::unreadableValuesGiveSeededOnes_data()
{
    // As a hand-edited settings file holds them.
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("format read back as a list") << "AudioFormat=mp3, wav"_ba;
    QTest::newRow("format stored as bytes") << "AudioFormat=@ByteArray(mp3)"_ba;
    QTest::newRow("quality not a number") << "AudioQuality=abc"_ba;
    QTest::newRow("quality beyond 32 bits") << "AudioQuality=4294967296"_ba;
    QTest::newRow("keep-video not a number") << "AudioPreserveVideo=yes"_ba;
}

void tst_preferenceViewController::unreadableValuesGiveSeededOnes()
{
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(u"settings.ini"_s),
                                   "[General]\nAudioFormat=opus\nAudioQuality=128\n"
                                   "AudioPreserveVideo=-1\n"
                                       + line + '\n'));
    auto store = TestSupport::makeSettings(dir);
    const AudioSettings audio = Settings(*store).audioSettings();
    const bool format = line.startsWith("AudioFormat");
    const bool quality = line.startsWith("AudioQuality");
    QCOMPARE(audio.format, format ? u"best"_s : u"opus"_s);
    QCOMPARE(audio.quality, quality ? 0 : 128);
    QCOMPARE(audio.preserveVideo, format || quality ? ControlState::Mixed : ControlState::On);
    // The window opens with what the download would use.
    preferenceViewController window(*store);
    QCOMPARE(window.findChild<QComboBox *>(u"formatComboBox"_s)->currentText(), audio.format);
    QCOMPARE(window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->isChecked(),
             audio.preserveVideo == ControlState::On);
}

void tst_preferenceViewController::okStoresWhatTheControlsHold_data()
{
    QTest::addColumn<QString>("format"); // typed; empty: left as loaded
    QTest::addColumn<QString>("quality");
    QTest::addColumn<bool>("keepVideo");
    QTest::addColumn<QString>("button"); // empty: the window's close button
    QTest::addColumn<QStringList>("expected");
    const QStringList seeded {u"best"_s, u"0"_s, u"1"_s};
    QTest::newRow("unchanged") << QString() << QString() << true << u"okButton"_s << seeded;
    QTest::newRow("typed format, negative")
        << u"alac; touch x"_s << u"-3"_s << false << u"okButton"_s
        << QStringList {u"alac; touch x"_s, u"-3"_s, u"0"_s};
    QTest::newRow("smallest 32-bit") << u"opus"_s << u"-2147483648"_s << false << u"okButton"_s
                                     << QStringList {u"opus"_s, u"-2147483648"_s, u"0"_s};
    QTest::newRow("cancel") << u"wav"_s << u"320"_s << false << u"cancelButton"_s << seeded;
    QTest::newRow("window closed") << u"wav"_s << u"320"_s << false << QString() << seeded;
}

void tst_preferenceViewController::okStoresWhatTheControlsHold()
{
    QFETCH(QString, format);
    QFETCH(QString, quality);
    QFETCH(bool, keepVideo);
    QFETCH(QString, button);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings(*store).seedIfAbsent();
    preferenceViewController window(*store);
    window.show();
    for (const auto &[field, text] :
         {std::pair {window.findChild<QComboBox *>(u"formatComboBox"_s)->lineEdit(), format},
          std::pair {window.findChild<QLineEdit *>(u"qualityTextField"_s), quality}}) {
        if (!text.isEmpty()) {
            field->selectAll();
            QTest::keyClicks(field, text);
        }
    }
    window.findChild<QCheckBox *>(u"preserveVideoButton"_s)->setChecked(keepVideo);
    if (button.isEmpty()) {
        window.close();
    } else {
        QTest::mouseClick(window.findChild<QPushButton *>(button), Qt::LeftButton);
    }
    QVERIFY(!window.isVisible());
    store->sync();
    QCOMPARE((QStringList {store->value(u"AudioFormat"_s).toString(),
                           store->value(u"AudioQuality"_s).toString(),
                           store->value(u"AudioPreserveVideo"_s).toString()}),
             expected);
}

void tst_preferenceViewController::qualityFieldRefusesWhatItCannotHold()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    preferenceViewController window(*store);
    auto *field = window.findChild<QLineEdit *>(u"qualityTextField"_s);
    auto *ok = window.findChild<QPushButton *>(u"okButton"_s);
    field->selectAll();
    QTest::keyClicks(field, u"12abc"_s);
    QCOMPARE(field->text(), u"12"_s);
    // Beyond 32 bits, an empty field or a lone sign: no value to store, and OK waits.
    for (const auto &text : {u"99999999999"_s, QString(), u"-"_s}) {
        field->clear();
        QTest::keyClicks(field, text);
        QVERIFY2(!ok->isEnabled(), qPrintable(field->text()));
    }
    QTest::keyClicks(field, u"5"_s);
    QVERIFY(ok->isEnabled());
}

QTEST_MAIN(tst_preferenceViewController)
#include "tst_preferenceviewcontroller.moc"
