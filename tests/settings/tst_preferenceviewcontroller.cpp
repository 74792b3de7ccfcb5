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
    void init();
    void firstOpeningShowsSeededValues();
    void okStoresWhatTheControlsHold_data();
    void okStoresWhatTheControlsHold();
    void cancelAndCloseStoreNothing_data();
    void cancelAndCloseStoreNothing();
    void qualityFieldRefusesWhatItCannotHold();
    void handEditedValuesOpenWithSeededOnes();

private:
    template<typename T> T *control(const QString &name) { return m_window->findChild<T *>(name); }
    // The three stored values as the store's text, as the settings file would hold them.
    QStringList stored();

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<preferenceViewController> m_window;
};

void tst_preferenceViewController::init()
{
    QFile::remove(m_dir.filePath(u"settings.ini"_s));
    m_store = TestSupport::makeSettings(m_dir);
    Settings(*m_store).seedIfAbsent();
    m_window = std::make_unique<preferenceViewController>(*m_store);
    m_window->show();
}

QStringList tst_preferenceViewController::stored()
{
    m_store->sync();
    return {m_store->value(u"AudioFormat"_s).toString(),
            m_store->value(u"AudioQuality"_s).toString(),
            m_store->value(u"AudioPreserveVideo"_s).toString()};
}

void tst_preferenceViewController::firstOpeningShowsSeededValues()
{
    auto *combo = control<QComboBox>(u"formatComboBox"_s);
    QCOMPARE(combo->currentText(), u"best"_s);
    QStringList offered;
    for (int index = 0; index < combo->count(); ++index) {
        offered << combo->itemText(index);
    }
    QCOMPARE(offered,
             (QStringList {u"best"_s, u"aac"_s, u"flac"_s, u"mp3"_s, u"m4a"_s, u"opus"_s,
                           u"vorbis"_s, u"wav"_s}));
    QCOMPARE(control<QLineEdit>(u"qualityTextField"_s)->text(), u"0"_s);
    QVERIFY(control<QCheckBox>(u"preserveVideoButton"_s)->isChecked());
    QCOMPARE(m_window->windowTitle(), u"Preferences"_s);
}

void tst_preferenceViewController::okStoresWhatTheControlsHold_data()
{
    QTest::addColumn<QString>("format"); // typed; empty: left as loaded
    QTest::addColumn<QString>("quality");
    QTest::addColumn<bool>("keepVideo");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("unchanged") << QString() << QString() << true
                               << QStringList {u"best"_s, u"0"_s, u"1"_s};
    QTest::newRow("listed format, 128")
        << u"mp3"_s << u"128"_s << true << QStringList {u"mp3"_s, u"128"_s, u"1"_s};
    QTest::newRow("typed format, negative") << u"alac; touch x"_s << u"-3"_s << false
                                            << QStringList {u"alac; touch x"_s, u"-3"_s, u"0"_s};
    QTest::newRow("smallest 32-bit") << u"opus"_s << u"-2147483648"_s << false
                                     << QStringList {u"opus"_s, u"-2147483648"_s, u"0"_s};
}

void tst_preferenceViewController::okStoresWhatTheControlsHold()
{
    QFETCH(QString, format);
    QFETCH(QString, quality);
    QFETCH(bool, keepVideo);
    QFETCH(QStringList, expected);
    const auto type = [](QLineEdit *field, const QString &text) {
        if (!text.isEmpty()) {
            field->selectAll();
            QTest::keyClicks(field, text);
        }
    };
    type(control<QComboBox>(u"formatComboBox"_s)->lineEdit(), format);
    type(control<QLineEdit>(u"qualityTextField"_s), quality);
    control<QCheckBox>(u"preserveVideoButton"_s)->setChecked(keepVideo);
    QTest::mouseClick(control<QPushButton>(u"okButton"_s), Qt::LeftButton);

    QVERIFY(!m_window->isVisible());
    QCOMPARE(stored(), expected);
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
    const QStringList before = stored();
    control<QComboBox>(u"formatComboBox"_s)->setCurrentText(u"wav"_s);
    control<QLineEdit>(u"qualityTextField"_s)->setText(u"320"_s);
    control<QCheckBox>(u"preserveVideoButton"_s)->setChecked(false);
    if (byCloseButton) {
        m_window->close();
    } else {
        QTest::mouseClick(control<QPushButton>(u"cancelButton"_s), Qt::LeftButton);
    }
    QVERIFY(!m_window->isVisible());
    QCOMPARE(stored(), before);
}

void tst_preferenceViewController::qualityFieldRefusesWhatItCannotHold()
{
    auto *field = control<QLineEdit>(u"qualityTextField"_s);
    auto *ok = control<QPushButton>(u"okButton"_s);
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

void tst_preferenceViewController::handEditedValuesOpenWithSeededOnes()
{
    m_store->setValue(u"AudioFormat"_s, u"mp3"_s);
    m_store->setValue(u"AudioQuality"_s, u"abc"_s);
    m_store->setValue(u"AudioPreserveVideo"_s, u"maybe"_s);
    m_window = std::make_unique<preferenceViewController>(*m_store);
    QCOMPARE(control<QComboBox>(u"formatComboBox"_s)->currentText(), u"mp3"_s);
    QCOMPARE(control<QLineEdit>(u"qualityTextField"_s)->text(), u"0"_s);
    QVERIFY(control<QCheckBox>(u"preserveVideoButton"_s)->isChecked());
}

QTEST_MAIN(tst_preferenceViewController)
#include "tst_preferenceviewcontroller.moc"
