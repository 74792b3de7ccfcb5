// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QSettings>

#include "app/ViewController.h"
#include "tools/TerminationSignals.h"
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
    QApplication::setDesktopFileName(u"quorvel"_s);

    QSettings settings;
    ToolSet tools;
    tools.lookUp(defaultToolFolder(), managedToolFolder());
    ViewController window(settings, tools);
    // Ctrl+C, the end of the session or a plain kill end Quorvel as closing its window does.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &window, [&window] {
        window.quitWithoutAsking();
        QApplication::quit();
    });
    // An address handed over by a launcher or a browser pre-fills the address field.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        window.setAddress(arguments.at(1));
    }
    window.show();
    return QApplication::exec();
}
