#pragma once
// A second start of the program, as a desktop makes it: in `folder`, on the
// offscreen platform, with its settings kept inside the test's own `root`.
// The environment of the test (its runtime and temporary folders) is its.

#include <QDir>
#include <QObject>
#include <QProcess>
#include <QStringList>

namespace kestrava::mainformtest {

inline QProcess* StartSecondProgram(QObject* owner, const QString& program, const QStringList& arguments,
                                    const QString& folder, const QString& root)
{
    auto* process = new QProcess(owner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Should it run on its own after all, it keeps to the test's folders.
    environment.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/home/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/home/share"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(folder);
    process->start(program, arguments);
    return process;
}

}  // namespace kestrava::mainformtest
