// ExportRun: an export under way on the model's worker, as the main thread sees it. Progress and the end
// arrive on the main thread; progress is handed over as the latest value only, so a fast export never floods
// the event queue. cancel(), or destroying the run, stops the export at its next step, and nothing
// half-written stays.
//
//   std::unique_ptr<ExportRun> run = model.startExport(job);
//   connect(run.get(), &ExportRun::progressed, [&] { bar->setValue(run->progress().fraction * 1000); });
//   connect(run.get(), &ExportRun::finished, [&] { show(*run->result()); });
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include <QObject>

#include <tl/expected.hpp>

#include "service/export_service.h"

namespace quillmark::app {

class ExportRun : public QObject {
    Q_OBJECT

public:
    using Result = tl::expected<ExportService::Exported, ExportService::Failure>;

    // What the worker and the main thread share: the stop request, and the progress not yet handed over.
    struct Shared {
        std::atomic<bool> cancelled{false};
        std::atomic<int> written{0};
        std::mutex lock;
        ExportService::Progress latest;  // under lock
        bool posted = false;             // under lock: a hand-over is queued
    };

    explicit ExportRun(std::shared_ptr<Shared> shared, QObject* parent = nullptr)
        : QObject(parent), shared_(std::move(shared)) {}
    ~ExportRun() override { shared_->cancelled = true; }

    void cancel() { shared_->cancelled = true; }
    bool cancelling() const { return shared_->cancelled; }
    // The latest progress handed over.
    const ExportService::Progress& progress() const { return progress_; }
    // Files written so far (a batch keeps them when it stops or fails).
    int written() const { return shared_->written; }
    const std::optional<Result>& result() const { return result_; }

    // On the main thread: takes the latest progress over.
    void takeProgress() {
        {
            std::lock_guard guard(shared_->lock);
            progress_ = shared_->latest;
            shared_->posted = false;
        }
        emit progressed();
    }
    void finish(Result result) {
        result_ = std::move(result);
        emit finished();
    }

signals:
    void progressed();
    void finished();

private:
    std::shared_ptr<Shared> shared_;
    ExportService::Progress progress_;
    std::optional<Result> result_;
};

}  // namespace quillmark::app
