#include "app/batch_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/conversation_delegate.h"
#include "app/qt_text.h"
#include "app/theme.h"
#include "app/widgets.h"

namespace quillmark::app {

namespace {

std::vector<int> selectedRows(const AppModel& model) {
    std::vector<int> rows;
    const auto& conversations = model.conversations();
    for (size_t i = 0; i < conversations.size(); ++i)
        if (model.selection().count(qt(conversations[i].id))) rows.push_back(int(i));
    return rows;
}

}  // namespace

BatchView::BatchView(AppModel& model, std::shared_ptr<const ViewDates> dates, QAction* exportAction, QWidget* parent)
    : QWidget(parent), model_(model), rows_(model, [&model] { return selectedRows(model); }) {
    setObjectName(QStringLiteral("batchView"));
    QVBoxLayout* column = centredColumn(this, 480);
    column->setSpacing(10);
    column->addWidget(new SymbolView(Symbol::group, 56), 0, Qt::AlignHCenter);
    heading_ = headingLabel({}, 1.4);
    column->addWidget(heading_);

    auto* rangeRow = new QHBoxLayout;
    rangeRow->addStretch();
    rangeRow->addWidget(new SymbolView(Symbol::calendar, 18));
    range_ = new QLabel;
    range_->setForegroundRole(QPalette::PlaceholderText);
    rangeRow->addWidget(range_);
    rangeRow->addStretch();
    column->addLayout(rangeRow);

    list_ = new QListView;
    list_->setObjectName(QStringLiteral("batchList"));
    list_->setModel(&rows_);
    list_->setItemDelegate(new ConversationDelegate(model, std::move(dates), true, list_));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setUniformItemSizes(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setFrameShape(QFrame::NoFrame);
    auto* card = new Card;
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(4, 6, 4, 6);
    cardLayout->addWidget(list_);
    list_->viewport()->setAutoFillBackground(false);
    column->addWidget(card);

    QLabel* note = textLabel(QStringLiteral("One file for each conversation, in a folder you choose."));
    note->setAlignment(Qt::AlignHCenter);
    column->addWidget(note);
    export_ = suggestedButton({});
    export_->setObjectName(QStringLiteral("batchExport"));
    connect(export_, &QPushButton::clicked, exportAction, &QAction::trigger);
    const auto follow = [this, exportAction] {
        export_->setEnabled(exportAction->isEnabled());
        export_->setToolTip(exportAction->toolTip());
    };
    connect(exportAction, &QAction::changed, this, follow);
    follow();
    column->addWidget(export_, 0, Qt::AlignHCenter);

    connect(&model_, &AppModel::selectionChanged, this, &BatchView::refresh);
    connect(&model_, &AppModel::conversationsChanged, this, &BatchView::refresh);
    connect(&model_, &AppModel::rangeChanged, this, &BatchView::refresh);
    refresh();
}

void BatchView::refresh() {
    rows_.refresh();
    const int count = rows_.rowCount();
    heading_->setText(QStringLiteral("%1 Conversations").arg(count));
    range_->setText(AppModel::title(model_.range()).remove(QStringLiteral("…")));
    export_->setText(QStringLiteral("Export %1 Conversations…").arg(count));
    // As tall as its rows, up to the list's limit.
    const int rowHeight = list_->sizeHintForRow(0) > 0 ? list_->sizeHintForRow(0) : 48;
    list_->setFixedHeight(std::clamp(rowHeight * count + 2 * list_->frameWidth(), 60, 320));
}

}  // namespace quillmark::app
