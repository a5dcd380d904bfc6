#include "app/GuiSeams.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace kestrava {
namespace {

const QString kBoxTitle = QStringLiteral("Kestrava v2.7");

}  // namespace

void MessageBoxNotifier::Info(const std::string& text)
{
    QMessageBox::information(parent_, kBoxTitle, QString::fromStdString(text));
}

void MessageBoxNotifier::Error(const std::string& text)
{
    QMessageBox::critical(parent_, kBoxTitle, QString::fromStdString(text));
}

bool MessageBoxNotifier::AskYesNo(const std::string& text)
{
    return QMessageBox::warning(parent_, kBoxTitle, QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
           == QMessageBox::Yes;
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
