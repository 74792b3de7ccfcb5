// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "TestSupport.h"
#include "catalogue/FormatTableModel.h"

using namespace Qt::StringLiterals;

namespace {

// Records named by their codes, with the given codecs (or none).
QList<formatYoutube> makeFormats(const QStringList &ids, const QStringList &codecs = {})
{
    QList<formatYoutube> formats;
    for (qsizetype i = 0; i < ids.size(); ++i) {
        formats.append({ids.at(i), codecs.value(i), u"640x360"_s, u"note "_s + ids.at(i)});
    }
    return formats;
}

QStringList idsOf(const QList<formatYoutube> &formats)
{
    QStringList ids;
    for (const formatYoutube &format : formats) {
        ids.append(format.formatID);
    }
    return ids;
}

QList<int> statesOf(const QList<formatYoutube> &formats)
{
    QList<int> states;
    for (const formatYoutube &format : formats) {
        states.append(static_cast<int>(format.isChecked));
    }
    return states;
}

// A model over the list, with the tester that checks every change it announces.
struct TestedModel
{
    explicit TestedModel(QList<formatYoutube> &list)
        : model(list), tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest)
    {
    }
    FormatTableModel model;
    QAbstractItemModelTester tester;
};

} // namespace

class tst_FormatTableModel final : public QObject
{
    Q_OBJECT

private slots:
    void cellsShowTheRecords();
    void headers();
    void tickThroughTheModel_data();
    void tickThroughTheModel();
    void tickOutsideTheListIsIgnored();
    void sort_data();
    void sort();
    void sortKeepsTicksAndIndexesWithTheirRecords();
    void codecThenCodeGrouping();
    void keyboardCommands_data();
    void keyboardCommands();
    void appendKeepsEarlierRecordsFirst();
};

void tst_FormatTableModel::cellsShowTheRecords()
{
    QList<formatYoutube> list {{u"137"_s, u" mp4 "_s, u"1920x1080"_s, u"1080p"_s},
                               {u"140"_s, u" m4a "_s, {}, {}, ControlState::Mixed}};
    TestedModel tested(list);
    const FormatTableModel &model = tested.model;

    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    const QStringList row0 {u"137"_s, u" mp4 "_s, u"1920x1080"_s, u"1080p"_s};
    for (int column = 0; column < 4; ++column) {
        QCOMPARE(model.index(0, column).data().toString(), row0.at(column));
    }
    QCOMPARE(model.index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(),
             Qt::PartiallyChecked);
    QVERIFY(!model.index(0, 1).data(Qt::CheckStateRole).isValid());
    QVERIFY(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsUserCheckable));
    QVERIFY(!model.flags(model.index(0, 1)).testFlag(Qt::ItemIsUserCheckable));
    QVERIFY(!model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

void tst_FormatTableModel::headers()
{
    QList<formatYoutube> list;
    TestedModel tested(list);
    const FormatTableModel &model = tested.model;

    const QStringList titles {u"Code"_s, u"Codec"_s, u"Taille"_s, u"Informations"_s};
    const QStringList identifiers {u"formatID"_s, u"codecID"_s, u"dimensionID"_s, u"infoID"_s};
    for (int column = 0; column < FormatTableModel::ColumnCount; ++column) {
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), titles.at(column));
        QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::UserRole).toString(),
                 identifiers.at(column));
        const QVariant initialOrder
            = model.headerData(column, Qt::Horizontal, Qt::InitialSortOrderRole);
        QCOMPARE(FormatTableModel::isSortable(column), column < 2);
        if (FormatTableModel::isSortable(column)) {
            // The first click sorts in decreasing order, and the indicator must say so.
            QCOMPARE(initialOrder.value<Qt::SortOrder>(), Qt::DescendingOrder);
        } else {
            QVERIFY(!initialOrder.isValid());
        }
    }
}

void tst_FormatTableModel::tickThroughTheModel_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<Qt::CheckState>("clicked");
    QTest::addColumn<QByteArray>("diagnostic");
    QTest::addColumn<int>("stored");

    QTest::newRow("tick") << 0 << Qt::Checked << QByteArray("3 - > 1\n") << 1;
    QTest::newRow("clear") << 1 << Qt::Unchecked << QByteArray("3 - > 0\n") << 0;
    QTest::newRow("mixed") << 0 << Qt::PartiallyChecked << QByteArray("3 - > -1\n") << -1;
}

void tst_FormatTableModel::tickThroughTheModel()
{
    QFETCH(int, initial);
    QFETCH(Qt::CheckState, clicked);
    QFETCH(QByteArray, diagnostic);
    QFETCH(int, stored);

    QList<formatYoutube> list = makeFormats({u"137"_s, u"140"_s, u"18"_s, u"22"_s, u"251"_s});
    list[3].isChecked = static_cast<ControlState>(initial);
    list[4].isChecked = ControlState::Mixed;
    TestedModel tested(list);
    FormatTableModel &model = tested.model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);

    QByteArray written;
    {
        TestSupport::StdoutCapture capture;
        QVERIFY(model.setData(model.index(3, 0), clicked, Qt::CheckStateRole));
        written = capture.text();
    }
    QCOMPARE(written, diagnostic);
    QCOMPARE(statesOf(list), (QList<int> {0, 0, 0, stored, -1}));
    QCOMPARE(model.index(3, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), clicked);

    // The one checkbox changed, and the table does not reload.
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.index(3, 0));
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), model.index(3, 0));
    QCOMPARE(changed.at(0).at(2).value<QList<int>>(), QList<int> {Qt::CheckStateRole});
    QCOMPARE(reset.size(), 0);
    QCOMPARE(layout.size(), 0);
}

void tst_FormatTableModel::tickOutsideTheListIsIgnored()
{
    QList<formatYoutube> list = makeFormats({u"137"_s, u"140"_s});
    TestedModel tested(list);
    FormatTableModel &model = tested.model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QByteArray written;
    {
        TestSupport::StdoutCapture capture;
        model.checkedButton(2, ControlState::On);
        model.checkedButton(-1, ControlState::On);
        QVERIFY(!model.setData(model.index(0, 1), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!model.setData(model.index(0, 0), u"999"_s, Qt::EditRole));
        written = capture.text();
    }
    QCOMPARE(written, QByteArray());
    QCOMPARE(changed.size(), 0);
    QCOMPARE(statesOf(list), (QList<int> {0, 0}));
    QCOMPARE(idsOf(list), (QStringList {u"137"_s, u"140"_s}));
}

void tst_FormatTableModel::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("codecs");
    QTest::addColumn<QStringList>("expected");

    const QStringList codes {u"22"_s, u"137"_s, u"251"_s, u"18"_s, u"140"_s};
    // Text order, not numeric: the first click gives decreasing order.
    QTest::newRow("codes, first click")
        << 0 << Qt::DescendingOrder << codes << QStringList()
        << QStringList {u"251"_s, u"22"_s, u"18"_s, u"140"_s, u"137"_s};
    QTest::newRow("codes, second click")
        << 0 << Qt::AscendingOrder << codes << QStringList()
        << QStringList {u"137"_s, u"140"_s, u"18"_s, u"22"_s, u"251"_s};
    QTest::newRow("codes 5 and 18")
        << 0 << Qt::AscendingOrder << QStringList {u"5"_s, u"18"_s, u"140"_s} << QStringList()
        << QStringList {u"140"_s, u"18"_s, u"5"_s};

    const QStringList ids {u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    const QStringList codecs {u" mp4 "_s, u" 3gp "_s, u" webm "_s, u" m4a "_s};
    QTest::newRow("codecs, first click") << 1 << Qt::DescendingOrder << ids << codecs
                                         << QStringList {u"c"_s, u"a"_s, u"d"_s, u"b"_s};
    QTest::newRow("codecs, second click")
        << 1 << Qt::AscendingOrder << ids << codecs << QStringList {u"b"_s, u"d"_s, u"a"_s, u"c"_s};

    // Records with equal keys keep their order in both directions.
    const QStringList withTies {u" mp4 "_s, u" webm "_s, u" mp4 "_s, u" m4a "_s};
    QTest::newRow("equal codecs, decreasing") << 1 << Qt::DescendingOrder << ids << withTies
                                              << QStringList {u"b"_s, u"a"_s, u"c"_s, u"d"_s};
    QTest::newRow("equal codecs, increasing") << 1 << Qt::AscendingOrder << ids << withTies
                                              << QStringList {u"d"_s, u"a"_s, u"c"_s, u"b"_s};

    // Canonically equivalent keys are equal: neither direction exchanges them.
    const QStringList accents {u"caf\u00e9"_s, u"cafe\u0301"_s, u"caf\u00e9"_s};
    QTest::newRow("composed and decomposed, decreasing")
        << 1 << Qt::DescendingOrder << QStringList {u"a"_s, u"b"_s, u"c"_s} << accents
        << QStringList {u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("composed and decomposed, increasing")
        << 1 << Qt::AscendingOrder << QStringList {u"a"_s, u"b"_s, u"c"_s} << accents
        << QStringList {u"a"_s, u"b"_s, u"c"_s};
    // Composed, e + acute is U+00E9, which comes after f.
    QTest::newRow("decomposed key compared composed")
        << 1 << Qt::AscendingOrder << QStringList {u"a"_s, u"b"_s}
        << QStringList {u"cafe\u0301"_s, u"caff"_s} << QStringList {u"b"_s, u"a"_s};
    // U+FF21 is below U+1F600 by code point, above its surrogates by UTF-16 unit.
    QTest::newRow("code points beyond UTF-16 units")
        << 1 << Qt::AscendingOrder << QStringList {u"a"_s, u"b"_s, u"c"_s}
        << QStringList {u"😀"_s, u"\uFF21"_s, u"z"_s} << QStringList {u"c"_s, u"b"_s, u"a"_s};
    QTest::newRow("case-sensitive")
        << 1 << Qt::AscendingOrder << QStringList {u"a"_s, u"b"_s}
        << QStringList {u"mp4"_s, u"MP4"_s} << QStringList {u"b"_s, u"a"_s};

    QTest::newRow("size column leaves the order")
        << 2 << Qt::DescendingOrder << codes << QStringList() << codes;
    QTest::newRow("note column leaves the order")
        << 3 << Qt::AscendingOrder << codes << QStringList() << codes;
    QTest::newRow("no column") << -1 << Qt::AscendingOrder << codes << QStringList() << codes;
    QTest::newRow("empty list") << 0 << Qt::DescendingOrder << QStringList() << QStringList()
                                << QStringList();
}

void tst_FormatTableModel::sort()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, codecs);
    QFETCH(QStringList, expected);

    QList<formatYoutube> list = makeFormats(ids, codecs);
    TestedModel tested(list);
    FormatTableModel &model = tested.model;
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    model.sort(column, order);
    QCOMPARE(idsOf(list), expected);
    // The table reloads after every sort, also one that changes nothing.
    QCOMPARE(layout.size() + reset.size(), 1);
    for (int row = 0; row < expected.size(); ++row) {
        QCOMPARE(model.index(row, 0).data().toString(), expected.at(row));
    }
}

void tst_FormatTableModel::sortKeepsTicksAndIndexesWithTheirRecords()
{
    QList<formatYoutube> list = makeFormats({u"137"_s, u"140"_s, u"18"_s, u"22"_s, u"251"_s});
    TestedModel tested(list);
    FormatTableModel &model = tested.model;
    {
        TestSupport::StdoutCapture capture;
        QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    }
    const QPersistentModelIndex note140(model.index(1, FormatTableModel::InfoColumn));

    model.sort(FormatTableModel::FormatColumn, Qt::DescendingOrder);
    QCOMPARE(idsOf(list), (QStringList {u"251"_s, u"22"_s, u"18"_s, u"140"_s, u"137"_s}));
    QCOMPARE(statesOf(list), (QList<int> {0, 0, 0, 1, 0}));
    QCOMPARE(model.index(3, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    QCOMPARE(model.checkedFormatIDs(), QStringList {u"140"_s});
    QCOMPARE(note140.row(), 3);
    QCOMPARE(note140.column(), int(FormatTableModel::InfoColumn));
    QCOMPARE(note140.data().toString(), u"note 140"_s);
}

void tst_FormatTableModel::codecThenCodeGrouping()
{
    // Sorting by code, then by codec, groups by codec with codes in order inside each group.
    QList<formatYoutube> list = makeFormats(
        {u"18"_s, u"140"_s, u"251"_s, u"22"_s, u"137"_s, u"249"_s, u"17"_s},
        {u" mp4 "_s, u" m4a "_s, u" webm "_s, u" mp4 "_s, u" mp4 "_s, u" webm "_s, u" 3gp "_s});
    TestedModel tested(list);
    FormatTableModel &model = tested.model;

    model.sort(FormatTableModel::FormatColumn, Qt::DescendingOrder);
    model.sort(FormatTableModel::CodecColumn, Qt::DescendingOrder);
    QCOMPARE(idsOf(list),
             (QStringList {u"251"_s, u"249"_s, u"22"_s, u"18"_s, u"137"_s, u"140"_s, u"17"_s}));

    model.sort(FormatTableModel::FormatColumn, Qt::AscendingOrder);
    model.sort(FormatTableModel::CodecColumn, Qt::AscendingOrder);
    QCOMPARE(idsOf(list),
             (QStringList {u"17"_s, u"140"_s, u"137"_s, u"18"_s, u"22"_s, u"249"_s, u"251"_s}));
}

void tst_FormatTableModel::keyboardCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("initial");
    QTest::addColumn<QList<int>>("expected");

    const QList<int> onOffMixed {1, 0, -1};
    QTest::newRow("invert") << u"invert"_s << onOffMixed << QList<int> {0, 1, 1};
    QTest::newRow("clear") << u"clear"_s << onOffMixed << QList<int> {0, 0, 0};
    QTest::newRow("tick all") << u"tick"_s << onOffMixed << QList<int> {1, 1, 1};
    QTest::newRow("invert twice is not the identity on mixed")
        << u"invert twice"_s << onOffMixed << QList<int> {1, 0, 0};
    QTest::newRow("invert, empty list") << u"invert"_s << QList<int>() << QList<int>();
    QTest::newRow("clear, empty list") << u"clear"_s << QList<int>() << QList<int>();
    QTest::newRow("tick all, empty list") << u"tick"_s << QList<int>() << QList<int>();
}

void tst_FormatTableModel::keyboardCommands()
{
    QFETCH(QString, command);
    QFETCH(QList<int>, initial);
    QFETCH(QList<int>, expected);

    QList<formatYoutube> list;
    for (int state : initial) {
        list.append({QString::number(list.size()), {}, {}, {}, static_cast<ControlState>(state)});
    }
    TestedModel tested(list);
    FormatTableModel &model = tested.model;
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    int commands = 1;
    if (command == u"invert") {
        model.invertAll();
    } else if (command == u"invert twice") {
        model.invertAll();
        model.invertAll();
        commands = 2;
    } else if (command == u"clear") {
        model.clearAll();
    } else {
        model.tickAll();
    }
    QCOMPARE(statesOf(list), expected);
    QCOMPARE(reset.size(), commands);
    for (int row = 0; row < expected.size(); ++row) {
        const auto shown = model.index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>();
        QCOMPARE(shown, expected.at(row) == 1 ? Qt::Checked : Qt::Unchecked);
    }
}

void tst_FormatTableModel::appendKeepsEarlierRecordsFirst()
{
    QList<formatYoutube> list;
    TestedModel tested(list);
    FormatTableModel &model = tested.model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.appendFormats(makeFormats({u"140"_s, u"137"_s}));
    {
        TestSupport::StdoutCapture capture;
        model.checkedButton(1, ControlState::On);
    }
    model.appendFormats(makeFormats({u"140"_s, u"137"_s}));
    QCOMPARE(idsOf(list), (QStringList {u"140"_s, u"137"_s, u"140"_s, u"137"_s}));
    QCOMPARE(statesOf(list), (QList<int> {0, 1, 0, 0}));
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 2);
    QCOMPARE(inserted.at(1).at(2).toInt(), 3);
    QCOMPARE(model.checkedFormatIDs(), QStringList {u"137"_s});

    // A listing without formats changes nothing but still shows the list anew.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.appendFormats({});
    QCOMPARE(list.size(), 4);
    QCOMPARE(reset.size(), 1);
}

QTEST_GUILESS_MAIN(tst_FormatTableModel)
#include "tst_formattablemodel.moc"
