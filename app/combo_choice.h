// Choices of the windows' combo boxes. The wizard hands its combo boxes to the main setup
// window by the position of the chosen entry, so an editable box must report "no entry
// chosen" (-1) as soon as the user types into it, while keeping what was typed.
#pragma once

#include <QList>
#include <QString>

class QComboBox;

namespace comsetup {

// Puts an editable box into its form state: no entry chosen and `text` in its edit field.
void ShowTextWithoutChoice(QComboBox* box, const QString& text);

// From now on, typing into the editable box drops its chosen entry (position -1) but keeps
// the typed text and the caret; picking an entry from the list chooses it again. The box
// does not complete typed text from its entries, so what is typed is what it holds.
void ForgetChoiceWhenTyped(QComboBox* box);

// An entry of a port list: the name the download opens ("COM3", "/dev/ttyUSB0") and what the
// system says the port is ("FT232R USB UART", the device a COM name opens), or nothing.
struct PortEntry {
    QString name;
    QString description;
};
using PortEntries = QList<PortEntry>;

// The entries of the port lists: "COM1".."COM9", then the serial devices the system has
// (their device paths), in the order given, then "Auto" (search them all for the converter).
// A device found under one of the COM names describes that entry instead.
PortEntries PortListEntries(const PortEntries& devicesFound);

// The box shows the start of its text when not being typed into (a narrow box would show the
// tail of a long device path); its tooltip holds the whole (ComboBox).
void ShowStartOfName(QComboBox* box);

// The serial devices present on this system, by device path, with the system's description.
PortEntries SerialDevicesFound();

// Replaces the entries of a port list, with their descriptions (ComboBox::kDescriptionRole),
// keeping its chosen position and its text.
void SetPortListEntries(QComboBox* box, const PortEntries& entries);

} // namespace comsetup
