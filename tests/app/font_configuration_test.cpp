// Reading the font configuration ahead of the application object changes nothing the user
// sees: the wizard's captions get the same fonts as when the toolkit reads it on demand. Each
// way runs in a process of its own (the read happens once per process).
#include "app_fixture.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>

namespace comsetup {
namespace {

QString ProbeFonts(const QString& how) {
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(COMSETUP_FONT_PROBE_PATH), {how});
    EXPECT_TRUE(probe.waitForFinished(60000)) << how.toStdString();
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit) << how.toStdString();
    EXPECT_EQ(probe.exitCode(), 0) << how.toStdString();
    return QString::fromUtf8(probe.readAllStandardOutput());
}

TEST(FontConfigurationLoad, CaptionsGetTheSameFontsWithAndWithoutTheReadAhead) {
    const QString onDemand = ProbeFonts(QStringLiteral("on-demand"));
    const QString ahead = ProbeFonts(QStringLiteral("ahead"));
    ASSERT_TRUE(onDemand.contains(QStringLiteral("QLabel "))) << onDemand.toStdString();
    EXPECT_EQ(ahead, onDemand);
    // And again: the outcome does not depend on which thread won the race.
    EXPECT_EQ(ProbeFonts(QStringLiteral("ahead")), onDemand);
}

} // namespace
} // namespace comsetup
