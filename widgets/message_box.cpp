// Default modal message box and the replaceable hook around it.
#include "widgets/message_box.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>

namespace comsetup {
namespace {

// A message box no wider than the window it belongs to: Qt sizes it for its longest line
// (up to half the screen), which leaves a box wider than the small wizard for the mask
// message and its long list of values.
class BoundedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event); // Qt fixes its size here
        QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!owner || !label || width() <= owner->width())
            return;
        label->setWordWrap(true);
        const int margins = width() - label->width();
        label->setFixedWidth(std::max(owner->width() - margins, 1));
        setFixedWidth(owner->width());
        setFixedHeight(layout() ? layout()->totalHeightForWidth(owner->width()) : height());
    }
};

// Where a long line may wrap besides its blanks: after the commas of a list of values.
QString WithBreaksAfterCommas(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char(','), QStringLiteral(",\u200B"));
    return out;
}

void DefaultMessageBox(const QString& text, QMessageBox::Icon icon) {
    QString title = QGuiApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QCoreApplication::applicationName();
    BoundedMessageBox box(icon, title, WithBreaksAfterCommas(text), QMessageBox::Ok,
                          QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

MessageFunction& Installed() {
    static MessageFunction function;
    return function;
}

void Show(const QString& text, QMessageBox::Icon icon) {
    // Copy first: the function may install another one while it runs.
    MessageFunction f = Installed();
    if (f)
        f(text);
    else
        DefaultMessageBox(text, icon);
}

} // namespace

void ShowMessage(const QString& text) {
    Show(text, QMessageBox::NoIcon);
}

void ShowErrorMessage(const QString& text) {
    Show(text, QMessageBox::Critical);
}

MessageFunction SetMessageFunction(MessageFunction f) {
    MessageFunction old = std::move(Installed());
    Installed() = std::move(f);
    return old;
}

} // namespace comsetup
