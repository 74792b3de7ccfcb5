// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/ViewController.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>

#include "app/KeyPosition.h"
#include "catalogue/FormatList.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/FormatTableModel.h"
#include "download/DownloadCommand.h"
#include "download/DownloadRunner.h"
#include "settings/preferenceViewController.h"
#include "tools/ShellCommand.h"
#include "tools/ToolLookup.h"
#include "tools/ToolVersionQuery.h"
#include "ui_ViewController.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int audioDownloadTag = 3;
// The bar counts tenths of a percent.
constexpr double progressBarScale = 10.0;

// Diagnostic lines go to standard output at once, one line each.
void printLine(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QString defaultFolderChooser(QWidget *parent)
{
    return QFileDialog::getExistingDirectory(
        parent, ViewController::tr("Définissez un dossier pour importer les vidéo"), QString(),
        QFileDialog::ShowDirsOnly);
}

bool defaultQuitConfirmation(QWidget *parent)
{
    return QMessageBox::question(parent, ViewController::tr("Quitter Quorvel"),
                                 ViewController::tr("Un téléchargement est en cours. "
                                                    "L'arrêter et quitter ?"))
        == QMessageBox::Yes;
}
} // namespace

ViewController::ViewController(QSettings &store, const QString &toolFolder, QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ViewController>())
    , m_store(store)
    , m_settings(store)
    , m_model(new FormatTableModel(formatList(), this))
    , m_query(new FormatQuery(this))
    , m_runner(new DownloadRunner(this))
    , m_versionQuery(new ToolVersionQuery(this))
    , m_folderChooser(defaultFolderChooser)
    , m_quitConfirmation(defaultQuitConfirmation)
{
    m_ui->setupUi(this);

    connect(m_ui->getFormatButton, &QPushButton::clicked, this, &ViewController::getFormatButton);
    connect(m_ui->urlYoutube, &QLineEdit::returnPressed, this, [this] {
        if (m_ui->getFormatButton->isEnabled()) {
            getFormatButton();
        }
    });
    for (QPushButton *button : {m_ui->downloadButton, m_ui->downloadAudioButton}) {
        connect(button, &QPushButton::clicked, this,
                [this, button] { downloadButton(button->property("tag").toInt()); });
    }
    connect(m_ui->cancelDownloadButton, &QPushButton::clicked, this,
            &ViewController::cancelDownload);

    connect(m_ui->preferencesAction, &QAction::triggered, this, &ViewController::openPreferences);
    connect(m_ui->quitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->tickAllAction, &QAction::triggered, m_model, &FormatTableModel::tickAll);
    connect(m_ui->clearAllAction, &QAction::triggered, m_model, &FormatTableModel::clearAll);
    connect(m_ui->invertAllAction, &QAction::triggered, m_model, &FormatTableModel::invertAll);

    connect(m_query, &FormatQuery::formatsListed, this,
            [this](const QList<formatYoutube> &formats) {
                m_model->appendFormats(formats);
                m_ui->tableView->resizeColumnsToContents();
                setMessage(QString());
                updateControls();
            });
    connect(m_query, &FormatQuery::failed, this, [this](const QString &message) {
        m_model->reload();
        setMessage(message);
        updateControls();
    });

    connect(m_runner, &DownloadRunner::destinationAnnounced, this, &ViewController::setMessage);
    connect(m_runner, &DownloadRunner::progressChanged, this,
            &ViewController::showDownloadProgress);
    connect(m_runner, &DownloadRunner::finished, this, &ViewController::resetDownloadDisplay);
    connect(m_runner, &DownloadRunner::failed, this, [this](const QString &message) {
        resetDownloadDisplay();
        setMessage(message);
    });
    connect(m_runner, &DownloadRunner::cancelled, this, [this] {
        resetDownloadDisplay();
        setMessage(tr("Téléchargement annulé"));
    });
    connect(this, &ViewController::isRunningChanged, this, &ViewController::updateControls);

    connect(m_versionQuery, &ToolVersionQuery::versionRead, this, [this](const QString &version) {
        // Name the program behind the tool folder's link: that is what the user updates.
        const QFileInfo tool(youtubeDLPath().value_or(QString()));
        const QString program = QFileInfo(tool.canonicalFilePath()).fileName();
        auto *label = new QLabel(tr("Téléchargeur : %1 %2").arg(program, version), this);
        label->setObjectName(u"downloaderVersionLabel"_s);
        label->setToolTip(tool.canonicalFilePath());
        statusBar()->addPermanentWidget(label);
    });

    viewDidLoad(toolFolder);
}

ViewController::~ViewController() = default;

void ViewController::viewDidLoad(const QString &toolFolder)
{
    youtubeDLPath() = resourcePath(QString::fromUtf16(downloaderToolName), toolFolder);
    ffmpegPath() = resourcePath(QString::fromUtf16(converterToolName), toolFolder);

    // A pasted address is never cut short: it reaches the downloader whole, or the shell
    // refuses a command line beyond the system's limit and the window says so.
    m_ui->urlYoutube->setMaxLength(std::numeric_limits<int>::max());

    QTableView *table = m_ui->tableView;
    table->setModel(m_model);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::DescendingOrder);
    header->setStretchLastSection(true);
    table->verticalHeader()->hide();
    // Only the code and codec columns sort; a click on another header keeps the current
    // indicator and just shows the list again.
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this, header](int section, Qt::SortOrder order) {
                if (FormatTableModel::isSortable(section)) {
                    m_model->sort(section, order);
                    m_sortedSection = section;
                    m_sortedOrder = order;
                    return;
                }
                const QSignalBlocker blocker(header);
                header->setSortIndicator(m_sortedSection, m_sortedOrder);
                m_model->reload();
            });

    // The edit menu shows the keyboard commands' keys; the keys themselves are handled by
    // position in keyDown(), so the menu's shortcuts stay inactive outside the menu.
    const QList<std::pair<QAction *, Qt::Key>> commandKeys = {
        {m_ui->tickAllAction, Qt::Key_Q},
        {m_ui->clearAllAction, Qt::Key_D},
        {m_ui->invertAllAction, Qt::Key_I},
    };
    for (const auto &[action, key] : commandKeys) {
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | key));
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    m_ui->preferencesAction->setShortcut(QKeySequence::Preferences);
    m_ui->quitAction->setShortcut(QKeySequence::Quit);

    setMessage(QString());
    m_ui->progressBar->setValue(0);
    m_ui->urlYoutube->setFocus();

    if (m_settings.seedIfAbsent()) {
        printLine(u"Les paramètres n'existent pas"_s);
    }

    QStringList missing;
    if (!youtubeDLPath()) {
        missing << QString::fromUtf16(downloaderToolName);
    }
    if (!ffmpegPath()) {
        missing << QString::fromUtf16(converterToolName);
    }
    if (!missing.isEmpty()) {
        setMessage(tr("Outil introuvable : %1").arg(missing.join(u", "_s)));
    }
    updateControls();

    if (youtubeDLPath()) {
        m_versionQuery->start(*youtubeDLPath());
    }
}

bool ViewController::isRunning() const
{
    return m_isRunning;
}

void ViewController::setIsRunning(bool running)
{
    if (m_isRunning == running) {
        return;
    }
    m_isRunning = running;
    emit isRunningChanged(running);
}

void ViewController::setFolderChooser(FolderChooser chooser)
{
    m_folderChooser = std::move(chooser);
}

void ViewController::setQuitConfirmation(QuitConfirmation confirmation)
{
    m_quitConfirmation = std::move(confirmation);
}

void ViewController::setQueryTimeout(std::chrono::milliseconds timeout)
{
    m_query->setTimeout(timeout);
}

void ViewController::setAddress(const QString &address)
{
    m_ui->urlYoutube->setText(address);
}

void ViewController::getFormatButton()
{
    queryFormats();
}

void ViewController::queryFormats()
{
    if (m_query->isRunning()) {
        return;
    }
    const QString address = m_ui->urlYoutube->text();
    if (!canRun(ToolNeed::Downloader, address)) {
        return;
    }
    setMessage(tr("Recherche des formats…"));
    m_query->start(*youtubeDLPath(), address);
    updateControls();
}

bool ViewController::canRun(ToolNeed need, const QString &address)
{
    const bool converterMissing = need == ToolNeed::DownloaderAndConverter && !ffmpegPath();
    if (!youtubeDLPath() || converterMissing) {
        const auto name = !youtubeDLPath() ? downloaderToolName : converterToolName;
        setMessage(tr("Outil introuvable : %1").arg(QString::fromUtf16(name)));
        return false;
    }
    if (address.trimmed().isEmpty()) {
        setMessage(tr("Saisissez l'adresse d'une vidéo"));
        return false;
    }
    return true;
}

void ViewController::downloadButton(int tag)
{
    if (m_isRunning) {
        return;
    }
    // The settings are read on every download, plain ones included.
    const QString audioFormat = m_settings.audioFormat();
    const qint32 audioQuality = m_settings.audioQuality();
    const int audioPreserveVideo = m_settings.audioPreserveVideo();
    const bool audio = tag == audioDownloadTag;

    const QString address = m_ui->urlYoutube->text();
    if (!canRun(audio ? ToolNeed::DownloaderAndConverter : ToolNeed::Downloader, address)) {
        return;
    }
    const QString folder = m_folderChooser(this);
    if (folder.isEmpty()) {
        return;
    }
    // The downloader would create a missing folder: one removed meanwhile, or one whose name
    // is not UTF-8 and so came back as another name.
    if (!QFileInfo(folder).isDir()) {
        setMessage(tr("Dossier introuvable : %1").arg(folder));
        return;
    }

    DownloadRequest request;
    request.youtubeDLPath = *youtubeDLPath();
    request.ffmpegPath = ffmpegPath().value_or(QString());
    request.folder = folder;
    request.address = address;
    request.formatIDs = m_model->checkedFormatIDs();
    request.audio = audio;
    request.audioFormat = audioFormat;
    request.audioQuality = audioQuality;
    request.audioPreserveVideo = audioPreserveVideo;
    startDownload(shellArguments(composeDownloadCommand(request)), folder);
}

void ViewController::startDownload(const QStringList &arguments, const QString &folder)
{
    m_ui->progressBar->setValue(0);
    setMessage(QString());
    setIsRunning(true);
    m_runner->start(arguments, folder);
}

void ViewController::cancelDownload()
{
    if (m_runner->isRunning()) {
        m_runner->cancel();
    }
}

void ViewController::resetDownloadDisplay()
{
    setIsRunning(false);
    setMessage(QString());
    m_ui->progressBar->setValue(0);
}

void ViewController::showDownloadProgress(double percent)
{
    const double tenths = std::round(percent * progressBarScale);
    m_ui->progressBar->setValue(static_cast<int>(
        std::clamp(tenths, 0.0, static_cast<double>(m_ui->progressBar->maximum()))));
}

void ViewController::openPreferences()
{
    if (m_preferences) {
        m_preferences->raise();
        m_preferences->activateWindow();
        return;
    }
    m_preferences = new preferenceViewController(m_store, this);
    m_preferences->setAttribute(Qt::WA_DeleteOnClose);
    m_preferences->show();
}

bool ViewController::keyDown(Qt::KeyboardModifiers modifiers, quint32 nativeScanCode,
                             quint32 nativeVirtualKey)
{
    // Qt reports the Mac Command key as Control, so this is Command+Shift there.
    if (!modifiers.testFlag(Qt::ControlModifier) || !modifiers.testFlag(Qt::ShiftModifier)) {
        return false;
    }
    const std::optional<int> position = KeyPosition::fromNative(nativeScanCode, nativeVirtualKey);
#ifdef Q_OS_MACOS
    const quint32 nativeCode = nativeVirtualKey;
#else
    const quint32 nativeCode = nativeScanCode;
#endif
    printLine(QString::number(position.value_or(static_cast<int>(nativeCode))));

    switch (position.value_or(-1)) {
    case KeyPosition::clearAll:
        m_model->clearAll();
        break;
    case KeyPosition::invertAll:
        m_model->invertAll();
        break;
    case KeyPosition::tickAll:
        m_model->tickAll();
        break;
    default:
        break;
    }
    return true;
}

void ViewController::keyPressEvent(QKeyEvent *event)
{
    if (keyDown(event->modifiers(), event->nativeScanCode(), event->nativeVirtualKey())) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void ViewController::closeEvent(QCloseEvent *event)
{
    if (m_isRunning) {
        if (!m_quitConfirmation(this)) {
            event->ignore();
            return;
        }
        // No downloader keeps running behind a closed window.
        m_runner->stopAndWait();
    }
    if (m_preferences) {
        m_preferences->close();
    }
    event->accept();
}

void ViewController::updateControls()
{
    const bool haveDownloader = youtubeDLPath().has_value();
    const bool querying = m_query->isRunning();
    m_ui->getFormatButton->setEnabled(haveDownloader && !querying && !m_isRunning);
    m_ui->downloadButton->setEnabled(haveDownloader && !m_isRunning);
    m_ui->downloadAudioButton->setEnabled(haveDownloader && ffmpegPath().has_value()
                                          && !m_isRunning);
    m_ui->cancelDownloadButton->setEnabled(m_isRunning);
}

void ViewController::setMessage(const QString &message)
{
    m_ui->messageTextField->setText(message);
}
