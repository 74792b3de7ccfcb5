// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

/// Under the format table: what the last download left and where, with the way to its folder,
/// and what to do about the downloader. Both wrap rather than being cut, and can be selected
/// and copied.
class ResultPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultPanel)

public:
    /// Names of more files than this are counted, not listed.
    static constexpr qsizetype namesShown = 10;

    explicit ResultPanel(QWidget *parent = nullptr);

    /// Says that a download ended well with `files` (their paths) in `folder`, and offers to
    /// open it; the desktop says it too when the window is not the active one.
    void showDownloadEnd(const QStringList &files, const QString &folder);
    void clearResult();
    /// The downloader's advice (ToolSet::advice()); empty when there is none.
    void setAdvice(const QString &advice);

private:
    void openFolder();
    void showResult(const QString &text);

    QLabel *m_resultLabel = nullptr;
    QPushButton *m_openFolderButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QLabel *m_adviceLabel = nullptr;
    QString m_result;
    QString m_folder;
};
