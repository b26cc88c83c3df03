// ConversationListModel: the conversations the search lets through, as rows for the sidebar's list and the
// batch panel. A row's display text is the conversation's title; ConversationRole gives its index into the
// model's conversation list, from which the delegate paints it.
#pragma once

#include <functional>
#include <vector>

#include <QAbstractListModel>

#include "app/app_model.h"

namespace quillmark::app {

class ConversationListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { ConversationRole = Qt::UserRole + 1, IdRole };

    // `rows` gives the indexes into the model's conversations to show; it is asked again on each change.
    ConversationListModel(AppModel& model, std::function<std::vector<int>()> rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The row of a conversation id; -1 when it is not shown.
    int row(const QString& id) const;

    // Takes the rows again.
    void refresh();

private:
    AppModel& model_;
    std::function<std::vector<int>()> source_;
    std::vector<int> rows_;
};

}  // namespace quillmark::app
