// Default modal message box and the replaceable hook around it.
#include "widgets/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace comsetup {
namespace {

void DefaultMessageBox(const QString& text) {
    QString title = QGuiApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QCoreApplication::applicationName();
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

MessageFunction& Installed() {
    static MessageFunction function;
    return function;
}

} // namespace

void ShowMessage(const QString& text) {
    // Copy first: the function may install another one while it runs.
    MessageFunction f = Installed();
    if (f)
        f(text);
    else
        DefaultMessageBox(text);
}

MessageFunction SetMessageFunction(MessageFunction f) {
    MessageFunction old = std::move(Installed());
    Installed() = std::move(f);
    return old;
}

} // namespace comsetup
