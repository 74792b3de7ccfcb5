// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/ViewController.h"

#include <limits>

#include <QAbstractAnimation>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QToolTip>
#include <QUrl>

#include "app/DesktopNotification.h"
#include "app/FormatColumns.h"
#include "app/KeyPosition.h"
#include "app/MessageLine.h"
#include "app/ProgressReadout.h"
#include "catalogue/FormatList.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/FormatTableModel.h"
#include "download/DownloadCommand.h"
#include "download/DownloadRunner.h"
#include "settings/preferenceViewController.h"
#include "tools/Logging.h"
#include "tools/PlainText.h"
#include "tools/ToolInstaller.h"
#include "ui_ViewController.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int audioDownloadTag = 3;
constexpr int progressBarMaximum = 1000;

QString defaultFolderChooser(QWidget *parent, const QString &start)
{
    return QFileDialog::getExistingDirectory(
        parent, ViewController::tr("Définissez un dossier pour importer les vidéo"), start,
        QFileDialog::ShowDirsOnly);
}

bool defaultQuitConfirmation(QWidget *parent)
{
    return QMessageBox::question(parent, ViewController::tr("Quitter Quorvel"),
                                 ViewController::tr("Un téléchargement est en cours. "
                                                    "L'arrêter et quitter ?"))
        == QMessageBox::Yes;
}

bool defaultGoingBackConfirmation(QWidget *parent, const QString &installed, const QString &offered)
{
    // The versions are what the downloaders answered: shown as plain text, never as markup.
    QMessageBox question(QMessageBox::Question, ViewController::tr("Changer de canal"),
                         ViewController::tr("La version %1 de ce canal est plus ancienne que le "
                                            "téléchargeur actuel (%2). L'installer quand même ?")
                             .arg(shownText(offered), shownText(installed)),
                         QMessageBox::Yes | QMessageBox::No, parent);
    question.setTextFormat(Qt::PlainText);
    question.setDefaultButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}
} // namespace

ViewController::ViewController(QSettings &store, ToolSet &tools, QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ViewController>())
    , m_store(store)
    , m_settings(store)
    , m_tools(tools)
    , m_model(new FormatTableModel(formatList(), this))
    , m_query(new FormatQuery(this))
    , m_runner(new DownloadRunner(this))
    , m_installer(new ToolInstaller(this))
    , m_folderChooser(defaultFolderChooser)
    , m_quitConfirmation(defaultQuitConfirmation)
    , m_goingBackConfirmation(defaultGoingBackConfirmation)
{
    m_ui->setupUi(this);
    m_readout = new ProgressReadout(m_ui->progressBar, m_ui->progressDetailsLabel, this);
    connectActions();
    connectFormatQuery();
    connectDownloadRunner();
    connectToolInstaller();
    viewDidLoad();
}

ViewController::~ViewController() = default;

void ViewController::connectActions()
{
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
    connect(m_ui->mergeCheckBox, &QCheckBox::toggled, this,
            [this](bool merge) { m_settings.setMergeVideoAndAudio(merge); });
    connect(m_ui->clearListAction, &QAction::triggered, this, &ViewController::clearList);
    connect(m_ui->preferencesAction, &QAction::triggered, this, &ViewController::openPreferences);
    connect(m_ui->quitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->tickAllAction, &QAction::triggered, m_model, &FormatTableModel::tickAll);
    connect(m_ui->clearAllAction, &QAction::triggered, m_model, &FormatTableModel::clearAll);
    connect(m_ui->invertAllAction, &QAction::triggered, m_model, &FormatTableModel::invertAll);
    // From the keyboard, as a click on the column's header does.
    for (const auto &[action, column] :
         {std::pair {m_ui->sortByCodeAction, FormatTableModel::FormatColumn},
          std::pair {m_ui->sortByCodecAction, FormatTableModel::CodecColumn}}) {
        connect(action, &QAction::triggered, this, [this, column] {
            QHeaderView *header = m_ui->tableView->horizontalHeader();
            header->setSortIndicator(column,
                                     header->sortIndicatorSection() == column
                                             && header->sortIndicatorOrder() == Qt::DescendingOrder
                                         ? Qt::AscendingOrder
                                         : Qt::DescendingOrder);
        });
    }
    connect(m_ui->updateDownloaderAction, &QAction::triggered, this,
            &ViewController::updateDownloader);
    connect(m_ui->revertDownloaderAction, &QAction::triggered, &m_tools, &ToolSet::revertToBundled);
    connect(m_ui->installJavaScriptAction, &QAction::triggered, this,
            &ViewController::installJavaScriptRuntime);
    connect(this, &ViewController::isRunningChanged, this, &ViewController::updateControls);
    connect(&m_tools, &ToolSet::downloaderChanged, this, &ViewController::showDownloaderVersion);
}

void ViewController::connectFormatQuery()
{
    connect(m_query, &FormatQuery::formatsListed, this, &ViewController::showFormats);
    connect(m_query, &FormatQuery::failed, this, &ViewController::showQueryFailure);
}

void ViewController::connectDownloadRunner()
{
    for (const auto announced :
         {&DownloadRunner::destinationAnnounced, &DownloadRunner::conversionAnnounced}) {
        connect(m_runner, announced, this, [this](const QString &path) { setMessage(path); });
    }
    connect(m_runner, &DownloadRunner::progressChanged, m_readout, &ProgressReadout::show);
    connect(m_runner, &DownloadRunner::finished, this, &ViewController::downloadFinished);
    connect(m_runner, &DownloadRunner::failed, this, &ViewController::endDownload);
    connect(m_runner, &DownloadRunner::cancelled, this,
            [this] { endDownload(tr("Téléchargement annulé")); });
}

void ViewController::connectToolInstaller()
{
    m_installer->setGoingBackConfirmation([this](const QString &installed, const QString &offered) {
        return m_goingBackConfirmation(this, installed, offered);
    });
    connect(m_installer, &ToolInstaller::progressChanged, this, &ViewController::showTransfer);
    connect(m_installer, &ToolInstaller::installed, this, &ViewController::toolInstalled);
    connect(m_installer, &ToolInstaller::failed, this, [this](const QString &message) {
        m_ui->progressBar->setValue(0);
        setMessage(message);
        updateControls();
    });
}

void ViewController::viewDidLoad()
{
    // A pasted address is never cut short: it reaches the downloader whole, or the shell
    // refuses a command line beyond the system's limit and the window says so.
    m_ui->urlYoutube->setMaxLength(std::numeric_limits<int>::max());
    wireTable();
    showKeysInMenus();
    addStatusBarWidgets();
    restoreLayout();

    setMessage(QString());
    m_ui->progressBar->setValue(0);
    m_ui->urlYoutube->setFocus();
    m_ui->mergeCheckBox->setChecked(m_settings.mergeVideoAndAudio());
    if (m_settings.seedIfAbsent()) {
        printDiagnostic(u"Les paramètres n'existent pas"_s);
    }
    const QString missing = m_tools.missing(ToolSet::Need::DownloaderAndConverter);
    if (!missing.isEmpty()) {
        setMessage(missing);
    }
    updateControls();
}

void ViewController::wireTable()
{
    QTableView *table = m_ui->tableView;
    table->setModel(m_model);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::DescendingOrder);
    // Columns fit the first rows of a listing: thousands of rows would cost a long pause.
    header->setResizeContentsPrecision(100);
    table->verticalHeader()->hide();
    // Tab leaves the table for the next control; Space ticks the current row (eventFilter()).
    table->setTabKeyNavigation(false);
    table->installEventFilter(this);
    // A long cell's tooltip as plain text (eventFilter()).
    table->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &ViewController::sortTable);
    new FormatColumns(table, m_store);
}

void ViewController::showKeysInMenus()
{
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
    m_ui->clearListAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    // Linux and Windows have no standard key for the preferences: Ctrl+, as elsewhere.
    m_ui->preferencesAction->setShortcut(QKeySequence::keyBindings(QKeySequence::Preferences)
                                             .value(0, QKeySequence(Qt::CTRL | Qt::Key_Comma)));
    m_ui->quitAction->setShortcut(QKeySequence::Quit);
}

void ViewController::addStatusBarWidgets()
{
    // Said at the end of a download, with a way to the folder.
    m_endLabel = new MessageLine(this);
    m_endLabel->setObjectName(u"downloadEndLabel"_s);
    m_openFolderButton = new QPushButton(tr("Ouvrir le do&ssier"), this);
    m_openFolderButton->setObjectName(u"openFolderButton"_s);
    m_openFolderButton->hide();
    connect(m_openFolderButton, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_downloadFolder)); });
    statusBar()->addWidget(m_endLabel, 1);
    statusBar()->addWidget(m_openFolderButton);
    m_adviceLabel = new MessageLine(this);
    m_adviceLabel->setObjectName(u"downloaderAdviceLabel"_s);
    m_versionLabel = new MessageLine(this);
    m_versionLabel->setObjectName(u"downloaderVersionLabel"_s);
    for (MessageLine *label : {m_adviceLabel, m_versionLabel}) {
        label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    statusBar()->addWidget(m_adviceLabel, 1);
    statusBar()->addPermanentWidget(m_versionLabel);
    showDownloaderVersion();
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

void ViewController::setGoingBackConfirmation(GoingBackConfirmation confirmation)
{
    m_goingBackConfirmation = std::move(confirmation);
}

void ViewController::setQueryTimeout(std::chrono::milliseconds timeout)
{
    m_query->setTimeout(timeout);
}

void ViewController::setAddress(const QString &address)
{
    m_ui->urlYoutube->setText(address);
}

void ViewController::setReleaseSources(const ReleaseSources &sources)
{
    m_installer->setSources(sources);
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
    if (!canRun(ToolSet::Need::Downloader, address)) {
        return;
    }
    setMessage(tr("Recherche des formats…"));
    m_query->start(*youtubeDLPath(), address, m_tools.javaScriptRuntimeOption());
    setBusy(true);
}

void ViewController::showFormats(const QList<formatYoutube> &formats, bool cut)
{
    m_model->appendFormats(formats);
    setMessage(cut ? tr("Liste des formats tronquée : au-delà de 4 Mio, des formats manquent")
                   : formats.isEmpty() ? tr("Aucun format trouvé pour cette adresse")
                                       : QString());
    setBusy(false);
}

void ViewController::showQueryFailure(const QString &message, const QString &detail)
{
    m_model->reload();
    setMessage(message, detail);
    setBusy(false);
}

void ViewController::setBusy(bool busy)
{
    // A busy bar while formats are listed; the download's own range otherwise.
    m_ui->progressBar->setRange(0, busy ? 0 : progressBarMaximum);
    if (!busy) {
        // The style animates a busy bar, and stops only once the bar has painted some
        // progress: until then it would repaint sixty times a second for nothing. Its
        // animations are the bar's children; deleted, they stop.
        qDeleteAll(
            m_ui->progressBar->findChildren<QAbstractAnimation *>(Qt::FindDirectChildrenOnly));
    }
    updateControls();
}

bool ViewController::canRun(ToolSet::Need need, const QString &address)
{
    const QString missing = m_tools.missing(need);
    if (!missing.isEmpty()) {
        setMessage(missing);
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
    // The settings are read on every download, plain ones included, before the folder.
    const AudioSettings audio = m_settings.audioSettings();
    const DownloadMode mode = tag == audioDownloadTag ? DownloadMode::Audio : DownloadMode::Plain;
    const QString address = m_ui->urlYoutube->text();
    if (!canRun(mode == DownloadMode::Audio ? ToolSet::Need::DownloaderAndConverter
                                            : ToolSet::Need::Downloader,
                address)) {
        return;
    }
    const QString folder = m_folderChooser(this, m_settings.lastFolder());
    if (folder.isEmpty()) {
        return;
    }
    if (const QString refusal = folderRefusal(folder); !refusal.isEmpty()) {
        setMessage(refusal);
        return;
    }
    DownloadChoice choice;
    choice.mode = mode;
    choice.ticked = m_model->checkedFormats();
    choice.folder = folder;
    choice.address = address;
    choice.audio = audio;
    choice.mergeContainer
        = m_ui->mergeCheckBox->isChecked() ? m_settings.mergeContainer() : QString();
    choice.javaScriptRuntimes = m_tools.javaScriptRuntimeOption();
    startDownload(makeDownloadRequest(choice));
}

void ViewController::startDownload(const DownloadRequest &request)
{
    m_readout->reset();
    m_endLabel->setMessage(QString());
    m_openFolderButton->hide();
    m_downloadFolder = request.folder;
    m_settings.setLastFolder(request.folder);
    setMessage(QString());
    setIsRunning(true);
    m_runner->start(request);
}

void ViewController::cancelDownload()
{
    // The one cancel control serves the download, the listing and the tools' installation.
    m_runner->cancel();
    m_query->cancel();
    m_installer->cancel();
}

void ViewController::endDownload(const QString &message, const QString &detail)
{
    resetDownloadDisplay();
    setMessage(message, detail);
}

void ViewController::updateDownloader()
{
    if (m_isRunning || m_installer->isRunning()) {
        return;
    }
    setMessage(tr("Mise à jour du téléchargeur…"));
    m_ui->progressBar->setValue(0);
    m_installer->install(m_settings.downloaderChannel() == u"nightly"_s
                             ? ToolInstaller::Tool::NightlyDownloader
                             : ToolInstaller::Tool::Downloader,
                         m_tools.managedFolder(), m_tools.downloaderVersion());
    updateControls();
}

void ViewController::installJavaScriptRuntime()
{
    if (m_isRunning || m_installer->isRunning()) {
        return;
    }
    setMessage(tr("Installation de deno…"));
    m_ui->progressBar->setValue(0);
    m_installer->install(ToolInstaller::Tool::JavaScriptRuntime, m_tools.managedFolder());
    updateControls();
}

void ViewController::showTransfer(qint64 received, qint64 total)
{
    if (total > 0) {
        m_ui->progressBar->setValue(
            static_cast<int>(received * m_ui->progressBar->maximum() / total));
    }
}

void ViewController::toolInstalled(const QString &path, const QString &version)
{
    m_ui->progressBar->setValue(0);
    if (QFileInfo(path).fileName() == u"deno"_s) {
        setMessage(tr("Moteur JavaScript installé : %1").arg(version));
        m_tools.detectJavaScriptRuntimes();
    } else {
        setMessage(tr("Téléchargeur mis à jour : %1").arg(version));
        m_tools.reload();
    }
    updateControls();
}

void ViewController::resetDownloadDisplay()
{
    setIsRunning(false);
    setMessage(QString());
    m_readout->reset();
}

void ViewController::downloadFinished(const QStringList &files)
{
    endDownload({});
    const QString summary = tr("Téléchargement terminé");
    // French counts 0 and 1 in the singular.
    const QString body = (files.size() <= 1 ? tr("%1 fichier dans %2") : tr("%1 fichiers dans %2"))
                             .arg(files.size())
                             .arg(QDir::toNativeSeparators(m_downloadFolder));
    m_endLabel->setMessage(summary + u" : "_s + body, files.join(u'\n'));
    m_openFolderButton->show();
    if (!isActiveWindow()) {
        notifyDesktop(summary, body);
    }
}

void ViewController::sortTable(int section, Qt::SortOrder order)
{
    if (FormatTableModel::isSortable(section)) {
        m_model->sort(section, order);
        m_sortedSection = section;
        m_sortedOrder = order;
        return;
    }
    // Only the code and codec columns sort; a click on another header keeps the current
    // indicator and just shows the list again.
    QHeaderView *header = m_ui->tableView->horizontalHeader();
    const QSignalBlocker blocker(header);
    header->setSortIndicator(m_sortedSection, m_sortedOrder);
    m_model->reload();
}

void ViewController::showDownloaderVersion()
{
    m_versionLabel->setMessage(m_tools.description(),
                               youtubeDLPath() ? QFileInfo(*youtubeDLPath()).canonicalFilePath()
                                               : QString());
    m_adviceLabel->setMessage(m_tools.advice());
    updateControls();
}

void ViewController::clearList()
{
    m_model->clear();
    m_sortedSection = -1;
    m_ui->tableView->horizontalHeader()->setSortIndicator(-1, Qt::DescendingOrder);
}

void ViewController::restoreLayout()
{
    restoreGeometry(m_settings.windowGeometry());
}

void ViewController::saveLayout()
{
    m_settings.setWindowGeometry(saveGeometry());
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

void ViewController::quitWithoutAsking()
{
    m_askBeforeQuitting = false;
    close();
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
    printDiagnostic(QString::number(position.value_or(static_cast<int>(nativeCode))));

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

bool ViewController::eventFilter(QObject *watched, QEvent *event)
{
    // Space ticks or unticks the current row, whichever of its cells has the focus.
    auto *key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event) : nullptr;
    const QModelIndex current = m_ui->tableView->currentIndex();
    if (watched == m_ui->tableView && key && key->key() == Qt::Key_Space
        && key->modifiers() == Qt::NoModifier && current.isValid()) {
        const QModelIndex box = m_model->index(current.row(), FormatTableModel::FormatColumn);
        m_model->setData(
            box, box.data(Qt::CheckStateRole).toInt() == Qt::Checked ? Qt::Unchecked : Qt::Checked,
            Qt::CheckStateRole);
        return true;
    }
    // The view's own tooltip would guess rich text from what the listing holds.
    if (watched == m_ui->tableView->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = m_ui->tableView->indexAt(help->pos());
        const QString tip = plainToolTip(index.data(Qt::ToolTipRole).toString());
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, m_ui->tableView->viewport(),
                               m_ui->tableView->visualRect(index));
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
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
        if (m_askBeforeQuitting && !m_quitConfirmation(this)) {
            event->ignore();
            return;
        }
        // No downloader keeps running behind a closed window.
        m_runner->stopAndWait();
    }
    // Nor a listing, which would hold up the quit.
    m_query->cancel();
    if (m_preferences) {
        m_preferences->close();
    }
    saveLayout();
    event->accept();
}

void ViewController::updateControls()
{
    // No download while a tool is being installed, and no installation while one runs.
    // Nor while formats are listed: the download would take the old ticks to a new address.
    const bool installing = m_installer->isRunning();
    const bool listing = m_query->isRunning();
    const bool free = !m_isRunning && !installing && !listing;
    const bool haveDownloader = youtubeDLPath().has_value();
    m_ui->getFormatButton->setEnabled(haveDownloader && free);
    m_ui->downloadButton->setEnabled(haveDownloader && free);
    m_ui->downloadAudioButton->setEnabled(haveDownloader && ffmpegPath().has_value() && free);
    m_ui->mergeCheckBox->setEnabled(ffmpegPath().has_value());
    m_ui->cancelDownloadButton->setEnabled(m_isRunning || installing || listing);
    m_ui->updateDownloaderAction->setEnabled(free);
    m_ui->revertDownloaderAction->setEnabled(free && m_tools.isManaged());
    m_ui->installJavaScriptAction->setEnabled(free);
}

void ViewController::setMessage(const QString &message, const QString &detail)
{
    m_ui->messageTextField->setMessage(message, detail);
}
