// Choices of the windows' combo boxes. The wizard hands its combo boxes to the main setup
// window by the position of the chosen entry, so an editable box must report "no entry
// chosen" (-1) as soon as the user types into it, while keeping what was typed.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;

namespace comsetup {

// Puts an editable box into its form state: no entry chosen and `text` in its edit field.
void ShowTextWithoutChoice(QComboBox* box, const QString& text);

// From now on, typing into the editable box drops its chosen entry (position -1) but keeps
// the typed text and the caret; picking an entry from the list chooses it again. The box
// does not complete typed text from its entries, so what is typed is what it holds.
void ForgetChoiceWhenTyped(QComboBox* box);

// The entries of the port lists: "COM1".."COM9", then the serial devices the system has
// (their device paths), in the order given, then "Auto" (search them all for the converter).
QStringList PortListEntries(const QStringList& devicesFound);

// The box shows the start of its text when not being typed into (a narrow box would show the
// tail of a long device path) and the whole text as its tooltip.
void ShowStartOfName(QComboBox* box);

// The serial devices present on this system, by device path.
QStringList SerialDevicesFound();

// Replaces the entries of a port list, keeping its chosen position and its text.
void SetPortListEntries(QComboBox* box, const QStringList& entries);

} // namespace comsetup
