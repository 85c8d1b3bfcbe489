// Default modal message box and the replaceable hook around it.
#include "widgets/message_box.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace comsetup {
namespace {

// A message box sized to its text: no wider than the window it belongs to (Qt sizes it for its
// longest line, up to half the screen, which leaves a box wider than the small wizard for the
// mask message and its long list of values), at least a readable width, and as high as its
// wrapped text needs. Qt sizes the box again at every layout request, with the text unwrapped
// and a height that may cut the last line: the fit is made after each of them.
class FittedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

    bool event(QEvent* event) override {
        const bool result = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest)
            FitToText();
        return result;
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event); // Qt sizes the box here
        FitToText();
        // Qt placed the box for the size it had before: centred on its window again.
        if (!event->spontaneous() && parentWidget()) {
            QRect placed = geometry();
            placed.moveCenter(parentWidget()->window()->geometry().center());
            move(placed.topLeft());
        }
    }

private:
    // The widest the box may be: the program's window it belongs to (through the dialogs it
    // may stand on, such as the small progress dialog), at least a readable width.
    int WidthLimit() const {
        QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        while (owner && owner->parentWidget())
            owner = owner->parentWidget()->window();
        const int readable = fontMetrics().averageCharWidth() * kReadableChars;
        int limit = owner ? std::max(owner->width(), readable) : kUnownedWidth;
        if (const QScreen* shown = screen())
            limit = std::min(limit, shown->availableGeometry().width() - kScreenMargin);
        return limit;
    }

    void FitToText() {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!isVisible() || !label || !layout())
            return;
        // The text on lines of its own as long as the box allows, wrapped where it does not.
        layout()->activate();
        const int chrome = label->x() + layout()->contentsMargins().right();
        label->setMinimumSize(0, 0);
        label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        label->setWordWrap(false);
        const int natural = label->sizeHint().width();
        const int textWidth = std::max(1, std::min(natural, WidthLimit() - chrome));
        label->setWordWrap(true);
        label->setFixedSize(textWidth, label->heightForWidth(textWidth));
        layout()->activate();
        const QSize least = layout()->totalMinimumSize();
        const int boxWidth = std::max(least.width(), chrome + textWidth);
        const int boxHeight =
            layout()->hasHeightForWidth()
                ? std::max(least.height(), layout()->totalHeightForWidth(boxWidth))
                : least.height();
        setFixedSize(boxWidth, boxHeight);
        // What the changes above asked for is done: Qt's own sizing would undo it.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    }

    static constexpr int kReadableChars = 30; // narrower is hard to read
    static constexpr int kUnownedWidth = 500; // a box of no window: as Qt's widest
    static constexpr int kScreenMargin = 40;
};

// Where a long line may wrap besides its blanks: after the commas of a list of values and
// after the separators of a path ("/dev/ttyUSB0", "\\.\COM10"), which has no blanks.
QString WithBreakOpportunities(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        out += c;
        if (c == QLatin1Char(',') || c == QLatin1Char('/') || c == QLatin1Char('\\'))
            out += QChar(0x200B); // zero-width space
    }
    return out;
}

void DefaultMessageBox(const QString& text, QMessageBox::Icon icon) {
    QString title = QGuiApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QCoreApplication::applicationName();
    FittedMessageBox box(icon, title, WithBreakOpportunities(text), QMessageBox::Ok,
                         QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

MessageFunction& Installed() {
    static MessageFunction function;
    return function;
}

struct Held {
    int depth = 0;
    std::vector<std::pair<QString, QMessageBox::Icon>> messages;
};

Held& HeldMessages() {
    static Held held;
    return held;
}

void Show(const QString& text, QMessageBox::Icon icon) {
    if (HeldMessages().depth > 0) {
        HeldMessages().messages.emplace_back(text, icon);
        return;
    }
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

void ShowWarningMessage(const QString& text) {
    Show(text, QMessageBox::Warning);
}

ScopedHeldMessages::ScopedHeldMessages() {
    ++HeldMessages().depth;
}

ScopedHeldMessages::~ScopedHeldMessages() {
    if (--HeldMessages().depth > 0)
        return;
    const auto messages = std::move(HeldMessages().messages);
    HeldMessages().messages.clear();
    for (const auto& [text, icon] : messages)
        Show(text, icon);
}

MessageFunction SetMessageFunction(MessageFunction f) {
    MessageFunction old = std::move(Installed());
    Installed() = std::move(f);
    return old;
}

} // namespace comsetup
