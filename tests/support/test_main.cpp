#include <QCoreApplication>

#include <gtest/gtest.h>

// Components use Qt types that expect an application object (translators, timers).
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
