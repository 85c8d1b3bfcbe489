// The application's message function and the locale decimal separator.
#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

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
                               QMessageBox::Critical},
                          Case{ShowWarningMessage, "IP address byte 1: 300 is not 0 to 255",
                               QMessageBox::Warning}}) {
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

// Held messages wait, in order and with their icons, for the last hold to end.
TEST(MessageFunction, HeldMessagesShowWhenTheHoldEnds) {
    QStringList shown;
    ScopedMessageFunction record([&](const QString& m) { shown << m; });
    {
        ScopedHeldMessages outer;
        ShowMessage("one");
        {
            ScopedHeldMessages inner;
            ShowErrorMessage("two");
        }
        EXPECT_TRUE(shown.isEmpty());
    }
    EXPECT_EQ(shown, (QStringList{"one", "two"}));
    ShowMessage("three");
    EXPECT_EQ(shown.size(), 3);
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

namespace {

// The label shows its whole text: laid out at the label's width as the label wraps it, the
// text needs no more room than the label has.
bool WholeTextShown(const QLabel& label) {
    QTextDocument doc;
    doc.setDefaultFont(label.font());
    doc.setDocumentMargin(0);
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(label.wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
    doc.setDefaultTextOption(option);
    doc.setPlainText(label.text());
    const int room =
        label.contentsRect().width() - 2 * label.margin() - std::max(label.indent(), 0);
    doc.setTextWidth(room);
    return doc.idealWidth() <= room && doc.size().height() <= label.contentsRect().height();
}

} // namespace

// A message box is no wider than the window it belongs to (a long list of values or a path
// wraps), and high enough for every line of its text: the last one is usually the cause.
TEST(MessageFunction, DefaultBoxIsNoWiderThanItsWindow) {
    struct Row {
        const char* name;
        QString text;
        int ownerWidth;
        int pointSize; // 0: the application's font; larger: text as a 2x screen sizes it
    };
    const QString mask = "Error in SubNet Mask! The only values avaible are "
                         "255,254,252,248,240,224,192,128,0";
    const QString contiguous = "Error in SubNet Mask! The subnet mask must be contiguous ones "
                               "followed by zeros, e.g. 255.255.255.0";
    const QString port = "Error opening serial port :COM3\nno such device (COM3 is "
                         "/tmp/comsetup-rack-07/converters/left-hand-side/ttyUSB3; "
                         "COMSETUP_COM3 can name another device)";
    const QString unplugged = "Write error (Error: 5) \nthe device went away: unplugged adapter?";
    const Row rows[] = {
        {"mask list, narrow window", mask, 300, 0},
        {"contiguous mask, the wizard", contiguous, 423, 0},
        {"contiguous mask, large text", contiguous, 423, 16},
        {"port with a long path", port, 423, 0},
        {"port with a long path, large text", port, 423, 16},
        {"unplugged adapter, large text", unplugged, 423, 16},
    };
    const QFont saved = QApplication::font();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QFont font = saved;
        if (r.pointSize > 0)
            font.setPointSize(r.pointSize);
        QApplication::setFont(font);
        SetMessageFunction(nullptr);
        QWidget owner;
        owner.resize(r.ownerWidth, 300);
        owner.show();
        owner.activateWindow();
        QApplication::setActiveWindow(&owner);
        QSize box;
        QRect label;
        bool whole = false;
        QString shown;
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* shownBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!shownBox)
                return;
            QCoreApplication::processEvents(); // any layout request still waiting
            box = shownBox->size();
            shown = shownBox->text();
            if (auto* text = shownBox->findChild<QLabel*>("qt_msgbox_label")) {
                label = text->geometry();
                whole = WholeTextShown(*text);
            }
            shownBox->button(QMessageBox::Ok)->click();
        });
        closer.start();
        ShowErrorMessage(r.text); // the icon leaves the text less room
        closer.stop();
        QApplication::setFont(saved);
        EXPECT_GT(box.width(), 0);
        EXPECT_LE(box.width(), owner.width());
        EXPECT_EQ(shown.remove(QChar(0x200B)), r.text); // the same text, with places to wrap
        EXPECT_TRUE(QRect(QPoint(0, 0), box).contains(label)) << label.x() << "," << label.y();
        EXPECT_TRUE(whole);
    }
}
