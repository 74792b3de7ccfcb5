// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/ViewController.h"
#include "catalogue/FormatList.h"
#include "settings/Settings.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int standInTimeout = 30'000;
const QString templateText = u"%(title)s%(format_id)s%(format)s.%(ext)s"_s;
const QString normalAddress = u"http://127.0.0.1:9/watch?v=normal"_s;

// Where a hostile text goes.
enum class Field {
    Address,
    AudioFormat,
    // A folder under the test's root folder: the text may hold "/" (nested folders).
    Folder,
    // The chooser answers with the text itself, relative to the working folder.
    RelativeFolder,
};

// A stand-in downloader: it answers the version question, records its arguments
// NUL-separated and lists one format for -F. For a download it makes the folder of its
// output template (as the real one does) and announces a destination there; when a file
// "announce" lies beside it, it prints that file's lines instead and waits for a "go".
const QByteArray standInScript =
        "#!/bin/bash\n"
        "[ \"$1\" = --version ] && { echo 2023.03.04; exit 0; }\n"
        "here=\"${0%/*}\"\n"
        "printf '%s\\0' \"$@\" > \"$here/arguments\"\n"
        "if [ \"$1\" = -F ]; then echo '18 mp4 640x360 ok'; exit 0; fi\n"
        "if [ -e \"$here/announce\" ]; then\n"
        "    cat \"$here/announce\"\n"
        "    printf '[download]  12.5%% of 1.00MiB\\r'\n"
        "    while [ ! -e \"$here/go\" ]; do sleep 0.05; done\n"
        "    exit 0\n"
        "fi\n"
        "dir=\"${2%/*}\"\n"
        "dir=\"${dir//%%/%}\"\n"
        "mkdir -p -- \"$dir\"\n"
        "printf '[download] Destination: %s\\n' \"$dir/clip.mp4\"\n"
        "printf '[download] 100%% of 4.00B\\n'\n"_ba;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeRaw(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, content.constData(), static_cast<size_t>(content.size()))
            == content.size();
    return ::close(fd) == 0 && written;
}

// Everything under a folder by raw name (names that are not UTF-8 stay apart): kind and
// permissions, size, modification time and the content of files.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const QString &root)
{
    namespace fs = std::filesystem;
    Snapshot entries;
    const fs::path base(QFile::encodeName(root).toStdString());
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(base, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        struct stat info = {};
        if (::lstat(it->path().c_str(), &info) != 0) {
            continue;
        }
        std::string description = std::to_string(info.st_mode) + ' '
                + std::to_string(info.st_size) + ' ' + std::to_string(info.st_mtim.tv_sec)
                + '.' + std::to_string(info.st_mtim.tv_nsec);
        if (S_ISREG(info.st_mode)) {
            QFile file;
            const int fd = ::open(it->path().c_str(), O_RDONLY);
            if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
                description += ' ' + file.readAll().toStdString();
            }
        }
        entries[it->path().lexically_relative(base).string()] = description;
    }
    return entries;
}

// Removes a folder with everything in it, names that are not UTF-8 included (which Qt
// cannot name, so that QTemporaryDir would leave them behind).
void removeAll(const QString &path)
{
    std::error_code error;
    std::filesystem::remove_all(QFile::encodeName(path).toStdString(), error);
}

// The entries that differ between two snapshots, for a failure message.
QString difference(const Snapshot &before, const Snapshot &after)
{
    QStringList changed;
    for (const auto &[name, description] : before) {
        const auto found = after.find(name);
        if (found == after.end()) {
            changed << u"gone: "_s + QString::fromStdString(name);
        } else if (found->second != description) {
            changed << u"changed: "_s + QString::fromStdString(name);
        }
    }
    for (const auto &[name, description] : after) {
        if (!before.contains(name)) {
            changed << u"new: "_s + QString::fromStdString(name);
        }
    }
    return changed.join(u", "_s);
}

// A text of exactly 64 KiB made of a repeated hostile pattern. Its quoted form stays far
// below the system's limit for one argument (128 KiB).
QString longText(const QString &touch)
{
    const QString pattern =
            u"$("_s + touch + u");`"_s + touch + u"`|"_s + touch + u"&"_s + touch + u"\n'\"-"_s;
    QString text;
    while (text.size() < 64 * 1024) {
        text += pattern;
    }
    text.truncate(64 * 1024);
    return text;
}

// Hostile texts; each one tries to create `marker` if anything ever ran it.
QList<std::pair<QString, QString>> hostileTexts(const QString &marker)
{
    const QString touch = u"touch "_s + marker;
    QString controls;
    for (char16_t c = 0x01; c < 0x20; ++c) {
        controls += QChar(c);
    }
    controls += QChar(0x7f);
    return {
        {u"single quotes"_s, u"it's '$("_s + touch + u")' '' \\'"_s},
        {u"double quotes"_s, u"\"$("_s + touch + u")\" \\\""_s},
        {u"command substitution"_s, u"$("_s + touch + u')'},
        {u"backticks"_s, u'`' + touch + u'`'},
        {u"semicolon"_s, u"x; "_s + touch},
        {u"pipe"_s, u"x | "_s + touch},
        {u"ampersands"_s, u"x & "_s + touch + u" && "_s + touch},
        {u"newlines"_s, u"x\n"_s + touch + u'\n'},
        {u"carriage return"_s, u"x\r"_s + touch},
        {u"control characters"_s, controls + touch},
        {u"leading dash"_s, u"--exec="_s + touch},
        {u"variables, globs, template fields"_s, u"$HOME ${IFS} * ? ~ !! %(title)s %"_s},
    };
}

QStringList recordedArguments(const QString &path)
{
    QByteArray recorded = readFile(path);
    if (!recorded.endsWith('\0')) {
        return {};
    }
    recorded.chop(1);
    QStringList arguments;
    for (const QByteArray &argument : recorded.split('\0')) {
        arguments << QString::fromUtf8(argument);
    }
    return arguments;
}

QString valueAfter(const QStringList &arguments, const QString &option)
{
    const qsizetype at = arguments.indexOf(option);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

// The -o value for a folder: the downloader reads "%%" as "%".
QString outputValue(const QString &folder)
{
    QString value = folder.endsWith(u'/') ? folder : folder + u'/';
    return value.replace(u'%', u"%%"_s) + templateText;
}

// The window with the stand-in in its tool folder (and the real converter).
struct StandInWindow
{
    StandInWindow()
        : store(TestSupport::makeSettings(tools))
    {
        TestSupport::writeScript(tools, u"youtube-dl"_s, standInScript);
        QFile::link(*resourcePath(u"ffmpeg"_s, TestSupport::toolFolder()),
                    tools.filePath(u"ffmpeg"_s));
        window = std::make_unique<ViewController>(*store, tools.path());
        window->setFolderChooser([this](QWidget *) { return folder; });
        window->show();
    }

    QLineEdit *address() const { return window->findChild<QLineEdit *>(u"urlYoutube"_s); }
    QString message() const { return window->findChild<QLabel *>(u"messageTextField"_s)->text(); }
    QPushButton *button(const QString &name) const
    {
        return window->findChild<QPushButton *>(name);
    }
    int rowCount() const
    {
        return window->findChild<QTableView *>(u"tableView"_s)->model()->rowCount();
    }
    QStringList arguments() const { return recordedArguments(tools.filePath(u"arguments"_s)); }
    void forgetArguments() const { QFile::remove(tools.filePath(u"arguments"_s)); }

    QTemporaryDir tools;
    std::unique_ptr<QSettings> store;
    std::unique_ptr<ViewController> window;
    QString folder;
};

// Runs the test with `path` as the working folder, where a relative "touch" would land.
class WorkingFolder final
{
public:
    explicit WorkingFolder(const QString &path)
        : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(path);
    }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }
    Q_DISABLE_COPY_MOVE(WorkingFolder)

private:
    QString m_previous;
};
} // namespace

Q_DECLARE_METATYPE(Field)

class tst_HostileInput final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void hostileTextArrivesExactly_data();
    void hostileTextArrivesExactly();
    void commandLineBeyondTheSystemLimit_data();
    void commandLineBeyondTheSystemLimit();
    void missingFolderIsRefused_data();
    void missingFolderIsRefused();
    void hostileDestinationsRemoveNothingOutside_data();
    void hostileDestinationsRemoveNothingOutside();

private:
    bool normalDownloadSucceeds(StandInWindow &w, const QString &folder);

    QTemporaryDir m_markers;
    QString m_marker;
};

void tst_HostileInput::initTestCase()
{
    QVERIFY(m_markers.isValid());
    m_marker = m_markers.filePath(u"ran"_s);
}

void tst_HostileInput::init()
{
    formatList().clear();
    QVERIFY(!QFile::exists(m_marker));
}

// A plain download with ordinary texts into `folder`: what the window does after each
// hostile text, to show that it keeps working.
bool tst_HostileInput::normalDownloadSucceeds(StandInWindow &w, const QString &folder)
{
    w.forgetArguments();
    w.address()->setText(normalAddress);
    w.folder = folder;
    QTest::mouseClick(w.button(u"downloadButton"_s), Qt::LeftButton);
    if (!QTest::qWaitFor([&w] { return !w.window->isRunning(); }, standInTimeout)) {
        return false;
    }
    const QStringList arguments = w.arguments();
    return w.message().isEmpty() && !arguments.isEmpty() && arguments.last() == normalAddress
            && arguments.at(1) == outputValue(folder);
}

void tst_HostileInput::hostileTextArrivesExactly_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");

    const QList<std::pair<QString, QString>> texts = hostileTexts(m_marker);
    const QString touch = u"touch "_s + m_marker;
    for (const auto &[name, text] : texts) {
        QTest::addRow("address, %s", qPrintable(name)) << Field::Address << text;
        QTest::addRow("folder, %s", qPrintable(name)) << Field::Folder << text;
        QTest::addRow("audio format, %s", qPrintable(name)) << Field::AudioFormat << text;
    }
    QTest::newRow("address, 64 KiB") << Field::Address << longText(touch);
    QTest::newRow("audio format, 64 KiB") << Field::AudioFormat << longText(touch);
    // A folder path is at most 4 KiB: nested folders of 200 bytes, nearly that long.
    QString longFolder;
    const QString component = longText(u"touch ran"_s).remove(u'/').left(199);
    while (longFolder.size() < 3600) {
        longFolder += component + u'/';
    }
    QTest::newRow("folder, 3.6 KB of nested folders") << Field::Folder << longFolder;
    QTest::newRow("folder, relative, leading dash")
            << Field::RelativeFolder << u"--exec=touch ran"_s;
}

void tst_HostileInput::hostileTextArrivesExactly()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const auto cleanup = qScopeGuard([&root] { removeAll(root.path()); });
    const WorkingFolder workingFolder(root.path());
    QString folder = root.filePath(u"Vidéos"_s);
    if (field == Field::Folder) {
        folder = root.filePath(text);
    } else if (field == Field::RelativeFolder) {
        folder = text;
    }
    // A sibling folder with a file, and files whose names are not UTF-8 in the chosen
    // folder: nothing under the root may change.
    QVERIFY(QDir().mkpath(root.filePath(u"sibling"_s)));
    QVERIFY(writeRaw(QFile::encodeName(root.filePath(u"sibling/keep.txt"_s)), "keep"));
    QVERIFY2(QDir().mkpath(folder), qPrintable(folder));
    const QByteArray rawFolder = QFile::encodeName(QDir(folder).absolutePath());
    QVERIFY(writeRaw(rawFolder + "/\xff\xfe.mp4", "raw name"));
    QVERIFY(writeRaw(rawFolder + "/clip\x80\n.mp4", "raw name"));
    const Snapshot before = snapshot(root.path());

    StandInWindow w;
    w.folder = folder;
    const QString address = field == Field::Address ? text : normalAddress;
    w.address()->setText(address);
    QCOMPARE(w.address()->text(), address);
    if (field == Field::AudioFormat) {
        Settings(*w.store).setAudioFormat(text);
    }

    if (field == Field::Address) {
        QTest::mouseClick(w.button(u"getFormatButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.button(u"getFormatButton"_s)->isEnabled(), standInTimeout);
        QCOMPARE(w.arguments(), (QStringList{u"-F"_s, u"--"_s, address}));
        QCOMPARE(w.rowCount(), 1);
        QCOMPARE(w.message(), QString());
    }
    // The audio format only matters to an audio download.
    const QList<bool> downloads =
            field == Field::AudioFormat ? QList<bool>{true} : QList<bool>{false, true};
    for (const bool audio : downloads) {
        w.forgetArguments();
        QTest::mouseClick(w.button(audio ? u"downloadAudioButton"_s : u"downloadButton"_s),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), standInTimeout);
        QCOMPARE(w.message(), QString());
        const QStringList arguments = w.arguments();
        QCOMPARE(arguments.size(), audio ? 17 : 9);
        QCOMPARE(arguments.first(), u"-o"_s);
        QCOMPARE(arguments.at(1), outputValue(folder));
        QCOMPARE(arguments.at(arguments.size() - 2), u"--"_s);
        QCOMPARE(arguments.last(), address);
        if (audio) {
            QCOMPARE(valueAfter(arguments, u"--audio-format"_s),
                     field == Field::AudioFormat ? text : Settings::seededAudioFormat());
        }
    }

    QVERIFY2(!QFile::exists(m_marker), "a hostile text ran a command");
    const QString changes = difference(before, snapshot(root.path()));
    QVERIFY2(changes.isEmpty(), qPrintable(changes));

    Settings(*w.store).setAudioFormat(u"mp3"_s);
    QVERIFY(QDir().mkpath(root.filePath(u"normal"_s)));
    QVERIFY(normalDownloadSucceeds(w, root.filePath(u"normal"_s)));
}

void tst_HostileInput::commandLineBeyondTheSystemLimit_data()
{
    QTest::addColumn<bool>("query");
    QTest::addColumn<QString>("message");
    QTest::newRow("format query") << true << u"Impossible de lancer le téléchargeur : "_s;
    QTest::newRow("download") << false << u"Échec du téléchargement : "_s;
}

void tst_HostileInput::commandLineBeyondTheSystemLimit()
{
    QFETCH(bool, query);
    QFETCH(QString, message);
    // Each apostrophe takes four bytes once quoted: 256 KiB, more than the system takes
    // for one argument. The shell cannot start; nothing runs and the window says so.
    const QString address = QString(64 * 1024, u'\'');
    QTemporaryDir root;
    StandInWindow w;
    w.folder = root.path();
    w.address()->setText(address);
    QCOMPARE(w.address()->text(), address);

    if (query) {
        QTest::mouseClick(w.button(u"getFormatButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.button(u"getFormatButton"_s)->isEnabled(), standInTimeout);
    } else {
        QTest::mouseClick(w.button(u"downloadButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), standInTimeout);
    }
    QVERIFY2(w.message().startsWith(message), qPrintable(w.message()));
    QCOMPARE(w.arguments(), QStringList());
    QVERIFY(normalDownloadSucceeds(w, root.path()));
}

void tst_HostileInput::missingFolderIsRefused_data()
{
    QTest::addColumn<QByteArray>("rawName");
    QTest::addColumn<QString>("chosen");
    // The chooser can only hand over a name that is not UTF-8 with replacement characters:
    // that names another folder, which the downloader would create beside the chosen one.
    QTest::newRow("name not UTF-8") << "\xff\xfe"_ba << QString();
    QTest::newRow("64 KiB name") << QByteArray() << QString(64 * 1024, u'x');
    QTest::newRow("removed after the choice") << QByteArray() << u"gone"_s;
}

void tst_HostileInput::missingFolderIsRefused()
{
    QFETCH(QByteArray, rawName);
    QFETCH(QString, chosen);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const auto cleanup = qScopeGuard([&root] { removeAll(root.path()); });
    if (!rawName.isEmpty()) {
        const QByteArray rawFolder = QFile::encodeName(root.path()) + '/' + rawName;
        QCOMPARE(::mkdir(rawFolder.constData(), 0755), 0);
        QVERIFY(writeRaw(rawFolder + "/\xff.mp4", "raw name"));
        chosen = QFile::decodeName(rawFolder);
    } else {
        chosen = root.filePath(chosen);
    }
    const Snapshot before = snapshot(root.path());

    StandInWindow w;
    w.folder = chosen;
    w.address()->setText(normalAddress);
    for (const auto &name : {u"downloadButton"_s, u"downloadAudioButton"_s}) {
        QTest::mouseClick(w.button(name), Qt::LeftButton);
        QVERIFY(!w.window->isRunning());
        QCOMPARE(w.message(), u"Dossier introuvable : "_s + chosen);
    }
    QCOMPARE(w.arguments(), QStringList());
    const QString changes = difference(before, snapshot(root.path()));
    QVERIFY2(changes.isEmpty(), qPrintable(changes));
    QVERIFY(normalDownloadSucceeds(w, root.path()));
}

void tst_HostileInput::hostileDestinationsRemoveNothingOutside_data()
{
    // %1: the chosen folder, %2: the folder around it. Each line is announced as is.
    QTest::addColumn<QByteArray>("announced");
    QTest::newRow("relative, dot-dot") << "../outside.mp4"_ba;
    QTest::newRow("dot-dot from the folder") << "%1/../outside.mp4"_ba;
    QTest::newRow("absolute, outside") << "%2/outside.mp4"_ba;
    QTest::newRow("the folder itself") << "%1"_ba;
    QTest::newRow("the folder, slash") << "%1/"_ba;
    QTest::newRow("the folder, dot") << "%1/."_ba;
    QTest::newRow("a subfolder") << "%1/sub"_ba;
    QTest::newRow("through a link to the folder around") << "%1/escape/outside.mp4"_ba;
    QTest::newRow("a link to a file outside") << "%1/link.mp4"_ba;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("name not UTF-8") << "%1/\xff\xfe.mp4"_ba;
    QTest::newRow("all at once")
            << "../outside.mp4\n[download] Destination: %2/outside.mp4\n"
               "[download] Destination: %1\n[download] Destination: %1/sub/"_ba;
}

void tst_HostileInput::hostileDestinationsRemoveNothingOutside()
{
    QFETCH(QByteArray, announced);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const auto cleanup = qScopeGuard([&root] { removeAll(root.path()); });
    const QString folder = root.filePath(u"chosen"_s);
    QDir dir(root.path());
    QVERIFY(dir.mkpath(u"chosen/sub"_s));
    const QByteArray rawRoot = QFile::encodeName(root.path());
    const QByteArray rawFolder = QFile::encodeName(folder);
    // Outside files, with the partial files that a cancel looks for beside a destination.
    for (const QByteArray name : {"outside.mp4", "outside.mp4.part", "outside.mp4.ytdl",
                                  "outside.mp4.part-Frag1", "chosen.part"}) {
        QVERIFY(writeRaw(rawRoot + '/' + name, "outside"));
    }
    QVERIFY(writeRaw(rawFolder + "/sub/inner.mp4", "inner"));
    QVERIFY(writeRaw(rawFolder + "/\xff\xfe.mp4", "raw name"));
    QVERIFY(QFile::link(root.path(), folder + u"/escape"_s));
    QVERIFY(QFile::link(root.filePath(u"outside.mp4"_s), folder + u"/link.mp4"_s));
    // The relative destination is read from the chosen folder.
    const WorkingFolder workingFolder(folder);

    StandInWindow w;
    w.folder = folder;
    w.address()->setText(normalAddress);
    QByteArray lines = "[download] Destination: " + announced + '\n';
    lines.replace("%1", rawFolder).replace("%2", rawRoot);
    QVERIFY(writeRaw(QFile::encodeName(w.tools.filePath(u"announce"_s)), lines));
    const auto outside = [&] {
        Snapshot entries = snapshot(root.path());
        std::erase_if(entries, [](const auto &entry) {
            return entry.first.starts_with("chosen/") || entry.first == "chosen";
        });
        return entries;
    };
    const Snapshot before = outside();

    // Every destination announced, then a cancel, which removes the partial files of
    // the destinations announced.
    QTest::mouseClick(w.button(u"downloadButton"_s), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w.window->findChild<QProgressBar *>(u"progressBar"_s)->value(),
                              125, standInTimeout);
    QTest::mouseClick(w.button(u"cancelDownloadButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), standInTimeout);
    QCOMPARE(w.message(), u"Téléchargement annulé"_s);

    const QString changes = difference(before, outside());
    QVERIFY2(changes.isEmpty(), qPrintable(changes));
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(QFileInfo(folder + u"/sub"_s).isDir());
    QCOMPARE(readFile(folder + u"/sub/inner.mp4"_s), "inner"_ba);
    QVERIFY(QFileInfo(folder + u"/escape"_s).isSymLink());
    const QByteArray rawFile = rawFolder + "/\xff\xfe.mp4";
    struct stat info = {};
    QCOMPARE(::lstat(rawFile.constData(), &info), 0);

    QVERIFY(QFile::remove(w.tools.filePath(u"announce"_s)));
    QVERIFY(normalDownloadSucceeds(w, folder));
}

QTEST_MAIN(tst_HostileInput)
#include "tst_hostileinput.moc"
