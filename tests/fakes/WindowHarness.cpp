// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "WindowHarness.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "TestSupport.h"
#include "catalogue/FormatList.h"

using namespace Qt::StringLiterals;

WindowHarness::WindowHarness(Downloader downloader, bool converter)
    : chosenFolder(target.path())
    , store(TestSupport::makeSettings(tools))
{
    const QString real = TestSupport::toolFolder();
    if (downloader != Downloader::None) {
        QFile::link(downloader == Downloader::Real ? real + u"/youtube-dl"_s
                                                   : TestSupport::standInDownloader(),
                    tools.filePath(u"youtube-dl"_s));
    }
    if (converter) {
        QFile::link(real + u"/ffmpeg"_s, tools.filePath(u"ffmpeg"_s));
    }
    // Each window starts with an empty format list, as the application does.
    formatList().clear();
    toolSet.setVersionCache(store.get());
    toolSet.lookUp(tools.path(), managed.path());
    window = std::make_unique<ViewController>(*store, toolSet);
    window->setFolderChooser([this](QWidget *, const QString &start) {
        chooserStart = start;
        return chosenFolder;
    });
    window->setQuitConfirmation([this](QWidget *) { return confirmQuit; });
    // As the application does once the window is shown.
    toolSet.askDownloaderVersion();
}

WindowHarness::~WindowHarness() = default;

QString WindowHarness::message() const
{
    return child<QLabel>(u"messageTextField"_s)->text();
}

void WindowHarness::click(const QString &name) const
{
    QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton);
}

bool WindowHarness::listAndTick(const QString &address, const QStringList &codes) const
{
    window->setAddress(address);
    click(u"getFormatButton"_s);
    auto *button = child<QPushButton>(u"getFormatButton"_s);
    if (!QTest::qWaitFor([button] { return button->isEnabled(); }, 120'000)) {
        return false;
    }
    QAbstractItemModel *model = child<QTableView>(u"tableView"_s)->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (codes.contains(model->index(row, 0).data().toString())) {
            model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        }
    }
    return model->rowCount() > 0;
}

bool WindowHarness::waitForDownloadEnd(int milliseconds) const
{
    return QTest::qWaitFor([this] { return !window->isRunning(); }, milliseconds);
}

void WindowHarness::setBehaviour(const QByteArray &script) const
{
    TestSupport::writeFile(tools.filePath(u"behaviour"_s), script);
}

QStringList WindowHarness::arguments() const
{
    QStringList arguments
        = QString::fromUtf8(TestSupport::readFile(tools.filePath(u"arguments"_s))).split(QChar(0));
    arguments.removeLast();
    return arguments;
}
