// Test entry of the program's tests: the application object of the program (its event
// delivery is the general error report) on the offscreen platform, and port names that can
// never reach real hardware ("COM1".."COM9" name a path that does not exist); the downloads
// are recorded in a journal of the tests' own, never the user's, and the wizard's remembered
// choices are the tests' own too.
#include "app/comsetup_application.h"
#include "app/form_look.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (int n = 1; n <= 9; ++n) {
        const std::string name = "COMSETUP_COM" + std::to_string(n);
        qputenv(name.c_str(), QByteArray("/nonexistent/comsetup-test-com") + QByteArray::number(n));
    }
    const QTemporaryDir journalFolder;
    qputenv("COMSETUP_JOURNAL", journalFolder.filePath(QStringLiteral("journal.sqlite")).toUtf8());
    // The wizard's remembered choices (the LAN check among them) are the tests' own too.
    qputenv("COMSETUP_SETTINGS", journalFolder.filePath(QStringLiteral("comsetup.ini")).toUtf8());
    comsetup::ComsetupApplication app(argc, argv);
    comsetup::ApplyApplicationLook(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
