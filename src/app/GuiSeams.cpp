#include "app/GuiSeams.h"

#include "appcore/AppSettings.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace kestrava {
namespace {

const QString kBoxTitle = QLatin1String(kApplicationTitle);

}  // namespace

QWidget* MessageBoxNotifier::Owner() const
{
    // A message is about what the user is doing: it shows over the dialog or
    // page in use rather than up at the strip.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return parent_;
}

void MessageBoxNotifier::Info(const std::string& text)
{
    QMessageBox::information(Owner(), kBoxTitle, QString::fromStdString(text));
}

void MessageBoxNotifier::Error(const std::string& text)
{
    QMessageBox::critical(Owner(), kBoxTitle, QString::fromStdString(text));
}

bool MessageBoxNotifier::AskYesNo(const std::string& text)
{
    return QMessageBox::warning(Owner(), kBoxTitle, QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
           == QMessageBox::Yes;
}

bool MessageBoxNotifier::AskYesNoDefaultNo(const std::string& text)
{
    return QMessageBox::warning(Owner(), kBoxTitle, QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

Answer MessageBoxNotifier::AskYesNoCancel(const std::string& text)
{
    switch (QMessageBox::question(Owner(), kBoxTitle, QString::fromStdString(text),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;  // Escape and the window's close button too
    }
}

void MessageBoxNotifier::Warning(const std::string& text)
{
    // The hourglass of a long operation would otherwise stand over the box
    // that waits for the user.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox::warning(Owner(), kBoxTitle, QString::fromStdString(text), QMessageBox::Ok);
    if (busy)
        QGuiApplication::restoreOverrideCursor();
}

void WaitCursorIndicator::Begin()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void WaitCursorIndicator::End()
{
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace kestrava
