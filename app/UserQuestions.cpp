// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/UserQuestions.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/ViewController.h"
#include "tools/PlainText.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

QString askForFolder(QWidget *parent, const QString &start)
{
    return QFileDialog::getExistingDirectory(
        parent, ViewController::tr("Définissez un dossier pour importer les vidéo"), start,
        QFileDialog::ShowDirsOnly);
}

QuitChoice confirmQuit(QWidget *parent)
{
    const std::unique_ptr<QMessageBox> question = quitQuestion(parent);
    question->exec();
    return quitChoice(*question);
}

namespace {
// Which button gives which choice.
constexpr char choiceProperty[] = "quitChoice";
} // namespace

std::unique_ptr<QMessageBox> quitQuestion(QWidget *parent)
{
    auto question = std::make_unique<QMessageBox>(
        QMessageBox::Question, ViewController::tr("Quitter Quorvel"),
        ViewController::tr("Des téléchargements sont en cours. Que faire en quittant ?"),
        QMessageBox::NoButton, parent);
    question->setInformativeText(ViewController::tr(
        "Mis en pause, ils reprennent là où ils en étaient au prochain démarrage."));
    // Named for what they do; Enter, Escape and closing the dialog keep the downloads, which
    // only a deliberate choice stops.
    const auto add = [&question](const QString &text, const QString &name,
                                 QMessageBox::ButtonRole role, QuitChoice choice) {
        QPushButton *button = question->addButton(text, role);
        button->setAccessibleName(name);
        button->setProperty(choiceProperty, static_cast<int>(choice));
        return button;
    };
    add(ViewController::tr("Mettre en &pause et quitter"),
        ViewController::tr("Mettre en pause et quitter"), QMessageBox::AcceptRole,
        QuitChoice::PauseAndQuit);
    add(ViewController::tr("Tout &annuler et quitter"),
        ViewController::tr("Tout annuler et quitter"), QMessageBox::DestructiveRole,
        QuitChoice::CancelAndQuit);
    QPushButton *keep = add(ViewController::tr("&Continuer les téléchargements"),
                            ViewController::tr("Continuer les téléchargements"),
                            QMessageBox::RejectRole, QuitChoice::Stay);
    question->setDefaultButton(keep);
    question->setEscapeButton(keep);
    return question;
}

QuitChoice quitChoice(const QMessageBox &question)
{
    const QAbstractButton *button = question.clickedButton();
    return button ? static_cast<QuitChoice>(button->property(choiceProperty).toInt())
                  : QuitChoice::Stay;
}

bool confirmGoingBack(QWidget *parent, const QString &installed, const QString &offered)
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

QString aboutText(const ToolSet &tools)
{
    // The downloader's version and path come from outside: plain text, shown as stored.
    const QString downloader = tools.description().isEmpty()
        ? ViewController::tr("Téléchargeur : version inconnue")
        : tools.description();
    return ViewController::tr("Quorvel %1\nTélécharge des vidéos en ligne, ou seulement leur "
                              "son.\nLicence : MIT\n\n%2\n%3")
        .arg(u"" QUORVEL_VERSION ""_s, shownText(downloader),
             shownText(QDir::toNativeSeparators(
                 youtubeDLPath().value_or(ViewController::tr("Outil introuvable : youtube-dl")))));
}

void showAbout(QWidget *parent, const ToolSet &tools)
{
    QMessageBox about(QMessageBox::Information, ViewController::tr("À propos de Quorvel"),
                      aboutText(tools), QMessageBox::Ok, parent);
    about.setTextFormat(Qt::PlainText);
    about.setIconPixmap(QApplication::windowIcon().pixmap(64));
    about.exec();
}
