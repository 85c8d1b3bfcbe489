// The application's message function and the locale decimal separator.
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "tests/widgets/qt_printers.h"
#include "widgets/decimal_separator.h"
#include "widgets/message_box.h"
#include "widgets/range_edit.h"

using namespace comsetup;

TEST(MessageFunction, ReplaceAndRestore) {
    QStringList first, second;
    MessageFunction old = SetMessageFunction([&](const QString& m) { first << m; });
    ShowMessage("one");
    {
        ScopedMessageFunction scoped([&](const QString& m) { second << m; });
        ShowMessage("two");
    }
    ShowMessage("three");
    SetMessageFunction(std::move(old));
    EXPECT_EQ(first, (QStringList{"one", "three"}));
    EXPECT_EQ(second, QStringList{"two"});
}

TEST(MessageFunction, DefaultIsAModalBoxWithOkAndTheText) {
    struct Case {
        void (*show)(const QString&);
        QString text;
        QMessageBox::Icon icon;
    };
    for (const Case& c : {Case{ShowMessage, "Codice BCD scorretto", QMessageBox::NoIcon},
                          Case{ShowErrorMessage, "Error opening serial port :COM3\nno such device",
                               QMessageBox::Critical}}) {
        SetMessageFunction(nullptr);
        QString seenText;
        int buttons = -1;
        QMessageBox::Icon icon = QMessageBox::Question;
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seenText = box->text();
                buttons = static_cast<int>(box->buttons().size());
                icon = box->icon();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start();
        c.show(c.text);
        closer.stop();
        EXPECT_EQ(seenText, c.text);
        EXPECT_EQ(buttons, 1);
        EXPECT_EQ(icon, c.icon) << c.text.toStdString();
    }
}

TEST(DecimalSeparator, OverrideWinsAndCanBeCleared) {
    const QChar system = DecimalSeparator();
    {
        ScopedDecimalSeparator comma(QChar(','));
        EXPECT_EQ(DecimalSeparator(), QChar(','));
        {
            ScopedDecimalSeparator point(QChar('.'));
            EXPECT_EQ(DecimalSeparator(), QChar('.'));
        }
        EXPECT_EQ(DecimalSeparator(), QChar(','));
    }
    EXPECT_EQ(DecimalSeparator(), system);
}

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// On these systems the locale is the one the environment names.
TEST(DecimalSeparator, FollowsTheSystemLocaleAtEveryUse) {
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "de_DE.UTF-8");
    const QChar german = DecimalSeparator();
    qputenv("LC_ALL", "en_US.UTF-8");
    const QChar english = DecimalSeparator();
    qputenv("LC_ALL", "fr_FR@euro");
    const QChar french = DecimalSeparator();
    qputenv("LC_ALL", "C");
    const QChar c = DecimalSeparator();
    if (saved.isNull())
        qunsetenv("LC_ALL");
    else
        qputenv("LC_ALL", saved);
    EXPECT_EQ(german, QChar(','));
    EXPECT_EQ(english, QChar('.'));
    EXPECT_EQ(french, QChar(','));
    EXPECT_EQ(c, QChar('.'));
}
#endif

// A field's background set from code keeps a text that reads on it, the theme's own when it
// does: white fields under a dark theme are not white on white.
TEST(FieldColours, TextReadsOnTheBackgroundSetFromCode) {
    struct Row {
        const char* name;
        QColor background, themeText, expected;
    };
    const Row rows[] = {
        {"white, light theme", Qt::white, Qt::black, Qt::black},
        {"white, dark theme", Qt::white, QColor(0xEE, 0xEE, 0xEE), Qt::black},
        {"error red, light theme", Qt::red, Qt::black, Qt::white},
        {"dark field, dark theme", QColor(0x35, 0x35, 0x35), QColor(0xEE, 0xEE, 0xEE),
         QColor(0xEE, 0xEE, 0xEE)},
        {"light theme's own grey text on white", Qt::white, QColor(0x30, 0x30, 0x60),
         QColor(0x30, 0x30, 0x60)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(ReadableTextColor(r.background, r.themeText), r.expected);
    }
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    QApplication::setPalette(dark);
    {
        TRangeEdit field;
        field.SetColor(Qt::white);
        EXPECT_EQ(field.palette().color(QPalette::Base), QColor(Qt::white));
        EXPECT_EQ(field.palette().color(QPalette::Text), QColor(Qt::black));
        // Greyed when disabled, as the theme greys a field that is not in use.
        EXPECT_EQ(field.palette().color(QPalette::Disabled, QPalette::Base),
                  dark.color(QPalette::Disabled, QPalette::Base));
        EXPECT_EQ(field.palette().color(QPalette::Disabled, QPalette::Text),
                  dark.color(QPalette::Disabled, QPalette::Text));
    }
    QApplication::setPalette(saved);
}

// A message box is no wider than the window it belongs to; a long list of values wraps.
TEST(MessageFunction, DefaultBoxIsNoWiderThanItsWindow) {
    SetMessageFunction(nullptr);
    QWidget owner;
    owner.resize(300, 300); // narrower than the box Qt would size for this screen
    owner.show();
    owner.activateWindow();
    QApplication::setActiveWindow(&owner);
    int width = -1;
    QString shown;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            width = box->width();
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();
    const QString mask = "Error in SubNet Mask! The only values avaible are "
                         "255,254,252,248,240,224,192,128,0";
    ShowMessage(mask);
    closer.stop();
    EXPECT_GT(width, 0);
    EXPECT_LE(width, owner.width());
    EXPECT_EQ(shown.remove(QChar(0x200B)), mask); // the same text, with places to wrap
}
