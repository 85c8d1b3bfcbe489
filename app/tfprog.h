// The progress dialog: one line of progress text, "Cancel" while a download runs and "OK" once
// it has ended. Not modal: the wizard stays usable while it is shown. Esc presses "Cancel"
// while it is visible; closing the dialog hides it without cancelling anything.
#pragma once

#include <QDialog>

#include <atomic>
#include <memory>

namespace Ui {
class Tfprog;
}

// Set by "Cancel"; cleared and polled by each download.
extern std::atomic<bool> CancelSetup;

class Tfprog : public QDialog {
    Q_OBJECT
public:
    explicit Tfprog(QWidget* parent = nullptr);
    ~Tfprog() override;

    Ui::Tfprog& Form() { return *ui; }

public slots:
    // "OK": hides the dialog; it stays for the next download.
    void btnOKClick(QObject* Sender);
    // "Cancel": asks the running download to stop at its next look at the flag.
    void BtnCancelClick(QObject* Sender);

    // Esc: presses "Cancel" when it is visible; never closes the dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::Tfprog> ui;
};

extern Tfprog* fprog;
