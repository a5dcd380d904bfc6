#include "app/HelpCommands.h"

#include <QApplication>
#include <QVariant>

#include "app/About.h"
#include "app/MainForm.h"
#include "appcore/HelpPages.h"
#include "common/notifier.h"

namespace kestrava {

void HelpCommands::FormHelp()
{
    QWidget* active = QApplication::activeWindow();
    ShowHelpPage(active && active != &form_ ? active->property("helpKeyword").toString() : QString());
}

void HelpCommands::sbHelpClick()
{
    ShowHelpPage(QString());
}

void HelpCommands::HelpAbout()
{
    TAboutBoxVer box;
    box.exec();
}

void HelpCommands::ShowHelpPage(const QString& keyword)
{
    ShowHelp(keyword, &form_,
             [this](const QString& problem) { form_.Messages().Info(problem.toStdString()); });
}

}  // namespace kestrava
