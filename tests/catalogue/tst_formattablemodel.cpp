// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <memory>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "TestSupport.h"
#include "catalogue/FormatTableModel.h"

using namespace Qt::StringLiterals;

namespace {
// Records written as words: the code, then "+" when ticked or "~" when mixed.
QList<formatYoutube> makeFormats(const QString &words, const QString &codecs = {})
{
    const QStringList codecList = codecs.split(u' ', Qt::SkipEmptyParts);
    QList<formatYoutube> formats;
    for (const QString &word : words.split(u' ', Qt::SkipEmptyParts)) {
        const QChar mark = word.back();
        const ControlState state = mark == u'+' ? ControlState::On
            : mark == u'~'                      ? ControlState::Mixed
                                                : ControlState::Off;
        const QString id = state == ControlState::Off ? word : word.chopped(1);
        formats.append({id, codecList.value(formats.size()), u"1x2"_s, u"note "_s + id, state});
    }
    return formats;
}

QString wordsOf(const QList<formatYoutube> &formats)
{
    QStringList words;
    for (const formatYoutube &format : formats) {
        words << format.formatID
                + (format.isChecked == ControlState::On          ? u"+"_s
                       : format.isChecked == ControlState::Mixed ? u"~"_s
                                                                 : QString());
    }
    return words.join(u' ');
}
} // namespace

class tst_FormatTableModel final : public QObject
{
    Q_OBJECT

private slots:
    void cells();
    void tick_data();
    void tick();
    void sort_data();
    void sort();
    void append();

private:
    // A model over a new list, with the tester that checks every change it announces.
    FormatTableModel &makeModel(const QString &words, const QString &codecs = {})
    {
        m_tester.reset();
        m_list = makeFormats(words, codecs);
        m_model = std::make_unique<FormatTableModel>(m_list);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        return *m_model;
    }

    QList<formatYoutube> m_list;
    std::unique_ptr<FormatTableModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void tst_FormatTableModel::cells()
{
    FormatTableModel &model = makeModel(u"137 140~"_s, u"mp4 m4a"_s);
    const QStringList cells {u"137"_s, u"mp4"_s, u"1x2"_s, u"note 137"_s};
    QCOMPARE(model.columnCount(), cells.size());
    for (int column = 0; column < cells.size(); ++column) {
        QCOMPARE(model.index(0, column).data().toString(), cells.at(column));
        QCOMPARE(model.flags(model.index(0, column)).testFlag(Qt::ItemIsUserCheckable),
                 column == 0);
        // The first click on a sortable header sorts in decreasing order.
        QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::InitialSortOrderRole),
                 column < 2 ? QVariant::fromValue(Qt::DescendingOrder) : QVariant());
    }
    QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
    QVERIFY(!model.index(0, 1).data(Qt::CheckStateRole).isValid());

    // A line of megabytes shows its start only, and more in the tooltip; the record keeps
    // it whole.
    m_list[0].info = u"x"_s.repeated(1'500'000);
    QVERIFY(model.index(0, 3).data().toString().size() <= 400);
    QVERIFY(model.index(0, 3).data(Qt::ToolTipRole).toString().size() <= 5000);
    QCOMPARE(m_list[0].info.size(), 1'500'000);
}

void tst_FormatTableModel::tick_data()
{
    QTest::addColumn<Qt::CheckState>("clicked");
    QTest::addColumn<QByteArray>("diagnostic");
    QTest::addColumn<QString>("expected");
    QTest::newRow("tick") << Qt::Checked << "2 - > 1\n"_ba << u"1 2+ 3+ 4~"_s;
    QTest::newRow("clear") << Qt::Unchecked << "2 - > 0\n"_ba << u"1 2+ 3 4~"_s;
    QTest::newRow("mixed") << Qt::PartiallyChecked << "2 - > -1\n"_ba << u"1 2+ 3~ 4~"_s;
}

void tst_FormatTableModel::tick()
{
    QFETCH(Qt::CheckState, clicked);
    QFETCH(QByteArray, diagnostic);
    QFETCH(QString, expected);
    FormatTableModel &model = makeModel(u"1 2+ 3+ 4~"_s);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    TestSupport::StdoutCapture capture;
    QVERIFY(model.setData(model.index(2, 0), clicked, Qt::CheckStateRole));
    // Rows outside the list and other columns are ignored.
    model.checkedButton(4, ControlState::On);
    model.checkedButton(-1, ControlState::On);
    QVERIFY(!model.setData(model.index(0, 1), Qt::Checked, Qt::CheckStateRole));

    QCOMPARE(capture.text(), diagnostic);
    QCOMPARE(wordsOf(m_list), expected);
    // Only the one checkbox changed; the table does not reload.
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.index(2, 0));
    QCOMPARE(reset.size(), 0);
}

void tst_FormatTableModel::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QString>("records");
    QTest::addColumn<QString>("codecs");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, int column, Qt::SortOrder order, const QString &records,
                        const QString &codecs, const QString &expected) {
        QTest::newRow(name) << column << order << records << codecs << expected;
    };
    const Qt::SortOrder down = Qt::DescendingOrder;
    const Qt::SortOrder up = Qt::AscendingOrder;
    // Codes compare as texts, not numbers; ticks travel with their records.
    row("codes, decreasing", 0, down, u"22 137+ 251 18 140~"_s, {}, u"251 22 18 140~ 137+"_s);
    row("codes, increasing", 0, up, u"22 137+ 251 18 140~"_s, {}, u"137+ 140~ 18 22 251"_s);
    row("codecs, decreasing", 1, down, u"a b+ c d"_s, u"mp4 3gp webm m4a"_s, u"c a d b+"_s);
    row("equal keys stay, decreasing", 1, down, u"a b c d"_s, u"mp4 webm mp4 m4a"_s, u"b a c d"_s);
    row("equal keys stay, increasing", 1, up, u"a b c d"_s, u"mp4 webm mp4 m4a"_s, u"d a c b"_s);
    row("canonically equal keys", 1, up, u"a b"_s, u"caf\u00e9 cafe\u0301"_s, u"a b"_s);
    // U+FF21 is below U+1F600 as a code point, above its surrogates as UTF-16.
    row("code points, not UTF-16", 1, up, u"a b c"_s, u"😀 \uFF21 z"_s, u"c b a"_s);
    row("size column leaves the order", 2, down, u"22 137 251"_s, {}, u"22 137 251"_s);
}

void tst_FormatTableModel::sort()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QString, records);
    QFETCH(QString, codecs);
    QFETCH(QString, expected);
    FormatTableModel &model = makeModel(records, codecs);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    const QPersistentModelIndex first(model.index(0, FormatTableModel::InfoColumn));
    const QString firstNote = first.data().toString();
    model.sort(column, order);
    QCOMPARE(wordsOf(m_list), expected);
    // The table shows the list anew after every sort, and selections follow their records.
    QCOMPARE(layout.size(), 1);
    QCOMPARE(first.data().toString(), firstNote);
}

void tst_FormatTableModel::append()
{
    // A second listing follows the first; one without formats still shows the list anew.
    FormatTableModel &model = makeModel(u"1+ 2"_s);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.appendFormats(makeFormats(u"140 137"_s));
    QCOMPARE(wordsOf(m_list), u"1+ 2 140 137"_s);
    model.appendFormats({});
    QCOMPARE(reset.size(), 1);
}

QTEST_GUILESS_MAIN(tst_FormatTableModel)
#include "tst_formattablemodel.moc"
