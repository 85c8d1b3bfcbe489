// A shown, active window with two numeric fields for driving TRangeEdit through real key
// and focus events; the locale separator is pinned to '.' and messages are captured.
#pragma once

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

#include "tests/widgets/qt_printers.h"
#include "widgets/decimal_separator.h"
#include "widgets/message_box.h"
#include "widgets/range_edit.h"

class FieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        field = new TRangeEdit(window.get());
        other = new TRangeEdit(window.get());
        layout->addWidget(field);
        layout->addWidget(other);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        field->setFocus();
        ASSERT_TRUE(field->hasFocus());
    }

    // Address-byte configuration used by every window of the program.
    void ByteField(TRangeEdit* f = nullptr) {
        f = f ? f : field;
        f->SetMinval(0);
        f->SetMaxVal(255);
        f->SetNormalColor(Qt::white);
    }

    // Replaces the whole text as a user would: select all, then type.
    void Retype(const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
    }

    void Click(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(field, key, mods);
    }

    void LeaveField() {
        other->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }

    comsetup::ScopedDecimalSeparator separator{QChar('.')};
    QStringList messages;
    comsetup::ScopedMessageFunction capture{[this](const QString& m) { messages << m; }};
    std::unique_ptr<QWidget> window;
    TRangeEdit* field = nullptr;
    TRangeEdit* other = nullptr;
};
