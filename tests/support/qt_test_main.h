#pragma once
// Runs several Qt Test classes in one program, one after another, each
// built afresh and gone before the next; non-zero when any of them failed.

#include <QtTest>

namespace kestrava::testsupport {

template <class Test>
int RunQtTest(int argc, char** argv)
{
    Test test;
    return QTest::qExec(&test, argc, argv);
}

template <class... Tests>
int RunQtTests(int argc, char** argv)
{
    int status = 0;
    ((status |= RunQtTest<Tests>(argc, argv)), ...);
    return status;
}

}  // namespace kestrava::testsupport
