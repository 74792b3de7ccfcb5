// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/ToolsMenu.h"

using namespace Qt::StringLiterals;

ToolsMenu::ToolsMenu(QWidget *parent)
    : QMenu(tr("&Outils"), parent)
    , m_updateAction(addAction(tr("&Mettre à jour le téléchargeur")))
    , m_revertAction(addAction(tr("&Revenir au téléchargeur fourni")))
{
    addSeparator();
    m_javaScriptAction = addAction(tr("&Installer le moteur JavaScript (deno)"));
    setObjectName(u"toolsMenu"_s);
    m_updateAction->setObjectName(u"updateDownloaderAction"_s);
    m_revertAction->setObjectName(u"revertDownloaderAction"_s);
    m_javaScriptAction->setObjectName(u"installJavaScriptAction"_s);
    connect(m_updateAction, &QAction::triggered, this, &ToolsMenu::updateRequested);
    connect(m_revertAction, &QAction::triggered, this, &ToolsMenu::revertRequested);
    connect(m_javaScriptAction, &QAction::triggered, this, &ToolsMenu::javaScriptRuntimeRequested);
}

void ToolsMenu::setAllowed(const Allowed &allowed)
{
    m_updateAction->setEnabled(allowed.install);
    m_revertAction->setEnabled(allowed.revert);
    m_javaScriptAction->setEnabled(allowed.install);
}
