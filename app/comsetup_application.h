// The application object. Its event delivery is the program's general error report: an
// exception that no handler caught, thrown while an event is being delivered (a click, a
// timer, a queued call), is shown in a message box with its text, and the event loop goes on.
#pragma once

#include <QApplication>

#include <exception>

namespace comsetup {

class ComsetupApplication : public QApplication {
    Q_OBJECT
public:
    ComsetupApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the message of an error that reached the general error report.
void ReportUncaughtError(const std::exception_ptr& error);

// Runs a window's handler; an error it lets out goes to the general error report right here,
// before it can unwind through Qt's event delivery (which leaves Qt's own bookkeeping of the
// event behind). The application's notify stays the last resort for everything else.
template <typename Handler> void RunReporting(Handler&& handler) {
    try {
        handler();
    } catch (...) {
        ReportUncaughtError(std::current_exception());
    }
}

} // namespace comsetup
