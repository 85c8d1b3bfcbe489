// The progress dialog.
#include "app/tfprog.h"

#include "ui_tfprog.h"

#include "app/embedded_pictures.h"
#include "app/window_geometry.h"

#include <QCloseEvent>
#include <QIcon>
#include <QShowEvent>

std::atomic<bool> CancelSetup{false};
Tfprog* fprog = nullptr;

static QIcon Glyph(const QString& name) {
    using comsetup::AlphaPicture, comsetup::kGlyphSize;
    QIcon icon;
    icon.addPixmap(AlphaPicture(name, kGlyphSize), QIcon::Normal);
    icon.addPixmap(AlphaPicture(name + QStringLiteral("_disabled"), kGlyphSize), QIcon::Disabled);
    return icon;
}

Tfprog::Tfprog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfprog>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(265, 79);
    setModal(false);
    ui->BtnCancel->setIcon(Glyph(QStringLiteral("glyph_cancel")));
    ui->btnOK->setIcon(Glyph(QStringLiteral("glyph_ok")));
    connect(ui->btnOK, &QPushButton::clicked, this, [this] { btnOKClick(ui->btnOK); });
    connect(ui->BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(ui->BtnCancel); });
}

Tfprog::~Tfprog() = default;

void Tfprog::btnOKClick(QObject* /*Sender*/) {
    close();
}

void Tfprog::BtnCancelClick(QObject* /*Sender*/) {
    CancelSetup = true;
}

void Tfprog::reject() {
    if (ui->BtnCancel->isVisible())
        ui->BtnCancel->click();
}

void Tfprog::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        comsetup::CentreOnScreen(this);
    QDialog::showEvent(event);
}

void Tfprog::closeEvent(QCloseEvent* event) {
    // A plain hide: QDialog would treat the close box as Esc, that is as "Cancel".
    event->accept();
}
