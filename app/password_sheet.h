// PasswordSheet: the window-modal sheet that asks for the password of an encrypted iPhone backup. "Open"
// hands the password to the model, which derives the key on its worker: that takes seconds and tells no
// progress, so a spinner turns meanwhile and the sheet stays free to be cancelled. A password that does not
// open the backup leaves the sheet up with the reason, for another try. The sheet closes itself when the
// history no longer asks (it opened, or failed in another way). The password lives in the field only until
// it is handed over.
//
//   auto* sheet = new PasswordSheet(model, window);    // when model.passwordRequest().asked
//   sheet->open();
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/app_model.h"
#include "app/widgets.h"

namespace quillmark::app {

class PasswordSheet : public QDialog {
    Q_OBJECT

public:
    explicit PasswordSheet(AppModel& model, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QPushButton* openButton() const { return open_; }
    QLabel* failureLabel() const { return failure_; }
    bool busy() const { return busy_->isVisibleTo(this); }

protected:
    void done(int result) override;
    void changeEvent(QEvent* event) override;

private:
    void showFailureColour();
    void follow();
    void unlock();

    AppModel& model_;
    QLabel* backup_;
    QLineEdit* field_;
    QLabel* failure_;
    QWidget* busy_;
    QPushButton* open_;
};

}  // namespace quillmark::app
