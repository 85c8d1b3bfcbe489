// TRangeEdit's keyboard: what each key does (KeyDown, KeyUp), the stepping keys, and the Qt key
// events that reach them.
#include "widgets/range_edit.h"

#include <QKeyEvent>

#include <optional>
#include <string>

#include "widgets/decimal_text.h"
#include "widgets/key_map.h"
#include "widgets/message_box.h"
#include "widgets/range_edit_text.h"

using namespace comsetup;
using namespace comsetup::range_edit_detail;

namespace {

// The stepping keys report a bad BCD code with this spelling.
const QString kBadBcdWhileStepping = QStringLiteral("Codice BCD scorreto");

} // namespace

// ---- keyboard ----------------------------------------------------------------------------

void TRangeEdit::KeyDown(std::uint16_t& Key, ShiftState Shift) {
    suppressCharacter_ = false;
    const char separator = Separator();
    bool accept = false;

    if (Key == vk::OemMinus || Key == vk::Subtract) {
        if (text().startsWith('-')) {
            accept = false;
            lastText_ = text();
        } else {
            accept = !noMinus_;
        }
        if (text().contains('-'))
            AssignText(lastText_);
    }

    if (IsSeparatorKey(Key)) {
        accept = !noSeparator_ && (!HasSeparator(text()) || HasSeparator(selectedText()));
    }

    if ((Key == vk::Down || Key == vk::Up) && !isReadOnly()) {
        int step = 1;
        if (Shift == ssAlt)
            step = 10;
        else if (Shift == ssCtrl)
            step = 100;
        else if (Shift == (ssAlt | ssCtrl))
            step = 1000;
        const int delta = Key == vk::Down ? -step : step;
        if (base_ == Decimale)
            StepDecimal(delta, separator);
        else
            StepOtherBase(delta);
    }

    if (!(Contains(validKeys_, Key) || accept)) {
        Key = 0;
        ShowErrorColorNow();
        AssignText(lastText_);
        if (!text().isEmpty())
            setCursorPosition(static_cast<int>(text().size()));
        suppressCharacter_ = true;
    } else if (isInteger_ && IsSeparatorKey(Key)) {
        RefuseKeepingLastText();
    } else {
        lastText_ = text();
    }

    const bool digitKey = Key >= vk::Key0 && Key <= vk::Key9;
    if ((digitKey && Shift == (ssShift | ssAlt)) || (Key == vk::Key5 && Shift == (ssAlt | ssCtrl)))
        RefuseKeepingLastText();

    if (HasMisplacedMinus(text()) && !accept)
        RefuseKeepingLastText();

    emit OnKeyDown(Key, Shift);
}

void TRangeEdit::StepDecimal(int delta, char separator) {
    if (!text().isEmpty())
        AssignText(Q(LeadingNumber(Std(text()))));
    if (text() == QLatin1String(".") || text() == QLatin1String("-") ||
        text() == QLatin1String("-."))
        AssignText(QString());

    long double v = 0;
    char noted = '\0';
    if (!text().isEmpty()) {
        std::string t = Std(text());
        noted = AdaptSeparator(t, separator);
        AssignText(Q(t));
        // A text that still is no number (',' or '-,') steps from 0, as an empty one.
        v = ParseReal(Std(text()), separator).value_or(0);
    }
    v += delta;
    if (RangeInForce()) {
        if (v > maxVal_)
            v = maxVal_;
        if (v < minval_)
            v = minval_;
    }
    std::string s = FormatDecimals(v, numDec_, separator);
    RestoreTypedSeparator(s, separator, noted);
    AssignText(Q(s));
}

void TRangeEdit::StepOtherBase(int delta) {
    const std::string t = Std(text());
    std::int32_t n = 0;
    try {
        switch (base_) {
        case Binario:
            n = BinToInt(t);
            break;
        case Ottale:
            n = BinToInt(OctToBin(t));
            break;
        case Esadecimale:
            n = BinToInt(HexToBin(t));
            break;
        case BCD: {
            const std::string d = BCDToDec(t);
            if (d.find('E') != std::string::npos)
                ShowMessage(kBadBcdWhileStepping);
            else
                n = StrToInt32(d);
            break;
        }
        case Decimale:
            break;
        }
    } catch (const ConversionError&) {
        n = 0; // an unreadable text steps from 0, as an empty one
    }
    // 32-bit arithmetic, then never below 0.
    auto stepped = static_cast<std::int32_t>(static_cast<std::uint32_t>(n) +
                                             static_cast<std::uint32_t>(delta));
    if (stepped < 0)
        stepped = 0;
    std::string out;
    switch (base_) {
    case Binario:
        out = IntToBin(stepped);
        break;
    case Esadecimale:
        out = IntToHex(stepped);
        break;
    case Ottale:
        out = BinToOct(IntToBin(stepped));
        break;
    case BCD:
        out = DecToBCD(IntToDec(stepped));
        break;
    case Decimale:
        return;
    }
    AssignText(Q(out));
}

void TRangeEdit::KeyUp(std::uint16_t& Key, ShiftState Shift) {
    if (HasMisplacedMinus(text())) {
        Key = 0;
        AssignText(lastText_);
        FlashError();
    }
    lastText_ = text();
    const bool caretKey = Key == vk::Left || Key == vk::Right || Key == vk::Up || Key == vk::Down ||
                          Key == vk::Shift || Key == vk::Home;
    if (color_ == errorColor_ && !text().isEmpty() && !caretKey)
        setCursorPosition(static_cast<int>(text().size()));
    SetColor(normalColor_);
    emit OnKeyUp(Key, Shift);
}

bool TRangeEdit::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // Keys the field steps or flags with Alt held must reach it, not a shortcut.
        const auto* k = static_cast<QKeyEvent*>(e);
        const std::uint16_t code = VirtualKeyOf(*k);
        const ShiftState mods = ShiftStateOf(*k) & (ssShift | ssAlt | ssCtrl);
        const bool arrow = code == vk::Up || code == vk::Down;
        const bool flaggedDigit = code >= vk::Key0 && code <= vk::Key9 &&
                                  (mods == (ssShift | ssAlt) || mods == (ssAlt | ssCtrl));
        if (arrow || flaggedDigit) {
            e->accept();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void TRangeEdit::keyPressEvent(QKeyEvent* e) {
    std::uint16_t key = VirtualKeyOf(*e);
    const bool stepping = (key == vk::Up || key == vk::Down) && !isReadOnly();
    KeyDown(key, ShiftStateOf(*e));
    if (key == 0 || suppressCharacter_ || stepping) {
        // Refused or flagged keys type nothing; stepping keys are fully handled here.
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void TRangeEdit::keyReleaseEvent(QKeyEvent* e) {
    // A held key repeats presses only; its release comes once, when it is let go.
    if (!e->isAutoRepeat()) {
        std::uint16_t key = VirtualKeyOf(*e);
        KeyUp(key, ShiftStateOf(*e));
    }
    QLineEdit::keyReleaseEvent(e);
}
