// The forms' combo boxes.
#include "app/combo_box.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace comsetup {
namespace {

// Draws an entry as the box's own delegate does, then its description after it.
class DescribedEntryDelegate final : public QAbstractItemDelegate {
public:
    DescribedEntryDelegate(QAbstractItemDelegate* entry, QObject* parent)
        : QAbstractItemDelegate(parent), entry_(entry) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        entry_->paint(painter, option, index);
        const QString description = Description(index);
        if (description.isEmpty())
            return;
        QRect room = option.rect;
        room.setLeft(room.left() + entry_->sizeHint(option, index).width() + Gap(option));
        painter->save();
        painter->setFont(option.font);
        // Set apart from the name it describes, except where the entry is highlighted.
        painter->setPen(option.state & QStyle::State_Selected
                            ? option.palette.color(QPalette::HighlightedText)
                            : Between(option.palette.color(QPalette::Text),
                                      option.palette.color(QPalette::Base)));
        painter->drawText(room, Qt::AlignLeft | Qt::AlignVCenter, description);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = entry_->sizeHint(option, index);
        const QString description = Description(index);
        if (!description.isEmpty())
            size.rwidth() +=
                Gap(option) + option.fontMetrics.horizontalAdvance(description) + Gap(option);
        return size;
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        return entry_->editorEvent(event, model, option, index);
    }

    // A colour a third of the way from `text` to `base`: still easy to read, yet set apart.
    static QColor Between(const QColor& text, const QColor& base) {
        const auto third = [](int a, int b) { return a + (b - a) / 3; };
        return QColor(third(text.red(), base.red()), third(text.green(), base.green()),
                      third(text.blue(), base.blue()));
    }

    static int Gap(const QStyleOptionViewItem& option) {
        return option.fontMetrics.averageCharWidth() * 2;
    }

    static QString Description(const QModelIndex& index) {
        return index.data(ComboBox::kDescriptionRole).toString();
    }

private:
    QAbstractItemDelegate* entry_;
};

} // namespace

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::currentTextChanged, this, &ComboBox::UpdateToolTip);
    connect(this, &QComboBox::currentIndexChanged, this, &ComboBox::UpdateToolTip);
    // Entries and their descriptions may come after the text they describe.
    connect(model(), &QAbstractItemModel::rowsInserted, this, &ComboBox::UpdateToolTip);
    connect(model(), &QAbstractItemModel::dataChanged, this, &ComboBox::UpdateToolTip);
}

QString ComboBox::FullText() const {
    // A text typed or shown without a chosen entry is described by the entry it names.
    const int row = currentIndex() >= 0 ? currentIndex() : findText(currentText());
    const QString description = row >= 0 && itemText(row) == currentText()
                                    ? itemData(row, kDescriptionRole).toString()
                                    : QString();
    return description.isEmpty() ? currentText()
                                 : currentText() + QStringLiteral(" \u2014 ") + description;
}

void ComboBox::showPopup() {
    bool described = false;
    for (int i = 0; i < count() && !described; ++i)
        described = !itemData(i, kDescriptionRole).toString().isEmpty();
    if (described && !describing_) {
        setItemDelegate(new DescribedEntryDelegate(itemDelegate(), this));
        describing_ = true;
    }
    // Qt makes the list as wide as the box, or at most as the entries' texts: no wider than
    // the box for some styles, and never with room for the descriptions.
    QAbstractItemView* list = view();
    int widest = list->sizeHintForColumn(0) + 2 * list->frameWidth();
    if (count() > maxVisibleItems())
        widest += list->verticalScrollBar()->sizeHint().width();
    list->setMinimumWidth(std::max(widest, width()));
    QComboBox::showPopup();
}

int ComboBox::TextRoom() const {
    if (lineEdit())
        return lineEdit()->width();
    QStyleOptionComboBox option;
    QComboBox::initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    return field.width() - 2; // the styles draw the text a pixel in from either side
}

void ComboBox::initStyleOption(QStyleOptionComboBox* option) const {
    QComboBox::initStyleOption(option);
    // A closed box too narrow for its text shows that there is more; the tooltip holds it.
    if (!isEditable())
        option->currentText =
            fontMetrics().elidedText(option->currentText, Qt::ElideRight, TextRoom());
}

void ComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    UpdateToolTip();
}

void ComboBox::UpdateToolTip() {
    const QString full = FullText();
    const bool cut = fontMetrics().horizontalAdvance(currentText()) > TextRoom();
    setToolTip(full != currentText() || cut ? full : QString());
}

} // namespace comsetup
