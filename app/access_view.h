// AccessView: the guide shown while this account may not read the Messages history: what Quillmark does
// with it, and three numbered steps: which file is refused (with "Show Folder"), how to make it readable, and
// that Quillmark goes on by itself once it can read it (the model looks every second). Twenty seconds after
// the guide appears it offers to open another folder.
//
// MissingView: the screen for a computer without a Messages history, with "Open Messages Folder…" and
// "Try Again".
#pragma once

#include <chrono>
#include <functional>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "app/app_model.h"

namespace quillmark::app {

class AccessView : public QWidget {
    Q_OBJECT

public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit AccessView(AppModel& model, QWidget* parent = nullptr);

    // True once the guide has been shown for twenty seconds.
    bool waited() const { return waited_; }
    static constexpr std::chrono::seconds hintDelay{20};

    // The clock the twenty seconds are told by; tests replace it, then call tick().
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void tick();

signals:
    void openRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showPath();

    AppModel& model_;
    QLabel* refused_ = nullptr;
    QWidget* hint_ = nullptr;
    Clock clock_ = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point shownAt_;
    QTimer timer_;
    bool waited_ = false;
};

class MissingView : public QWidget {
    Q_OBJECT

public:
    explicit MissingView(AppModel& model, QWidget* parent = nullptr);

signals:
    void openRequested();

private:
    AppModel& model_;
    QLabel* path_ = nullptr;
};

// The screen for a file that is not a history Quillmark knows, or for an encrypted iPhone backup still
// waiting for its password.
class FailedView : public QWidget {
    Q_OBJECT

public:
    explicit FailedView(AppModel& model, QWidget* parent = nullptr);

signals:
    void openRequested();
    // "Enter Password…", shown for an encrypted iPhone backup whose password sheet was cancelled.
    void passwordRequested();

private:
    AppModel& model_;
    QLabel* heading_ = nullptr;
    QLabel* text_ = nullptr;
    QLabel* path_ = nullptr;
    QPushButton* password_ = nullptr;
};

}  // namespace quillmark::app
