// A pause of the GUI's pacer when the application is asked to quit meanwhile: nested event
// loops then return at once, yet the pause must last its full length and keep events flowing.
// Its own program, since a quit leaves the application's loop state behind.
#include "app/gui_pacer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdlib>

namespace comsetup {
namespace {

using namespace std::chrono;

TEST(GuiPacerQuit, PauseKeepsItsLengthAndEventsFlowAfterAQuit) {
    GuiPacer pacer;
    nanoseconds paused{0};
    int ticksAfterQuit = 0;
    bool quitRequested = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (quitRequested)
            ++ticksAfterQuit;
    });
    ticker.start(5);
    QTimer::singleShot(0, [&] {
        const auto start = pacer.Now();
        pacer.Delay(300);
        paused = pacer.Now() - start;
    });
    QTimer::singleShot(50, [&] {
        quitRequested = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_GE(paused, milliseconds(300));
    EXPECT_GT(ticksAfterQuit, 0); // events still ran during the rest of the pause
}

} // namespace
} // namespace comsetup

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
