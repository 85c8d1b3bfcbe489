// The application's one modal message function.
//
// Every user message of the program (the numeric field's own messages, the windows' errors,
// the general error report) goes through ShowMessage. The default shows a modal box with the
// application's title, the text and a single OK button, and returns when the user closes it.
// Tests and other front ends replace it with SetMessageFunction.
#pragma once

#include <QString>
#include <functional>

namespace comsetup {

using MessageFunction = std::function<void(const QString& text)>;

// Shows text modally through the installed message function (GUI thread only).
void ShowMessage(const QString& text);

// The same for an error the user must act on: the default box shows the error icon.
void ShowErrorMessage(const QString& text);

// The same for a value refused or a warning before going on: the default box shows the
// warning icon.
void ShowWarningMessage(const QString& text);

// Installs f and returns the function that was installed before. An empty f puts the
// default modal box back.
MessageFunction SetMessageFunction(MessageFunction f);

// Installs a message function for the lifetime of the object, then restores the old one.
class ScopedMessageFunction {
public:
    explicit ScopedMessageFunction(MessageFunction f) : old_(SetMessageFunction(std::move(f))) {}
    ~ScopedMessageFunction() { SetMessageFunction(std::move(old_)); }
    ScopedMessageFunction(const ScopedMessageFunction&) = delete;
    ScopedMessageFunction& operator=(const ScopedMessageFunction&) = delete;

private:
    MessageFunction old_;
};

// While one lives, messages wait and are shown, in order and with their icons, when the last
// one ends: a modal box would hold a caller that waits in the event loop (a running download,
// whose pauses would stretch while the box is open) until the user closed it.
class ScopedHeldMessages {
public:
    ScopedHeldMessages();
    ~ScopedHeldMessages();
    ScopedHeldMessages(const ScopedHeldMessages&) = delete;
    ScopedHeldMessages& operator=(const ScopedHeldMessages&) = delete;
};

} // namespace comsetup
