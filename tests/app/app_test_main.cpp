// Test entry of the program's tests: the application object of the program (its event
// delivery is the general error report) on the offscreen platform, and port names that can
// never reach real hardware ("COM1".."COM9" name a path that does not exist).
#include "app/comsetup_application.h"
#include "app/form_look.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    for (int n = 1; n <= 9; ++n) {
        const std::string name = "COMSETUP_COM" + std::to_string(n);
        setenv(name.c_str(), ("/nonexistent/comsetup-test-com" + std::to_string(n)).c_str(), 1);
    }
    comsetup::ComsetupApplication app(argc, argv);
    comsetup::ApplyApplicationLook(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
