#pragma once
// Shows a widget, lets it settle and writes its picture for the documentation.

#include <QApplication>
#include <QString>
#include <QThread>
#include <QWidget>

#include <cstdio>

namespace kestrava::testsupport {

// settleRounds: rounds of 60 ms of events first, for what a widget does
// after its first show (a debounced column fit).
inline bool SaveGrab(QWidget& widget, const QString& file, int settleRounds = 0)
{
    widget.show();
    QApplication::processEvents();
    for (int i = 0; i < settleRounds; ++i) {
        QThread::msleep(60);
        QApplication::processEvents();
    }
    const bool saved = widget.grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
    return saved;
}

}  // namespace kestrava::testsupport
