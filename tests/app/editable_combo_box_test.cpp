// The forms' editable combo box: editable without a completer, so that typed text is held as
// typed (also with the wizard's "no entry chosen when typed" rule on top), entries picked from
// the drop-down list set the text, and the list, built only when it first drops down, looks
// like that of a QComboBox made editable the usual way.
#include "app_fixture.h"

#include "app/combo_choice.h"
#include "app/editable_combo_box.h"

#include <gtest/gtest.h>

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

namespace comsetup {
namespace {

const QStringList kEntries = {"COM1", "COM2", "COM3", "COM4", "COM5",
                              "COM6", "COM7", "COM8", "COM9", "/dev/ttyUSB0"};

class EditableComboBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(host_.get());
        box_ = new EditableComboBox(host_.get());
        box_->setEditable(true);
        box_->addItems(kEntries);
        layout->addWidget(box_);
    }

    void ShowHost() {
        host_->show();
        QApplication::setActiveWindow(host_.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
    }

    // Replaces the edit field's text by typing, as a user does.
    void TypeOver(const QString& text) {
        QLineEdit* edit = box_->lineEdit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }

    std::unique_ptr<QWidget> host_;
    EditableComboBox* box_ = nullptr;
};

TEST_F(EditableComboBoxTest, IsEditableWithoutAnyCompleter) {
    ASSERT_TRUE(box_->isEditable());
    ASSERT_NE(box_->lineEdit(), nullptr);
    EXPECT_EQ(box_->completer(), nullptr);
    EXPECT_EQ(box_->lineEdit()->completer(), nullptr);
    // The stand-in completer used while the line edit is handed over is gone, not leaked.
    EXPECT_TRUE(box_->findChildren<QCompleter*>().isEmpty());
    // Made editable twice, or back and forth, it stays a plain editable box.
    box_->setEditable(true);
    EXPECT_TRUE(box_->isEditable());
    box_->setEditable(false);
    EXPECT_FALSE(box_->isEditable());
    EXPECT_EQ(box_->lineEdit(), nullptr);
    box_->setEditable(true);
    ASSERT_NE(box_->lineEdit(), nullptr);
    EXPECT_EQ(box_->lineEdit()->completer(), nullptr);
    EXPECT_TRUE(box_->findChildren<QCompleter*>().isEmpty());
}

TEST_F(EditableComboBoxTest, TypedTextIsHeldAsTypedEvenWhenAnEntryStartsWithIt) {
    ShowHost();
    // Each is the start of an entry: a completing box would fill in the rest.
    for (const QString typed : {"C", "CO", "COM", "/dev/tty", "com"}) {
        TypeOver(typed);
        EXPECT_EQ(box_->currentText(), typed);
        EXPECT_EQ(box_->lineEdit()->text(), typed);
        EXPECT_FALSE(box_->lineEdit()->hasSelectedText()) << typed.toStdString();
    }
}

TEST_F(EditableComboBoxTest, TypingDropsTheChosenEntryButKeepsTheTextAndCaret) {
    ShowTextWithoutChoice(box_, QStringLiteral("COM1"));
    ForgetChoiceWhenTyped(box_);
    ShowHost();
    EXPECT_EQ(box_->currentIndex(), -1);
    EXPECT_EQ(box_->currentText(), "COM1");

    TypeOver(QStringLiteral("CO"));
    EXPECT_EQ(box_->currentIndex(), -1);
    EXPECT_EQ(box_->currentText(), "CO");
    TypeOver(QStringLiteral("COM12"));
    EXPECT_EQ(box_->currentIndex(), -1);
    EXPECT_EQ(box_->currentText(), "COM12");

    // A chosen entry, then typing in its middle: no entry chosen, the typed text and the
    // caret where the user left it.
    box_->setCurrentIndex(2);
    ASSERT_EQ(box_->currentText(), "COM3");
    QLineEdit* edit = box_->lineEdit();
    edit->setCursorPosition(3);
    QTest::keyClick(edit, Qt::Key_7);
    EXPECT_EQ(box_->currentIndex(), -1);
    EXPECT_EQ(box_->currentText(), "COM73");
    EXPECT_EQ(edit->cursorPosition(), 4);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(box_->currentIndex(), -1);
    EXPECT_EQ(box_->currentText(), "COM3"); // the text of an entry, still none chosen
}

TEST_F(EditableComboBoxTest, PickingAnEntryFromTheListChoosesItAndSetsTheText) {
    ShowTextWithoutChoice(box_, QStringLiteral("typed"));
    ForgetChoiceWhenTyped(box_);
    ShowHost();
    for (const int row : {4, 9, 0}) {
        box_->showPopup();
        QAbstractItemView* list = box_->view();
        ASSERT_TRUE(list->isVisible());
        const QModelIndex entry = list->model()->index(row, 0);
        list->scrollTo(entry);
        const QRect where = list->visualRect(entry);
        ASSERT_FALSE(where.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where.center());
        EXPECT_TRUE(test::WaitFor([list] { return !list->isVisible(); }, 5000));
        EXPECT_EQ(box_->currentIndex(), row);
        EXPECT_EQ(box_->currentText(), kEntries[row]);
        EXPECT_EQ(box_->lineEdit()->text(), kEntries[row]);
    }
}

TEST_F(EditableComboBoxTest, ListIsBuiltWhenFirstNeededAndLooksLikeAPlainEditableBox) {
    // Nothing of the drop-down list exists before it is asked for: that is what the box saves.
    EXPECT_TRUE(box_->findChildren<QAbstractItemView*>().isEmpty());

    auto* plain = new QComboBox(host_.get());
    plain->setEditable(true);
    plain->addItems(kEntries);
    host_->layout()->addWidget(plain);
    ShowHost();

    box_->showPopup();
    plain->showPopup();
    QAbstractItemView* ours = box_->view();
    QAbstractItemView* theirs = plain->view();
    ASSERT_TRUE(ours->isVisible());
    ASSERT_TRUE(theirs->isVisible());
    EXPECT_STREQ(ours->metaObject()->className(), theirs->metaObject()->className());
    ASSERT_NE(box_->itemDelegate(), nullptr);
    EXPECT_STREQ(box_->itemDelegate()->metaObject()->className(),
                 plain->itemDelegate()->metaObject()->className());
    EXPECT_EQ(ours->model()->rowCount(), kEntries.size());
    for (int row : {0, 9}) {
        EXPECT_EQ(ours->sizeHintForRow(row), theirs->sizeHintForRow(row)) << row;
        EXPECT_GE(ours->sizeHintForRow(row), box_->fontMetrics().height()) << row;
        const QModelIndex entry = ours->model()->index(row, 0);
        EXPECT_EQ(ours->visualRect(entry).height(),
                  theirs->visualRect(theirs->model()->index(row, 0)).height())
            << row;
    }
    EXPECT_EQ(ours->sizeHintForColumn(0), theirs->sizeHintForColumn(0));
    EXPECT_GE(ours->sizeHintForColumn(0), box_->fontMetrics().horizontalAdvance(kEntries[9]));
    box_->hidePopup();
    plain->hidePopup();
}

} // namespace
} // namespace comsetup
