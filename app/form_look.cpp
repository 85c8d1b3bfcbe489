// The look the forms were laid out for.
#include "app/form_look.h"

#include "app/system_fonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace comsetup {

void ApplyApplicationLook(QApplication& app) {
    QFont font = QApplication::font();
    // On Windows the system names its dialog font; under Wine that family may be missing.
    if (QGuiApplication::platformName() == QLatin1String("windows"))
        font = WithOfferedFamily(font);
    font.setPointSize(8);
    font.setStretch(QFont::SemiCondensed);
    app.setFont(font);
}

int GroupFrameTop(const QGroupBox* group) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QStyle* style = group->style();
    const auto rect = [&](QStyle::SubControl part) {
        return style->subControlRect(QStyle::CC_GroupBox, &option, part, group);
    };
    // Styles put the title on the frame line or above it: below both is clear either way.
    return std::max(rect(QStyle::SC_GroupBoxFrame).top(),
                    rect(QStyle::SC_GroupBoxLabel).bottom() + 1);
}

void KeepOffGroupFrames(QWidget* window) {
    constexpr int kGap = 2; // between the frame line and the text's cell
    for (QGroupBox* group : window->findChildren<QGroupBox*>()) {
        const int top = GroupFrameTop(group) + kGap;
        for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!qobject_cast<QLabel*>(child) && !qobject_cast<QAbstractButton*>(child))
                continue;
            const QRect r = child->geometry();
            if (r.top() >= top || r.bottom() <= top)
                continue;
            child->setGeometry(r.left(), top, r.width(), r.bottom() - top + 1);
            if (auto* label = qobject_cast<QLabel*>(child)) // its text close to its field
                label->setAlignment((label->alignment() & Qt::AlignHorizontal_Mask) |
                                    Qt::AlignBottom);
        }
    }
}

} // namespace comsetup
