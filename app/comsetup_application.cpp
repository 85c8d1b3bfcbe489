// The application object and the general error report.
#include "app/comsetup_application.h"

#include "serial/comm.h"
#include "serial/error_causes.h"
#include "widgets/message_box.h"

#include <stdexcept>

namespace comsetup {

ComsetupApplication::ComsetupApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ComsetupApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // Exceptions must not cross the event dispatch of Qt: report and go on.
        ReportUncaughtError(std::current_exception());
        return false;
    }
}

void ReportUncaughtError(const std::exception_ptr& error) {
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const ECommError& e) {
        // The component's text with its code, and below it what the code means for the user.
        text = QString::fromLocal8Bit(e.what());
        const std::string cause = TransferErrorCause(e.ErrorCode);
        if (!cause.empty())
            text += QLatin1Char('\n') + QString::fromStdString(cause);
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    ShowErrorMessage(text);
}

} // namespace comsetup
