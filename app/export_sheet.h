// ExportSheet: the window-modal sheet of an export, over the main window. It opens on the choices (`choose`):
// the layout cards, the format, and a summary of what goes out; the destination is asked for with the
// desktop's own dialog; then the export runs on the model's worker (`working`, with a progress bar and
// "Cancel") and ends in `done` (pages, messages, the file's SHA-256 and the fingerprint, "Show in Folder",
// "Open") or `failed` (the reason, selectable).
//
// With several conversations chosen it is a batch: one file (or HTML folder) each, in a folder chosen with
// "Export Here". A single HTML export makes a folder named after the conversation inside the folder chosen,
// taking the place only of an earlier export of Quillmark's.
//
//   auto* sheet = new ExportSheet(model, window);     // batch or the thread shown, from the model
//   sheet->open();
//   sheet->askForPlace = [](const ExportSheet::PlaceRequest&) { return QStringLiteral("/tmp/a.pdf"); };  // tests
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QButtonGroup>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/app_model.h"
#include "app/export_run.h"
#include "app/sheet_parts.h"

namespace quillmark::app {

class LayoutCard;

class ExportSheet : public QDialog {
    Q_OBJECT

public:
    enum class Phase { choose, working, done, failed };

    // What the destination dialog asks for.
    struct PlaceRequest {
        enum class Kind { file, folder };
        Kind kind = Kind::file;
        QString title;        // the dialog's title, which carries its message where it has no other place
        QString folder;       // where the dialog opens
        QString name;         // a file dialog's proposed name
        QString filter;       // a file dialog's type, "PDF document (*.pdf)"
        QString suffix;       // added when the name typed has none
        QString acceptLabel;  // "Export Here"; empty: the dialog's own word
    };

    ExportSheet(AppModel& model, QWidget* parent = nullptr);

    Phase phase() const { return phase_; }
    bool isBatch() const { return !batch_.empty(); }
    // "Export " + the conversation's title, or "Export N Conversations".
    QString title() const;
    ExportLayout layout() const { return layout_; }
    ExportFormat format() const { return format_; }
    void pick(ExportLayout layout);
    void pick(ExportFormat format);

    // Asks for the destination (nothing changes when the dialog is cancelled), then exports.
    void start();
    // Stops the export under way; the sheet goes back to its choices.
    void cancel();

    // Asks where the export goes; an empty text when the user cancels. The desktop's dialog by default.
    std::function<QString(const PlaceRequest&)> askForPlace;

    // The outcome of the export that ended last.
    const std::optional<ExportService::Exported>& exported() const { return exported_; }
    const QString& failure() const { return failure_; }

    // The texts of the summary and of `done`, for the checks.
    QString summary() const;
    QString doneText() const;
    QPushButton* startButton() const { return start_; }
    QPushButton* cancelButton() const { return cancel_; }

    static QString askWithDialog(QWidget* parent, const PlaceRequest& request);

signals:
    // "Change in Settings (Ctrl+,)".
    void settingsRequested();

public slots:
    // Escape: stops an export under way (the sheet stays to say so), else closes the sheet.
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeChoosePage();
    QWidget* makeWorkingPage();
    QWidget* makeDonePage();
    QWidget* makeFailedPage();
    void setPhase(Phase phase);
    void showChoices();
    void showFormat();
    void showProgress();
    void finish();
    void showDone(const ExportService::Exported& exported);

    AppModel& model_;
    std::vector<Conversation> batch_;
    std::shared_ptr<const MessageThread> thread_;
    ExportLayout layout_;
    ExportFormat format_ = ExportFormat::pdf;
    Phase phase_ = Phase::choose;
    std::unique_ptr<ExportRun> run_;
    std::optional<ExportService::Exported> exported_;
    QString failure_;

    SheetPages* pages_ = nullptr;
    // choose
    LayoutCard* record_ = nullptr;
    LayoutCard* book_ = nullptr;
    QButtonGroup* formats_ = nullptr;
    QLabel* counts_ = nullptr;
    QLabel* zone_ = nullptr;
    QLabel* stopped_ = nullptr;
    QPushButton* start_ = nullptr;
    // working
    QProgressBar* bar_ = nullptr;
    QLabel* step_ = nullptr;
    QPushButton* cancel_ = nullptr;
    // done
    QLabel* doneCounts_ = nullptr;
    QLabel* donePlace_ = nullptr;
    QWidget* fileHash_ = nullptr;
    QLabel* fileHashValue_ = nullptr;
    QWidget* fingerprint_ = nullptr;
    QLabel* fingerprintValue_ = nullptr;
    QLabel* skipped_ = nullptr;
    // failed
    QLabel* failureText_ = nullptr;
};

}  // namespace quillmark::app
