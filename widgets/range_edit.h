// TRangeEdit: single-line entry field holding one number within a range.
//
// The field keeps its value only as text. Every change of the text is normalised (upper
// case while focused, per-base length limit, foreign characters and misplaced minus signs
// removed); the value is read on request as an integer (GetValue) or a real
// (GetFloatValue), falling back to the last good value for a text that is not a number or
// lies outside Minval..MaxVal; leaving the field reformats the text and refuses a bare
// sign; keys that do not suit the base are refused by showing ErrorColor until the key is
// released, and Up/Down step the number by 1, 10 (Alt), 100 (Ctrl) or 1000 (Ctrl+Alt).
// A field shows its number in one of five bases (Base); decimal is the one the windows use.
//
// The range is in force unless Minval and MaxVal are both 0. The decimal separator is the
// locale's, read at every use (widgets/decimal_separator.h); a user may type '.' or ','.
//
// Usable as a promoted QLineEdit in .ui forms; the properties below can be set there as
// dynamic properties of the same names (stdset="0", so uic calls setProperty), or from
// code through the Set... functions.
// GUI thread only.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "widgets/key_codes.h"

// The text colour for a field background: the theme's own when it reads well on it, else
// black on a light background and white on a dark one.
QColor ReadableTextColor(const QColor& background, const QColor& themeText);

class TRangeEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(double Minval READ MinvalAsDouble WRITE SetMinvalFromDouble)
    Q_PROPERTY(double MaxVal READ MaxValAsDouble WRITE SetMaxValFromDouble)
    Q_PROPERTY(bool IsInteger READ IsInteger WRITE SetIsInteger)
    Q_PROPERTY(int NumDec READ NumDecAsInt WRITE SetNumDecFromInt)
    Q_PROPERTY(QColor NormalColor READ NormalColor WRITE SetNormalColor)
    Q_PROPERTY(QColor ErrorColor READ ErrorColor WRITE SetErrorColor)
    Q_PROPERTY(TBase Base READ Base WRITE SetBase)
    Q_PROPERTY(int LungBin READ LungBin WRITE SetLungBin)
    Q_PROPERTY(int LungEsa READ LungEsa WRITE SetLungEsa)
    Q_PROPERTY(int LungOct READ LungOct WRITE SetLungOct)
    Q_PROPERTY(int LungBCD READ LungBCD WRITE SetLungBCD)
    Q_PROPERTY(int LungDec READ LungDec WRITE SetLungDec)
    Q_PROPERTY(bool ConvertiValore READ ConvertiValore WRITE SetConvertiValore)

public:
    // The bases of widgets/base_conv.h, also as TRangeEdit::Esadecimale and so on.
    using TBase = comsetup::TBase;
    using enum comsetup::TBase;

    using ShiftState = comsetup::ShiftState;

    explicit TRangeEdit(QWidget* parent = nullptr);

    // Value. GetValue/GetFloatValue write "0" into an empty field (a text change).
    std::int32_t GetValue();
    long double GetFloatValue();
    void SetValue(long double x);

    // Range and format.
    long double Minval() const { return minval_; }
    void SetMinval(long double v) { minval_ = v; }
    long double MaxVal() const { return maxVal_; }
    void SetMaxVal(long double v) { maxVal_ = v; }
    bool RangeInForce() const { return minval_ != maxVal_ || minval_ != 0; }
    bool IsInteger() const { return isInteger_; }
    void SetIsInteger(bool on) { isInteger_ = on; }
    std::uint8_t NumDec() const { return numDec_; }
    void SetNumDec(std::uint8_t n);
    const QString& FormatMask() const { return formatMask_; }

    // Colours. Color is the background shown now.
    QColor NormalColor() const { return normalColor_; }
    void SetNormalColor(const QColor& c);
    QColor ErrorColor() const { return errorColor_; }
    void SetErrorColor(const QColor& c) { errorColor_ = c; }
    QColor Color() const { return color_; }
    void SetColor(const QColor& c);

    // Base and per-base maximum text lengths (0: no limit; negative values are ignored).
    TBase Base() const { return base_; }
    void SetBase(TBase b);
    bool ConvertiValore() const { return convertiValore_; }
    void SetConvertiValore(bool on) { convertiValore_ = on; }
    int LungBin() const { return lungBin_; }
    void SetLungBin(int n);
    int LungEsa() const { return lungEsa_; }
    void SetLungEsa(int n);
    int LungOct() const { return lungOct_; }
    void SetLungOct(int n);
    int LungBCD() const { return lungBCD_; }
    void SetLungBCD(int n);
    int LungDec() const { return lungDec_; }
    void SetLungDec(int n);

    // State. LastText is also taken from the text when the field gets the focus and when
    // SetValue writes it.
    const QString& LastText() const { return lastText_; }
    std::int32_t LastInt() const { return lastInt_; }
    long double LastFloat() const { return lastFloat_; }
    bool NoMinus() const { return noMinus_; }
    bool NoSeparator() const { return noSeparator_; }
    const comsetup::KeySet& ValidKeys() const { return validKeys_; }

    // Refusal signal: ErrorColor, repaint, 50 ms pause (blocking), NormalColor.
    void FlashError();

    // Handlers, run by the field for its text changes, focus loss and key presses. Key is
    // a virtual-key code; setting it to 0 cancels the key.
    void Change();
    void DoExit();
    void KeyDown(std::uint16_t& Key, ShiftState Shift);
    void KeyUp(std::uint16_t& Key, ShiftState Shift);

signals:
    // The user's events: OnChange and OnExit run first in Change and DoExit, OnKeyDown and
    // OnKeyUp last in KeyDown and KeyUp (connect directly to see or change Key).
    void OnChange();
    void OnExit();
    void OnKeyDown(std::uint16_t& Key, comsetup::ShiftState Shift);
    void OnKeyUp(std::uint16_t& Key, comsetup::ShiftState Shift);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    double MinvalAsDouble() const { return static_cast<double>(minval_); }
    void SetMinvalFromDouble(double v) { minval_ = v; }
    double MaxValAsDouble() const { return static_cast<double>(maxVal_); }
    void SetMaxValFromDouble(double v) { maxVal_ = v; }
    int NumDecAsInt() const { return numDec_; }
    void SetNumDecFromInt(int n) { SetNumDec(static_cast<std::uint8_t>(n)); }

    void AssignText(const QString& t);
    int LengthLimitOfBase() const;
    // Text of the field converted from base `from` to `to`; nullopt with `refusal` set when
    // the value cannot be shown in the new base. Throws comsetup::ConversionError.
    std::optional<std::string> ConvertedText(TBase from, TBase to, QString& refusal);
    // ErrorColor and a repaint, then the last accepted text back (a flagged key-down).
    void RefuseKeepingLastText();
    void ShowErrorColorNow();
    void StepDecimal(int delta, char separator);
    void StepOtherBase(int delta);

    bool convertiValore_ = false;
    int lungBin_ = 0, lungDec_ = 0, lungEsa_ = 0, lungOct_ = 0, lungBCD_ = 0;
    bool noSeparator_ = false;
    bool noMinus_ = false;
    TBase base_ = Decimale;
    QString formatMask_;
    comsetup::KeySet validKeys_;
    QString lastText_ = QStringLiteral("0");
    long double minval_ = 0;
    long double maxVal_ = 0;
    bool isInteger_ = false;
    std::uint8_t numDec_ = 3;
    QColor normalColor_;
    QColor errorColor_;
    QColor color_;
    std::int32_t lastInt_ = 0;
    long double lastFloat_ = 0;

    // Set by a key-down that refused or flagged the key: its character must not be typed.
    bool suppressCharacter_ = false;
};
