// The journal window over a real SQLite file in a temporary folder: its rows newest first,
// the filters, the selected download's log, "Use these values" into the wizard, the CSV export
// read back, and a journal that cannot be read (missing, damaged) named, never created.
#include "app_fixture.h"

#include "app/file_choice.h"
#include "app/journal_model.h"
#include "app/journal_window.h"
#include "app/tf_selmode.h"
#include "app/wizard_form.h"
#include "config/journal.h"
#include "config/journal_query.h"
#include "widgets/range_edit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <memory>

namespace comsetup::test {
namespace {

// COMSETUP_JOURNAL names a file of the test's own while it runs.
class ScopedJournalPath {
public:
    explicit ScopedJournalPath(const QString& path) : old_(qgetenv("COMSETUP_JOURNAL")) {
        qputenv("COMSETUP_JOURNAL", path.toUtf8());
    }
    ~ScopedJournalPath() { qputenv("COMSETUP_JOURNAL", old_); }

private:
    QByteArray old_;
};

class JournalWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        StartProgram();
    }
    // A finished download: ip's last byte, port, outcome.
    static void Record(config::Journal& journal, int lastByte, const std::string& port,
                       const std::string& outcome, config::Mode mode = config::Mode::RemoteCom) {
        config::JournalStart start;
        start.frontEnd = "comsetup-cli";
        start.setup.port = port;
        start.setup.mode = mode;
        start.setup.ip = {10, 0, 0, lastByte};
        start.setup.localPort = 4000 + lastByte;
        start.setup.baud = 19200;
        start.setup.peer = {10, 0, 0, 9};
        const auto id = journal.Begin(start);
        config::JournalEnd end;
        end.firmware = "01.8";
        end.outcome = outcome;
        end.verdict = outcome == "complete" ? "Setup Complete" : "ERROR ON SETUP";
        end.exitCode = outcome == "complete" ? 0 : 1;
        end.log = "unit " + std::to_string(lastByte) + "\nExit without saving\n";
        journal.Finish(id, end);
    }
    QStringList Column(const JournalWindow& window, int column) {
        QStringList texts;
        const auto& model = window.Model();
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.data(model.index(row, column)).toString();
        return texts;
    }

    QTemporaryDir folder_;
    QString path_ = folder_.filePath("journal.sqlite");
    ScopedJournalPath journalPath_{path_};
};

TEST_F(JournalWindowTest, ListsFiltersShowsTheLogAndUsesTheValues) {
    {
        const auto journal = config::Journal::Open(path_.toStdString());
        Record(*journal, 50, "COM1", "complete");
        Record(*journal, 51, "COM2", "error-on-setup");
        Record(*journal, 52, "COM1", "complete", config::Mode::PointToPoint);
    }
    JournalWindow window([](const config::SetupProfile& p) { F_selmode->LoadProfile(p); });
    window.Reload();
    EXPECT_EQ(Column(window, JournalModel::Ip),
              (QStringList{"10.0.0.52", "10.0.0.51", "10.0.0.50"})); // newest first
    EXPECT_EQ(Column(window, JournalModel::ExitCode), (QStringList{"0", "1", "0"}));
    EXPECT_TRUE(window.Status()->text().startsWith("3 downloads in "))
        << window.Status()->text().toStdString();
    // The newest row is selected, its log shown below.
    EXPECT_TRUE(window.Log()->toPlainText().contains("unit 52\n"))
        << window.Log()->toPlainText().toStdString();
    EXPECT_TRUE(window.Log()->isReadOnly());

    struct Case {
        QString ip, port;
        int verdict; // the filter's entry: 0 any, 1 complete, 2 error-on-setup
        QStringList ips;
    };
    for (const Case& c :
         {Case{"", "COM1", 0, {"10.0.0.52", "10.0.0.50"}}, Case{"10.0.0.51", "", 0, {"10.0.0.51"}},
          Case{"010.000.000.051", "", 0, {"10.0.0.51"}}, Case{"10.0.0.300", "", 0, {}},
          Case{"", "", 2, {"10.0.0.51"}}, Case{"", "COM2", 1, {}},
          Case{"", "", 0, {"10.0.0.52", "10.0.0.51", "10.0.0.50"}}}) {
        window.IpFilter()->setText(c.ip);
        window.PortFilter()->setText(c.port);
        window.VerdictFilter()->setCurrentIndex(c.verdict);
        window.Reload();
        EXPECT_EQ(Column(window, JournalModel::Ip), c.ips)
            << c.ip.toStdString() << c.port.toStdString();
    }
    // The outcomes offered are the command line's, after "any".
    QStringList outcomes;
    for (const std::string& outcome : config::JournalOutcomes())
        outcomes << QString::fromStdString(outcome);
    QStringList offered;
    for (int i = 1; i < window.VerdictFilter()->count(); ++i)
        offered << window.VerdictFilter()->itemText(i);
    EXPECT_EQ(offered, outcomes);

    // Since today (local): all of them; since tomorrow: none.
    window.SinceBox()->setChecked(true);
    EXPECT_EQ(window.Model().rowCount(), 3);
    window.SinceDate()->setDate(QDate::currentDate().addDays(1));
    EXPECT_EQ(window.Model().rowCount(), 0);
    EXPECT_FALSE(window.UseButton()->isEnabled());
    window.SinceBox()->setChecked(false);

    // "Use these values": the second row's setup in the wizard, on its mode's page.
    window.Table()->selectRow(1);
    EXPECT_TRUE(window.Log()->toPlainText().contains("unit 51\n"));
    QTest::mouseClick(window.UseButton(), Qt::LeftButton);
    EXPECT_EQ(stat_wiz, 1);
    EXPECT_EQ(W().re_ipb4->text(), "51");
    EXPECT_EQ(W().RangeEdit1->text(), "4051");
    EXPECT_EQ(W().cb_com->currentText(), "COM2");
    EXPECT_EQ(W().cb_br->currentText(), "19200");
    EXPECT_TRUE(W().gb_lan->isVisible());
    window.Table()->selectRow(0);
    QTest::mouseClick(window.UseButton(), Qt::LeftButton);
    EXPECT_EQ(stat_wiz, 2);
    EXPECT_EQ(W().are_ipb4->text(), "9"); // the peer too
    EXPECT_TRUE(W().gb_tun->isVisible());
}

TEST_F(JournalWindowTest, ExportWritesTheListedRowsAsCsvThatReadsBack) {
    {
        const auto journal = config::Journal::Open(path_.toStdString());
        Record(*journal, 60, "COM3", "complete");
        Record(*journal, 61, "COM4", "complete");
    }
    JournalWindow window([](const config::SetupProfile&) {});
    window.PortFilter()->setText("COM4");
    window.Reload();
    const QString csv = folder_.filePath("units.csv");
    ScopedFileChoice choice([&](QWidget*, FileChoiceKind kind, const QString&, const QString&,
                                const QString& proposed) {
        EXPECT_EQ(kind, FileChoiceKind::Save);
        EXPECT_TRUE(proposed.endsWith(".csv")) << proposed.toStdString();
        return csv;
    });
    QTest::mouseClick(window.ExportButton(), Qt::LeftButton);
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString(); // the header and the one row
    EXPECT_TRUE(lines[0].contains("ip")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("10.0.0.61")) << lines[1].toStdString();
    EXPECT_FALSE(lines[1].contains("10.0.0.60"));
    EXPECT_TRUE(window.Status()->text().startsWith("1 download written to "));

    // A folder where the file should be is refused, and the folder is left as it was.
    const QString refused = folder_.filePath("a-folder.csv");
    ASSERT_TRUE(QDir().mkdir(refused));
    ScopedFileChoice refusedChoice([&](QWidget*, FileChoiceKind, const QString&, const QString&,
                                       const QString&) { return refused; });
    QTest::mouseClick(window.ExportButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith("The CSV file could not be written: "))
        << messages_[0].toStdString();
    EXPECT_TRUE(QFileInfo(refused).isDir());
}

// Enter in a filter applies the filters; it never presses "Export CSV...", whose file dialog
// would open instead.
TEST_F(JournalWindowTest, EnterInAFilterAppliesIt) {
    {
        const auto journal = config::Journal::Open(path_.toStdString());
        Record(*journal, 70, "COM5", "complete");
        Record(*journal, 71, "COM6", "complete");
    }
    int filesAsked = 0;
    ScopedFileChoice choice([&](QWidget*, FileChoiceKind, const QString&, const QString&,
                                const QString&) { return ++filesAsked, QString(); });
    JournalWindow window([](const config::SetupProfile&) {});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.Reload();
    window.PortFilter()->setFocus();
    QTest::keyClicks(window.PortFilter(), "COM6");
    QTest::keyClick(window.PortFilter(), Qt::Key_Return);
    EXPECT_EQ(Column(window, JournalModel::Ip), QStringList{"10.0.0.71"});
    window.IpFilter()->setFocus();
    QTest::keyClicks(window.IpFilter(), "10.0.0.70");
    QTest::keyClick(window.IpFilter(), Qt::Key_Enter);
    EXPECT_EQ(window.Model().rowCount(), 0); // both filters: no row
    EXPECT_EQ(filesAsked, 0);
    EXPECT_FALSE(window.ExportButton()->isDefault());
}

TEST_F(JournalWindowTest, AJournalThatCannotBeReadIsNamedAndNeverCreated) {
    JournalWindow window([](const config::SetupProfile&) {});
    window.Reload();
    EXPECT_EQ(window.Status()->text(),
              "No downloads recorded yet: there is no journal " + path_ + ".");
    EXPECT_FALSE(QFile::exists(path_)); // looking created nothing
    EXPECT_FALSE(window.ExportButton()->isEnabled());

    {
        std::ofstream damaged(path_.toStdString(), std::ios::binary);
        damaged << "this is not an SQLite database, but it is long enough to look like one...";
    }
    window.Reload();
    EXPECT_TRUE(window.Status()->text().startsWith("The journal cannot be read: "))
        << window.Status()->text().toStdString();
    EXPECT_TRUE(window.Status()->text().contains(path_)) << window.Status()->text().toStdString();
    EXPECT_EQ(window.Model().rowCount(), 0);
    EXPECT_FALSE(window.UseButton()->isEnabled());
}

// The selection is the row whose log is shown: the newest on opening, the same download after a
// filter that still lists it, the newest listed after one that does not; and it stays marked in
// the active colour while another window is active (Windows draws an inactive one in grey).
TEST_F(JournalWindowTest, TheSelectedRowIsTheOneWhoseLogIsShown) {
    {
        const auto journal = config::Journal::Open(path_.toStdString());
        Record(*journal, 80, "COM1", "complete");
        Record(*journal, 81, "COM2", "complete");
        Record(*journal, 82, "COM1", "complete");
    }
    JournalWindow window([](const config::SetupProfile&) {});
    window.Reload();
    const auto selected = [&] {
        const auto rows = window.Table()->selectionModel()->selectedRows();
        return rows.size() == 1
                   ? window.Model().data(rows[0].siblingAtColumn(JournalModel::Ip)).toString()
                   : QString("%1 rows").arg(rows.size());
    };
    EXPECT_EQ(selected(), "10.0.0.82");
    window.Table()->selectRow(2);
    window.PortFilter()->setText("COM1");
    window.Reload();
    EXPECT_EQ(selected(), "10.0.0.80");
    EXPECT_TRUE(window.Log()->toPlainText().contains("unit 80\n"));
    window.PortFilter()->setText("COM2");
    window.Reload();
    EXPECT_EQ(selected(), "10.0.0.81");
    EXPECT_TRUE(window.Log()->toPlainText().contains("unit 81\n"));

    QPalette windows = QApplication::palette();
    windows.setColor(QPalette::Inactive, QPalette::Highlight,
                     windows.color(QPalette::Inactive, QPalette::Window));
    QApplication::setPalette(windows);
    JournalWindow greyed([](const config::SetupProfile&) {});
    greyed.Reload();
    greyed.show();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    const QImage drawn = greyed.Table()->viewport()->grab().toImage();
    const QRect first = greyed.Table()->visualRect(greyed.Model().index(0, JournalModel::Port));
    EXPECT_EQ(drawn.pixelColor(first.right() - 2, first.center().y()),
              windows.color(QPalette::Active, QPalette::Highlight));
    QApplication::setPalette(QPalette());
}

// A click on Close after a filter was typed reads nothing: the filter is not applied on the way
// out, and the window hides.
TEST_F(JournalWindowTest, CloseDoesNotReadTheJournalAgain) {
    {
        const auto journal = config::Journal::Open(path_.toStdString());
        Record(*journal, 90, "COM1", "complete");
    }
    JournalWindow window([](const config::SetupProfile&) {});
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.Reload();
    QFile::remove(path_); // a read now would say so in the status line
    const QString listed = window.Status()->text();
    window.PortFilter()->setFocus();
    QTest::keyClicks(window.PortFilter(), "COM2");
    QPushButton* close = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == "Close")
            close = button;
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    QApplication::processEvents();
    EXPECT_EQ(window.Status()->text(), listed);
    EXPECT_EQ(window.Model().rowCount(), 1);
}

// The "Since" date shows whole in the face and style it is drawn in: the edit field holds the
// widest date it can show.
TEST_F(JournalWindowTest, TheSinceDateShowsWhole) {
    for (const char* styleName : {"Fusion", "Windows"}) {
        std::unique_ptr<QStyle> style(QStyleFactory::create(styleName));
        ASSERT_TRUE(style) << styleName;
        for (const int points : {9, 16}) {
            JournalWindow window([](const config::SetupProfile&) {});
            QFont font = window.font();
            font.setPointSize(points);
            window.setFont(font);
            window.SinceDate()->setStyle(style.get());
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            const auto* field = window.SinceDate()->findChild<QLineEdit*>();
            ASSERT_NE(field, nullptr);
            const QFontMetrics metrics(field->font());
            int digit = 0;
            for (char c = '0'; c <= '9'; ++c)
                digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
            const int widest = 8 * digit + 2 * metrics.horizontalAdvance('-');
            EXPECT_GE(field->width(), widest + 4) << styleName << " " << points << "pt";
            window.SinceDate()->setStyle(nullptr);
        }
    }
}

} // namespace
} // namespace comsetup::test
