// The monitor window.
#include "app/tfmonitor.h"

#include "ui_tfmonitor.h"

#include "app/window_geometry.h"

TFmonitor* Fmonitor = nullptr;

TFmonitor::TFmonitor(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFmonitor>()) {
    ui->setupUi(this);
    lines_ = std::make_unique<comsetup::MemoLines>(*ui->Memo1);
    comsetup::SetOuterSize(this, {423, 509}, {200, 150}, false);
    move(264, 230);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(ui->Button1); });
}

TFmonitor::~TFmonitor() = default;

void TFmonitor::Button1Click(QObject* /*Sender*/) {
    lines_->Clear();
}
