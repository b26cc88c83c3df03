// SettingsWindow: the user's settings, each stored as soon as it changes (no "Apply"): how the owner's own
// messages are signed in exports, the time zone of every date shown and exported (filtered from every zone
// ICU knows), the paper of PDF exports, the Messages folder opened at start, and a vCard file whose names add
// to the history's. Then what Quillmark keeps and what it sends (nothing), and how this build is updated.
// Sections are a column of titled groups, so that a later setting is one more group.
//
//   auto* settings = new SettingsWindow(model, window);
//   settings->show();
#pragma once

#include <functional>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QVBoxLayout>
#include <QWidget>

#include "app/app_model.h"

namespace quillmark::app {

class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    explicit SettingsWindow(AppModel& model, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return name_; }
    QLineEdit* zoneFilter() const { return zoneFilter_; }
    QListView* zoneList() const { return zones_; }
    QComboBox* paperChoice() const { return paper_; }
    QLabel* folderPath() const { return folder_; }
    QPushButton* useDefaultButton() const { return useDefault_; }
    QLabel* contactsPath() const { return contacts_; }
    QPushButton* removeContactsButton() const { return removeContacts_; }

    // Asks for a Messages folder; an empty text when cancelled. The desktop's folder dialog by default.
    std::function<QString()> askForFolder;
    // Asks for a vCard file; an empty text when cancelled. The desktop's file dialog by default.
    std::function<QString()> askForContacts;

    // The zones offered after the computer's own: every canonical zone ICU knows, in order.
    static QStringList knownZones();

private:
    // A titled group of the column: its title, its content, and a line of help under it.
    QVBoxLayout* addGroup(QVBoxLayout* column, const QString& title, const QString& help = {});
    void showSettings();
    void showFolder();
    void chooseZone(const QModelIndex& index);

    AppModel& model_;
    QLineEdit* name_;
    QLineEdit* zoneFilter_;
    QListView* zones_;
    QStringListModel zoneNames_;
    // Lets the first row (the computer's own zone) through whatever the filter.
    class ZoneFilter : public QSortFilterProxyModel {
    protected:
        bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
            return row == 0 || QSortFilterProxyModel::filterAcceptsRow(row, parent);
        }
    };
    ZoneFilter zoneFiltered_;
    QComboBox* paper_;
    QLabel* folder_;
    QPushButton* useDefault_;
    QLabel* contacts_;
    QPushButton* removeContacts_;
};

}  // namespace quillmark::app
