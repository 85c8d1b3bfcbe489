// A small window showing numeric entry fields in action: an address, a port, and fields
// in hexadecimal and binary. Type, leave a field, or step with Up/Down (Alt: 10, Ctrl:
// 100, Ctrl+Alt: 1000); the label below shows what GetValue reads.
#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>

#include "widgets/range_edit.h"

namespace {

TRangeEdit* MakeField(QWidget* parent, long double minval, long double maxval, long double value) {
    auto* field = new TRangeEdit(parent);
    field->SetMinval(minval);
    field->SetMaxVal(maxval);
    field->SetNormalColor(Qt::white);
    field->SetValue(value);
    field->setFixedWidth(60);
    return field;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Numeric field example"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Numeric fields"));
    auto* form = new QFormLayout(&window);

    auto* addressRow = new QHBoxLayout;
    TRangeEdit* address[4];
    const int defaults[4] = {192, 168, 1, 200};
    for (int i = 0; i < 4; ++i) {
        address[i] = MakeField(&window, 0, 255, defaults[i]);
        addressRow->addWidget(address[i]);
    }
    form->addRow(QStringLiteral("IP address"), addressRow);

    TRangeEdit* port = MakeField(&window, 0, 65536, 10001);
    form->addRow(QStringLiteral("Local port"), port);

    TRangeEdit* ratio = MakeField(&window, 0, 0, 1.5);
    form->addRow(QStringLiteral("Any real (no range)"), ratio);

    TRangeEdit* hex = MakeField(&window, 0, 0, 255);
    hex->SetConvertiValore(true);
    hex->SetBase(TRangeEdit::Esadecimale);
    form->addRow(QStringLiteral("Hexadecimal"), hex);

    TRangeEdit* binary = MakeField(&window, 0, 0, 12);
    binary->SetConvertiValore(true);
    binary->SetBase(TRangeEdit::Binario);
    form->addRow(QStringLiteral("Binary"), binary);

    auto* readout = new QLabel(&window);
    form->addRow(QStringLiteral("GetValue"), readout);
    auto refresh = [=] {
        QStringList parts;
        for (TRangeEdit* f : address)
            parts << QString::number(f->GetValue());
        readout->setText(parts.join('.') + QStringLiteral(" : ") +
                         QString::number(port->GetValue()));
    };
    for (TRangeEdit* f : address)
        QObject::connect(f, &TRangeEdit::OnChange, readout, refresh);
    QObject::connect(port, &TRangeEdit::OnChange, readout, refresh);
    refresh();

    window.show();
    return app.exec();
}
