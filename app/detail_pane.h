// DetailPane: the right side of the window. Above everything, while the history is damaged, a bar that
// says so. Below it, by the selection: several conversations show the batch panel; one shows a spinner while
// its thread loads, then the title block with the "Dates" menu and the export button over the thread; none
// shows the empty choice.
#pragma once

#include <memory>

#include <QActionGroup>
#include <QLabel>
#include <QStackedWidget>
#include <QToolButton>
#include <QWidget>

#include "app/app_model.h"
#include "app/thread_view.h"
#include "app/view_dates.h"

namespace quillmark::app {

class BatchView;

class DetailPane : public QWidget {
    Q_OBJECT

public:
    enum class Page { empty, loading, batch, thread };

    DetailPane(AppModel& model, Thumbnails& thumbnails, std::shared_ptr<const ViewDates> dates,
               QAction* exportAction, QWidget* parent = nullptr);

    Page page() const;
    ThreadView* threadView() const { return threadView_; }
    BatchView* batchView() const { return batch_; }
    QWidget* damageBar() const { return damageBar_; }
    QLabel* threadTitle() const { return title_; }
    QLabel* threadSubtitle() const { return subtitle_; }
    QToolButton* datesButton() const { return dates_; }
    // The "Dates" menu of the title block, which the menu bar shows too.
    QMenu* datesMenu() const { return dates_->menu(); }
    // The dates are written otherwise now (another time zone).
    void datesChanged();

    // The line under a thread's title: "1,234 messages · 56 attachments · Apr 5 – 7, 2024".
    static QString subtitle(const MessageThread& thread, const ViewDates& dates);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showRange();
    void paintSymbols();
    void showPage();
    void showThread();
    void chooseCustomDates();

    AppModel& model_;
    std::shared_ptr<const ViewDates> viewDates_;
    QStackedWidget* pages_;
    QWidget* empty_;
    QWidget* loading_;
    BatchView* batch_;
    QWidget* threadPage_;
    QStackedWidget* threadBody_;
    ThreadView* threadView_;
    QWidget* noMessages_;
    QLabel* threadFailure_;
    QLabel* title_;
    QLabel* subtitle_;
    QToolButton* dates_;
    QActionGroup* choices_;
    QAction* exportAction_;
    QWidget* damageBar_;
    QLabel* damageText_;
};

}  // namespace quillmark::app
