// Shared main of the test programs: one application object per program, the locale pinned to
// en_US so that formats and collation do not depend on the machine.
#include "platform/SystemFormats.h"

#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    ql::SystemFormats::pin(QLocale(QLocale::English, QLocale::UnitedStates));
    return RUN_ALL_TESTS();
}
