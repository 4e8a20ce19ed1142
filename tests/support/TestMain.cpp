// One main for every test: a QApplication (offscreen in CTest) so that core tests can
// use the event loop and window tests can make widgets.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests never make sound: the player layer's silent output is paced by the clock.
    if (qEnvironmentVariableIsEmpty("TUNELIX_AUDIO_OUTPUT"))
        qputenv("TUNELIX_AUDIO_OUTPUT", "silent");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
