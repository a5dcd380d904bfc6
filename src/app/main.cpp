// kestrava: the option series modelling program.

#include <cstdio>

#include <QApplication>
#include <QDir>

#include "app/Application.h"
#include "app/StartArguments.h"

int main(int argc, char** argv)
{
    // --help and --version answer also where no window could be shown.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QString::fromLocal8Bit(argv[i]));
    const kestrava::StartArguments early = kestrava::ParseStartArguments(raw, QDir::currentPath());
    if (early.action == kestrava::StartArguments::Action::Help) {
        std::fputs(kestrava::StartHelpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (early.action == kestrava::StartArguments::Action::Version) {
        std::fputs(kestrava::StartVersionText().toLocal8Bit().constData(), stdout);
        return 0;
    }

    if (!kestrava::DisplayAvailable()) {
        std::fputs("kestrava: no display found, so no window can be shown.\n"
                   "Start it on a desktop, or price series in the terminal with kestrava-calc.\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out by now.
    const kestrava::StartArguments start = kestrava::ParseStartArguments(app.arguments(),
                                                                         QDir::currentPath());
    if (start.action == kestrava::StartArguments::Action::Error) {
        std::fputs((start.error + QStringLiteral("\nTry kestrava --help.\n")).toLocal8Bit().constData(),
                   stderr);
        return 2;
    }
    return kestrava::RunApplication(app, start.files);
}
