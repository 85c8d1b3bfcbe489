// TRangeEdit: value model, change normalisation, exit check and keyboard handling.
//
// Text assignments go through AssignText, which does nothing for an equal text; a
// different text raises textChanged at once, so Change runs to completion on the new text
// before the assignment returns and later steps see the settled text.
#include "widgets/range_edit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPalette>

#include <QThread>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "widgets/base_conv.h"
#include "widgets/decimal_separator.h"
#include "widgets/decimal_text.h"
#include "widgets/key_map.h"
#include "widgets/message_box.h"

using namespace comsetup;

namespace {

std::string Std(const QString& s) {
    return s.toStdString();
}
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The locale separator as the one-byte character the decimal texts use. A separator
// outside ASCII could never survive the field's character filter, so '.' stands in.
char Separator() {
    const QChar c = DecimalSeparator();
    return c.unicode() > 0 && c.unicode() < 128 ? static_cast<char>(c.unicode()) : '.';
}

// Texts that are a sign or a separator without digits: GetValue/GetFloatValue keep the
// last value for them.
bool IsBareSign(const QString& t) {
    return t == QLatin1String("-") || t == QLatin1String("-.") || t == QLatin1String("-,") ||
           t == QLatin1String(",") || t == QLatin1String(".");
}

bool HasSeparator(const QString& t) {
    return t.contains('.') || t.contains(',');
}
bool HasSeparator(const std::string& t) {
    return t.find_first_of(".,") != std::string::npos;
}
bool HasMisplacedMinus(const QString& t) {
    return t.indexOf('-') > 0;
}

// After formatting with the locale separator, puts back the character the user typed.
void RestoreTypedSeparator(std::string& s, char separator, char typed) {
    if (typed == '\0' || !HasSeparator(s))
        return;
    const std::size_t at = s.find(separator);
    if (at != std::string::npos)
        s[at] = typed;
}

bool IsSeparatorKey(std::uint16_t key) {
    return key == vk::Decimal || key == vk::OemPeriod || key == vk::OemComma;
}

NumberBase ToNumberBase(TRangeEdit::TBase b) {
    return static_cast<NumberBase>(b);
}

const QString kPositiveOnly = QStringLiteral("Il valore deve essere positivo !!!!");
const QString kBadBcd = QStringLiteral("Codice BCD scorretto");
// The stepping keys report the same fault with this spelling.
const QString kBadBcdWhileStepping = QStringLiteral("Codice BCD scorreto");

} // namespace

TRangeEdit::TRangeEdit(QWidget* parent) : QLineEdit(parent) {
    normalColor_ = palette().color(QPalette::Button);
    errorColor_ = QColor(Qt::red);
    SetColor(normalColor_);
    formatMask_ = Q(FormatMaskFor(numDec_));
    connect(this, &QLineEdit::textChanged, this, &TRangeEdit::Change);
    AssignText(lastText_);
    validKeys_ = ValidKeysFor(NumberBase::Decimal);
}

void TRangeEdit::AssignText(const QString& t) {
    if (t != text())
        setText(t);
}

// ---- value -------------------------------------------------------------------------------

std::int32_t TRangeEdit::GetValue() {
    if (IsBareSign(text()))
        return lastInt_;
    const char separator = Separator();
    if (text().isEmpty())
        AssignText(QStringLiteral("0"));
    std::string copy = text().isEmpty() ? std::string("0") : Std(text());
    AdaptSeparator(copy, separator);
    std::optional<long double> v = ParseReal(copy, separator);
    if (!v)
        v = ParseReal(Std(lastText_), separator);
    const std::optional<std::int32_t> rounded = RoundToField(v ? *v : lastInt_);
    const std::int32_t result = rounded ? *rounded : lastInt_;
    if (RangeInForce() && (result > maxVal_ || result < minval_))
        return lastInt_;
    return result;
}

long double TRangeEdit::GetFloatValue() {
    if (IsBareSign(text()))
        return lastFloat_;
    const char separator = Separator();
    if (text().isEmpty())
        AssignText(QStringLiteral("0"));
    std::string copy = text().isEmpty() ? std::string("0") : Std(text());
    AdaptSeparator(copy, separator);
    if (const std::optional<long double> exact = ParseReal(copy, separator))
        copy = FormatDecimals(*exact, numDec_, separator);
    const std::optional<long double> parsed = ParseReal(copy, separator);
    long double v = parsed ? *parsed : lastFloat_;
    if (RangeInForce() && (v > maxVal_ || v < minval_))
        v = lastFloat_;
    return v;
}

void TRangeEdit::SetValue(long double x) {
    AssignText(Q(FormatGeneral(x, Separator())));
    lastText_ = text(); // what a refused key puts back
}

void TRangeEdit::SetNumDec(std::uint8_t n) {
    numDec_ = n;
    formatMask_ = Q(FormatMaskFor(n));
}

// ---- colours -----------------------------------------------------------------------------

QColor ReadableTextColor(const QColor& background, const QColor& themeText) {
    // Perceived lightness, 0..255.
    const auto luma = [](const QColor& c) {
        return (299 * c.red() + 587 * c.green() + 114 * c.blue()) / 1000;
    };
    if (std::abs(luma(background) - luma(themeText)) >= 96)
        return themeText; // the theme's own colour reads well on it
    return luma(background) >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

void TRangeEdit::SetColor(const QColor& c) {
    color_ = c;
    // A background set from code (white, the error red) keeps a text that reads on it: the
    // theme's text colour would be white on white under a dark theme.
    // A disabled field keeps the theme's greyed look, so that it reads as not in use.
    QPalette p = palette();
    const QPalette theme = QApplication::palette(this);
    const QColor text = ReadableTextColor(c, theme.color(QPalette::Text));
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Base, c);
        p.setColor(group, QPalette::Text, text);
    }
    p.setColor(QPalette::Disabled, QPalette::Base, theme.color(QPalette::Disabled, QPalette::Base));
    p.setColor(QPalette::Disabled, QPalette::Text, theme.color(QPalette::Disabled, QPalette::Text));
    setPalette(p);
}

void TRangeEdit::SetNormalColor(const QColor& c) {
    SetColor(c);
    normalColor_ = c;
}

void TRangeEdit::ShowErrorColorNow() {
    SetColor(errorColor_);
    repaint();
    // Posted work (paints, timers) runs; user input waits, so no key handler re-enters.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TRangeEdit::FlashError() {
    ShowErrorColorNow();
    QThread::msleep(50);
    SetColor(normalColor_);
}

void TRangeEdit::RefuseKeepingLastText() {
    ShowErrorColorNow();
    AssignText(lastText_);
    suppressCharacter_ = true;
}

// ---- lengths -----------------------------------------------------------------------------

void TRangeEdit::SetLungBin(int n) {
    if (n >= 0)
        lungBin_ = n;
}
void TRangeEdit::SetLungEsa(int n) {
    if (n >= 0)
        lungEsa_ = n;
}
void TRangeEdit::SetLungOct(int n) {
    if (n >= 0)
        lungOct_ = n;
}
void TRangeEdit::SetLungBCD(int n) {
    if (n >= 0)
        lungBCD_ = n;
}
void TRangeEdit::SetLungDec(int n) {
    if (n >= 0)
        lungDec_ = n;
}

int TRangeEdit::LengthLimitOfBase() const {
    switch (base_) {
    case Binario:
        return lungBin_;
    case Esadecimale:
        return lungEsa_;
    case Ottale:
        return lungOct_;
    case BCD:
        return lungBCD_;
    case Decimale:
        break;
    }
    return lungDec_;
}

// ---- change and exit ---------------------------------------------------------------------

void TRangeEdit::Change() {
    emit OnChange();

    if (hasFocus()) {
        const int caret = cursorPosition();
        AssignText(text().toUpper());
        setCursorPosition(caret);
    }

    const int limit = LengthLimitOfBase();
    if (limit > 0 && text().size() > limit)
        AssignText(lastText_);

    // Foreign characters and misplaced minus signs go in one assignment each. Taking them
    // out one per run settles on the same text, but nests one run per character, and a
    // long paste would exhaust the stack.
    QString t = text();
    QString kept;
    kept.reserve(t.size());
    for (const QChar c : t) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '.' || c == ',' || c == '-')
            kept.append(c);
    }
    AssignText(kept);

    t = text();
    if (HasMisplacedMinus(t))
        AssignText(t.remove('-'));

    if (text().contains(QLatin1String(",-")) || text().contains(QLatin1String(".-"))) {
        AssignText(lastText_);
        FlashError();
    }

    t = text();
    if (t.startsWith('-') && t.indexOf('-', 1) > 0)
        AssignText(QLatin1Char('-') + t.mid(1).remove('-'));

    if (base_ == Decimale) {
        lastInt_ = GetValue();
        lastFloat_ = GetFloatValue();
    }
}

void TRangeEdit::DoExit() {
    emit OnExit();
    bool refused = false;
    if (base_ == Decimale) {
        const char separator = Separator();
        char typed = '\0';
        if (text().isEmpty())
            AssignText(QStringLiteral("0"));
        std::string s = Std(text());
        const bool dashDot = s == "-.";
        const bool dashComma = s == "-,";
        if (!dashDot && !dashComma)
            typed = AdaptSeparator(s, separator);
        if (!dashComma) {
            if (const std::optional<long double> v = ParseReal(s, separator))
                s = FormatDecimals(*v, numDec_, separator);
        }
        if (lungDec_ <= 0) {
            if (s == "-" || s == "-." || s == "-,") {
                refused = true;
            } else if (maxVal_ != 0 && minval_ != 0) {
                // A text that is no number is refused like an out-of-range one.
                const std::optional<long double> v = ParseReal(s, separator);
                refused = !v || *v > maxVal_ || *v < minval_;
            }
        }
        if (s != "-." && s != "-,") {
            RestoreTypedSeparator(s, separator, typed);
            AssignText(Q(s));
        }
    } else if (base_ == BCD) {
        try {
            const std::string digits = BCDToDec(Std(text()));
            if (digits.find('E') != std::string::npos) {
                refused = true;
            } else {
                const std::int32_t n = StrToInt32(digits);
                refused = !(minval_ < n && n < maxVal_);
            }
        } catch (const ConversionError&) {
            refused = true; // empty or non-digit text: refused, not an error escaping
        }
    }

    if (refused) {
        FlashError();
        // A field being hidden loses the focus too; only a visible one can take it back.
        if (isVisible())
            setFocus(Qt::OtherFocusReason);
        setCursorPosition(static_cast<int>(text().size()));
    } else {
        SetColor(normalColor_);
    }
}

// ---- bases -------------------------------------------------------------------------------

void TRangeEdit::SetBase(TBase b) {
    const TBase old = base_;
    QString newText = QStringLiteral("0");
    if (convertiValore_) {
        if (old == b) {
            newText = text();
        } else {
            QString refusal;
            try {
                const std::optional<std::string> converted = ConvertedText(old, b, refusal);
                if (converted)
                    newText = Q(*converted);
            } catch (const ConversionError& e) {
                // The field keeps its old state entirely; the user learns why.
                refusal = QString::fromStdString(e.what());
            }
            if (!refusal.isEmpty()) {
                ShowMessage(refusal);
                return;
            }
        }
    }
    base_ = b;
    AssignText(newText);
    validKeys_ = ValidKeysFor(ToNumberBase(b));
    lastText_ = text();
    noSeparator_ = noMinus_ = b != Decimale;
    setEnabled(true);
}

std::optional<std::string> TRangeEdit::ConvertedText(TBase from, TBase to, QString& refusal) {
    std::string t = Std(text());
    if (from == Decimale) {
        if (t.find('-') != std::string::npos) {
            refusal = kPositiveOnly;
            return std::nullopt;
        }
        if (HasSeparator(t)) {
            const long double whole = std::trunc(GetFloatValue());
            if (!(std::fabs(whole) < 9223372036854775808.0L))
                throw ConversionError(InvalidIntegerMessage(FormatGeneral(whole, Separator())));
            t = IntToDec(static_cast<std::int64_t>(whole));
        }
        switch (to) {
        case Binario:
            return IntToBin(StrToInt32(t));
        case Esadecimale:
            return IntToHex(StrToInt32(t));
        case Ottale:
            return BinToOct(IntToBin(StrToInt32(t)));
        case BCD:
            return DecToBCD(t);
        case Decimale:
            break;
        }
        return t;
    }
    if (from == BCD) {
        const std::string d = BCDToDec(t);
        if (d.find('E') != std::string::npos) {
            refusal = kBadBcd;
            return std::nullopt;
        }
        switch (to) {
        case Binario:
            return IntToBin(StrToInt32(d));
        case Esadecimale:
            return IntToHex(StrToInt32(d));
        case Ottale:
            return BinToOct(IntToBin(StrToInt32(d)));
        case Decimale:
        case BCD:
            break;
        }
        return d;
    }
    // Binary, hexadecimal and octal all pass through the binary text.
    const std::string bits = from == Binario ? t : from == Esadecimale ? HexToBin(t) : OctToBin(t);
    switch (to) {
    case Decimale:
        return IntToDec(BinToInt(bits));
    case Binario:
        return bits;
    case Esadecimale:
        return IntToHex(BinToInt(bits));
    case Ottale:
        return BinToOct(bits);
    case BCD:
        return DecToBCD(IntToDec(BinToInt(bits)));
    }
    return bits;
}

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

// ---- Qt event plumbing -------------------------------------------------------------------

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

void TRangeEdit::focusInEvent(QFocusEvent* e) {
    // A field filled by its form or by code has not seen a key yet: what it shows is what a
    // refused key must put back, not the "0" it was created with.
    lastText_ = text();
    QLineEdit::focusInEvent(e);
}

void TRangeEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    // Only a move of the focus to another control is a leave; the window losing
    // activation or a popup opening is not.
    const Qt::FocusReason r = e->reason();
    if (r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason ||
        r == Qt::MenuBarFocusReason)
        return;
    DoExit();
}
