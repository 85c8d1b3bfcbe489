// What the program's tests share: the four windows created as start-up creates them, the
// wizard shown on the offscreen platform, every message box recorded instead of shown, and
// small helpers that work the wizard through real mouse clicks and key presses.
#pragma once

#include "app/startup.h"
#include "widgets/message_box.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

class QAbstractButton;
class QWidget;
class TRangeEdit;

namespace Ui {
class TF_selmode;
class TFmain;
class Tfprog;
} // namespace Ui

namespace comsetup::test {

class AppFixture : public ::testing::Test {
protected:
    // `devicesFound` are offered after "COM1".."COM9" in both port lists.
    void StartProgram(const PortEntries& devicesFound = {});
    void SetUp() override;
    void TearDown() override;

    Ui::TF_selmode& W();
    Ui::TFmain& M();
    Ui::Tfprog& P();

    void Click(QAbstractButton* button);
    // Replaces the text of a field as a user would: select all, type, leave the field.
    void Type(TRangeEdit* field, const QString& text);
    // Ticks the mode box of `mode` (1..3) and presses "Next -->".
    void ChooseMode(int mode);
    void PressButton1();

    QStringList messages_;
    std::unique_ptr<AppWindows> windows_;

private:
    std::unique_ptr<ScopedMessageFunction> recorder_;
};

// Waits, processing events, until `done` holds or `limitMs` passes; returns done().
template <typename Pred> bool WaitFor(Pred done, int limitMs);

} // namespace comsetup::test

// Readable test failures for Qt strings.
void PrintTo(const QString& text, std::ostream* os);
void PrintTo(const QStringList& texts, std::ostream* os);

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <typename Pred> bool comsetup::test::WaitFor(Pred done, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
