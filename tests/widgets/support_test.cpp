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
    SetMessageFunction(nullptr);
    QString seenText;
    int buttons = -1;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seenText = box->text();
            buttons = static_cast<int>(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();
    ShowMessage("Codice BCD scorretto");
    closer.stop();
    EXPECT_EQ(seenText, "Codice BCD scorretto");
    EXPECT_EQ(buttons, 1);
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
