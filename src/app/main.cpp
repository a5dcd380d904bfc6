// kestrava: the option series modelling program.

#include <cstdio>

#include <QApplication>

#include "app/Application.h"

int main(int argc, char** argv)
{
    if (!kestrava::DisplayAvailable()) {
        std::fputs("kestrava: no display found, so no window can be shown.\n"
                   "Start it on a desktop, or price series in the terminal with kestrava-calc.\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    return kestrava::RunApplication(app);
}
