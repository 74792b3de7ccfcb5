// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QMenu>

/// The tools menu: update the downloader, go back to the bundled one, install deno.
class ToolsMenu final : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolsMenu)

public:
    /// What may be done now.
    struct Allowed
    {
        bool install = false;
        bool revert = false;
    };

    explicit ToolsMenu(QWidget *parent = nullptr);

    void setAllowed(const Allowed &allowed);

signals:
    void updateRequested();
    void revertRequested();
    void javaScriptRuntimeRequested();

private:
    QAction *m_updateAction = nullptr;
    QAction *m_revertAction = nullptr;
    QAction *m_javaScriptAction = nullptr;
};
