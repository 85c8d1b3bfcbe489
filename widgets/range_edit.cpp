// TRangeEdit: value model, change normalisation and exit check (the keys: range_edit_keys.cpp).
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
#include "widgets/range_edit_text.h"

using namespace comsetup;
using namespace comsetup::range_edit_detail;

namespace {

const QString kPositiveOnly = QStringLiteral("Il valore deve essere positivo !!!!");
const QString kBadBcd = QStringLiteral("Codice BCD scorretto");

} // namespace

TRangeEdit::TRangeEdit(QWidget* parent) : QLineEdit(parent) {
    normalColor_ = palette().color(QPalette::Button);
    errorColor_ = QColor(Qt::red);
    SetColor(normalColor_);
    formatMask_ = Q(FormatMaskFor(numDec_));
    connect(this, &QLineEdit::textChanged, this, &TRangeEdit::Change);
    AssignText(lastText_);
    validKeys_ = ValidKeysFor(Decimale);
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
    validKeys_ = ValidKeysFor(b);
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

// ---- Qt event plumbing -------------------------------------------------------------------

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
