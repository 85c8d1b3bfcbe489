// The forms' combo boxes, made readable where the form leaves them narrow: the drop-down list
// is as wide as its widest entry (a device path with what the system calls the device, "XON/XOFF
// pass characters to host"), an entry's description is drawn after it in the list, a text cut
// in the closed box ends in "..." and the box's tooltip then holds it whole, with the
// description of the chosen entry.
#pragma once

#include <QComboBox>

namespace comsetup {

class ComboBox : public QComboBox {
    Q_OBJECT
public:
    // An entry's description (a QString item data): shown after it in the list, not part of
    // its text, which is what the box holds when the entry is chosen.
    static constexpr int kDescriptionRole = Qt::UserRole + 1;

    explicit ComboBox(QWidget* parent = nullptr);

    void showPopup() override;

    // The current text, with the description of the entry it is (chosen or not) when it has one.
    QString FullText() const;

protected:
    void initStyleOption(QStyleOptionComboBox* option) const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The room the box has for its current text.
    int TextRoom() const;
    void UpdateToolTip();

    bool describing_ = false; // the list's delegate draws the descriptions
};

} // namespace comsetup
