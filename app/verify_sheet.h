// VerifySheet: the window-modal sheet of "Verify an Export…". While the model checks the PDF it says so with a
// spinner; then it shows the file's name, the verdict's icon (a check-mark seal when the export is unchanged,
// an octagon otherwise), the outcome's title and explanation, "Verify Another…" and "Done". It follows the
// model's `verifying` and `verifyResult`; "Done" clears the result.
//
//   model.verify(path);
//   auto* sheet = new VerifySheet(model, window);
//   connect(sheet, &VerifySheet::anotherRequested, window, &MainWindow::verifyExport);
//   sheet->open();
#pragma once

#include <QDialog>
#include <QLabel>

#include "app/app_model.h"
#include "app/sheet_parts.h"

namespace quillmark::app {

class VerifySheet : public QDialog {
    Q_OBJECT

public:
    explicit VerifySheet(AppModel& model, QWidget* parent = nullptr);

    bool showsResult() const;
    const VerdictView* verdict() const { return verdict_; }
    QString resultText() const;

signals:
    void anotherRequested();

protected:
    void done(int result) override;

private:
    void follow();

    AppModel& model_;
    SheetPages* pages_;
    VerdictView* verdict_;
    QLabel* name_;
    QLabel* title_;
    QLabel* detail_;
};

}  // namespace quillmark::app
