// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include "app/ViewController.h"
#include "download/JobStore.h"
#include "tools/ProcessGroup.h"
#include "tools/ShellProcess.h"
#include "tools/SingleInstance.h"
#include "tools/TerminationSignals.h"
#include "tools/ToolInstaller.h"
#include "tools/ToolLookup.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The settings store is named after these: the platform's own place for Quorvel.
    QApplication::setOrganizationName(u"Quorvel"_s);
    QApplication::setApplicationName(u"Quorvel"_s);
    QApplication::setApplicationDisplayName(u"Quorvel"_s);
    QApplication::setApplicationVersion(u"" QUORVEL_VERSION ""_s);
    // Docks and task bars find the desktop entry, its name and icon, for the window: on
    // Wayland through this app id, the entry's name; on X11 through the WM_CLASS class, which
    // is the application name above, and which the entry gives as StartupWMClass.
    QApplication::setDesktopFileName(u"org.quorvel.Quorvel"_s);
    // Rendered through Qt's SVG plugins (Debian's libqt6svg6), at every size a title bar
    // or a task switcher asks for.
    QApplication::setWindowIcon(QIcon(u":/icons/quorvel.svg"_s));

    // Quorvel speaks French, and so do Qt's own dialogs and menus (Debian's
    // qt6-translations-l10n), whatever the system's language.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), u"qtbase"_s, u"_"_s,
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    // One Quorvel runs one queue on its store: started again, it hands its address (from a
    // launcher or a browser) to the one that runs, and ends.
    const QStringList arguments = QApplication::arguments();
    const QString address = arguments.size() > 1 ? arguments.at(1) : QString();
    SingleInstance instance;
    if (instance.handOver(address)) {
        return 0;
    }
    instance.listen();

    // A Quorvel that was killed had its tools killed with it, but not what they had started:
    // those carry its mark, the queue's database, and end now. This one's carry it too.
    const QByteArray owner = QFile::encodeName(JobStore::defaultPath());
    endLeftoverProcesses(owner);
    ShellProcess::removeLeftoverWorkingFolders();
    ShellProcess::setOwnerMarker(owner);

    QSettings settings;
    ToolSet tools;
    tools.setVersionCache(&settings);
    // An update cut short by a crash or a power cut left its scratch files there.
    ToolInstaller::removeLeftovers(managedToolFolder());
    tools.lookUp(defaultToolFolder(), managedToolFolder());
    JobStore jobs(JobStore::defaultPath());
    ViewController window(settings, tools, &jobs);
    // Ctrl+C, the end of the session or a plain kill end Quorvel as closing its window does.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &window, [&window] {
        window.quitWithoutAsking();
        QApplication::quit();
    });
    // An address handed over pre-fills the address field, as plain text; nothing runs.
    if (!address.isEmpty()) {
        window.setAddress(address);
    }
    QObject::connect(&instance, &SingleInstance::addressReceived, &window,
                     [&window](const QString &received) {
                         if (!received.isEmpty()) {
                             window.setAddress(received);
                         }
                         window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
                         window.raise();
                         window.activateWindow();
                     });
    window.show();
    // Only once the window is up: the downloader's answer costs more than the start itself.
    QTimer::singleShot(0, &tools, &ToolSet::askDownloaderVersion);
    return QApplication::exec();
}
