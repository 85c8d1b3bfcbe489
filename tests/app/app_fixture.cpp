// What the program's tests share.
#include "app_fixture.h"

#include "ui_tfmain.h"
#include "ui_tfprog.h"

#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"

#include <QTest>

namespace comsetup::test {

void AppFixture::SetUp() {
    recorder_ =
        std::make_unique<ScopedMessageFunction>([this](const QString& text) { messages_ << text; });
}

void AppFixture::StartProgram(const PortEntries& devicesFound) {
    windows_ = std::make_unique<AppWindows>([devicesFound] { return devicesFound; });
    ShowWizard(*windows_);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows_->Wizard()));
    // The settings pages and the hidden windows follow the first paint by themselves.
    ASSERT_TRUE(WaitFor([this] { return windows_->RestBuilt(); }, 5000));
}

void AppFixture::TearDown() {
    if (windows_) {
        windows_->Progress().hide();
        windows_.reset();
    }
    recorder_.reset();
    QCoreApplication::processEvents();
}

Ui::TF_selmode& AppFixture::W() {
    return windows_->Wizard().Form();
}
Ui::TFmain& AppFixture::M() {
    return windows_->Main().Form();
}
Ui::Tfprog& AppFixture::P() {
    return windows_->Progress().Form();
}

void AppFixture::Click(QAbstractButton* button) {
    ASSERT_TRUE(button->isVisible()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

void AppFixture::Type(TRangeEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll(); // typing replaces the selection
    QTest::keyClicks(field, text);
    field->clearFocus();
}

void AppFixture::ChooseMode(int mode) {
    QCheckBox* const boxes[] = {W().cb_m1, W().cb_m2, W().cb_m3};
    Click(boxes[mode - 1]);
    PressButton1();
}

void AppFixture::PressButton1() {
    Click(W().Button1);
}

} // namespace comsetup::test

void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

void PrintTo(const QStringList& texts, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < texts.size(); ++i)
        *os << (i ? ", " : "") << '"' << texts[i].toStdString() << '"';
    *os << '}';
}
