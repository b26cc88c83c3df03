// AppModel: the application's state and flows. It finds the Messages history, opens it on its worker
// thread, watches for access to be given, keeps the conversation list, the selection, the search text and
// the chosen dates, and loads the selected conversation's thread. Every window reads it and calls it; nothing
// else in the application touches the engine.
//
// Every field changes on the main thread only and each change is announced by its signal. All database work
// runs on one serial worker thread that owns the opened history, so the history and its SQLite connection
// serve one job at a time; results come back as queued calls, and a token makes the last thread request win.
//
//   AppModel model(AppModel::Launch{.messages = "/evidence/Library"});
//   connect(&model, &AppModel::stateChanged, window, &MainWindow::showState);
//   model.load();                       // loading → ready | noAccess | missing | failed
//   model.setSelection({model.conversations()[0].id});   // loads its thread
//   auto run = model.startExport({.format = ExportFormat::pdf, .layout = ExportLayout::record, .place = "/x.pdf"});
//   connect(run.get(), &ExportRun::finished, sheet, &ExportSheet::finish);
//   model.verify("/x.pdf");                 // verifying → verifyResult
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include "app/export_run.h"
#include "conversations/conversation.h"
#include "conversations/date_range.h"
#include "conversations/message_thread.h"
#include "export/export_options.h"
#include "export/verify/verifier.h"
#include "service/app_environment.h"
#include "service/export_service.h"
#include "service/history.h"

namespace quillmark::app {

class AppModel : public QObject {
    Q_OBJECT

public:
    // Where the application stands. The cases keep the order failed, loading, noAccess, missing, ready.
    struct State {
        enum class Kind { failed, loading, noAccess, missing, ready };
        Kind kind = Kind::loading;
        QString text;  // failed: why
        QString path;  // the database file that was looked for

        friend bool operator==(const State&, const State&) = default;
    };

    // Which dates are shown and exported; the raw values are the names.
    enum class RangeChoice { all, last30, last90, thisYear, lastYear, custom };
    static constexpr RangeChoice rangeChoices[] = {RangeChoice::all,      RangeChoice::last30,
                                                   RangeChoice::last90,   RangeChoice::thisYear,
                                                   RangeChoice::lastYear, RangeChoice::custom};
    static QString rawValue(RangeChoice choice);
    // The menu title: "All Time", "Last 30 Days", "Last 3 Months", "This Year", "Last Year", "Custom Dates…".
    static QString title(RangeChoice choice);

    // How the application was started.
    struct Launch {
        std::optional<QString> messages;  // --messages PATH
        AppEnvironment environment;       // the development variables
        QString settingsFile;             // an INI file for the settings; empty: the user's settings
    };

    // The conversation list with what the views and the search need of each, made on the worker.
    struct ConversationList {
        std::vector<Conversation> items;
        std::vector<QString> titles;       // in the user's locale
        std::vector<QString> searchTexts;  // title, snippet and addresses, lower-cased in the locale
        std::vector<QString> digits;       // the number characters of each address, joined by "\n"
    };

    explicit AppModel(Launch launch = {}, QObject* parent = nullptr);
    ~AppModel() override;

    // --- observable state
    const State& state() const { return state_; }
    const std::vector<Conversation>& conversations() const { return list_->items; }
    const ConversationList& conversationList() const { return *list_; }
    const std::set<QString>& selection() const { return selection_; }
    const QString& search() const { return search_; }
    // The thread shown in the detail pane; shared so that views keep it while they paint.
    const std::shared_ptr<const MessageThread>& thread() const { return thread_; }
    bool threadLoading() const { return threadLoading_; }
    // Why the selected conversation's thread could not be read; empty when it could.
    const QString& threadFailure() const { return threadFailure_; }
    RangeChoice range() const { return range_; }
    QDate customStart() const { return customStart_; }
    QDate customEnd() const { return customEnd_; }
    // Set when SQLite's integrity check of the opened history found damage: the sentence to show.
    const QString& damage() const { return damage_; }

    // --- encrypted iPhone backups
    // The password an encrypted backup waits for: asked while the history needs one (also after the person
    // cancelled the dialog), unlocking while the worker derives the key from the one given, and the sentence
    // of the last one that did not open it.
    struct PasswordRequest {
        bool asked = false;
        bool unlocking = false;
        QString failure;

        friend bool operator==(const PasswordRequest&, const PasswordRequest&) = default;
    };
    const PasswordRequest& passwordRequest() const { return passwordRequest_; }
    // Opens the encrypted backup asked for with the password, on the worker. The password is kept only
    // until the key is derived.
    void unlock(const QString& password);
    // Stops waiting for the key being derived; the backup stays asking for its password.
    void cancelUnlock();

    // The iPhone backups found where the history was looked for, newest first (empty when it is not a
    // backup), and the folder of the one opened.
    const std::vector<IPhoneBackup::Summary>& backups() const { return backups_; }
    QString openedBackup() const;
    // "Anna's iPhone, backed up 12/3/25, 2:05 PM": the device and the date of a backup, in the zone shown.
    QString backupTitle(const IPhoneBackup::Summary& backup) const;
    // Opens another of those backups; the folder remembered stays the one that holds them.
    void openBackup(const QString& folder);

    // --- exports
    // What to export and where: several conversations into the folder `place`, one file (or HTML folder)
    // each; without a batch, the thread shown to the file `place` (for HTML, the folder of the export).
    struct ExportJob {
        ExportFormat format = ExportFormat::pdf;
        ExportLayout layout = ExportLayout::book;
        std::vector<Conversation> batch;
        QString place;
    };

    // Starts an export on the worker, after the work queued before it.
    std::unique_ptr<ExportRun> startExport(const ExportJob& job);
    // Called on the worker after each file of an export is written, before the next starts; tests use it.
    std::function<void(const ExportService::File&)> fileWritten;

    // The layout the export sheet opens with: the book unless "lastLayout" names another ("record").
    ExportLayout lastLayout() const;
    void rememberLayout(ExportLayout layout);

    // --- verification
    struct VerifyResult {
        QString name;  // the file's name
        QString path;
        std::optional<Verifier::Outcome> outcome;  // none when the history itself failed (damaged)
        Verifier::Summary summary;
    };
    bool verifying() const { return verifying_; }
    const std::optional<VerifyResult>& verifyResult() const { return verifyResult_; }
    // Checks the PDF against the open history on the worker: verifying, then verifyResult.
    void verify(const QString& path);
    void clearVerifyResult();

    // --- operations
    void load();
    void reload();
    void loadThread();
    void setSelection(std::set<QString> selection);
    void setSearch(const QString& search);
    void setRange(RangeChoice range);
    // The custom dates, and the range set to them.
    void showCustomDates(QDate start, QDate end);
    // "Open Messages Folder…": remembers the folder (or chat.db file) and opens it.
    void openMessages(const QString& path);
    // "Use Default": forgets the folder opened last (and the one named at launch) and opens the usual one.
    void useDefaultMessages();

    // --- derived values
    std::vector<Conversation> selectedConversations() const;
    // Indexes into conversations() of the conversations the search lets through, in list order.
    const std::vector<int>& filtered() const { return filtered_; }
    DateRange dateRange() const;
    std::string timeZone() const;
    // The zone a "timeZone" setting of `setting` would give; for an empty one, the computer's (or in a
    // development build the variable's).
    std::string timeZoneFor(const QString& setting) const;
    ExportOptions options(ExportLayout layout) const;
    QString suggestedName(const MessageThread& thread, ExportFormat format) const;
    static QString safeName(const QString& text);
    // The database file of the history being shown or looked for.
    QString messagesPath() const;
    // The database file opened when no folder is named or remembered.
    QString defaultMessagesPath() const;
    // The paper of exports: the setting, else the region's.
    Paper paper() const;
    // "US Letter" or "A4".
    static QString paperName(Paper paper);
    bool developmentBuild() const { return launch_.environment.developmentBuild; }
    // How the owner's messages are signed when "meName" is empty.
    QString defaultMeName() const;

    // The current time, replaceable for tests.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // The user settings of this run: "meName", "timeZone", "paper", "lastLayout", "messagesFolder",
    // "contactsFile" (a vCard file whose names add to the history's address book).
    QString setting(const QString& key) const;
    // Stores a setting (an empty value removes it) and announces it; a new time zone reloads the thread, whose
    // dates it decides.
    void setSetting(const QString& key, const QString& value);

signals:
    void stateChanged();
    void conversationsChanged();
    void selectionChanged();
    void searchChanged();
    void filteredChanged();
    void threadChanged();
    void threadLoadingChanged();
    void rangeChanged();
    void damageChanged();
    void verifyingChanged();
    void verifyResultChanged();
    void settingChanged(const QString& key);
    void passwordRequestChanged();
    void backupsChanged();

private:
    friend class WindowSnapshots;

    // What a failed opening of the history does to the state.
    void openFailed(const History::Failure& failure);
    void setState(State state);
    void setThread(std::shared_ptr<const MessageThread> thread, QString failure = {});
    void setThreadLoading(bool loading);
    void setConversations(std::shared_ptr<const ConversationList> list);
    void refilter();
    void watchForAccess();
    void checkIntegrity(std::shared_ptr<History> history, int generation);
    // Opens the history on the worker; its outcome counts while the generation is the latest.
    void open(HistoryLocation where, int generation, std::optional<std::string> password);
    void setPasswordRequest(PasswordRequest request);

    // Runs a job on the worker thread, in the order given.
    void onQueue(std::function<void()> job);
    // Runs a job on the main thread, after the current event.
    void onMain(std::function<void()> job);

    static std::shared_ptr<const ConversationList> makeList(std::vector<Conversation> conversations);

    Launch launch_;
    State state_;
    std::shared_ptr<const ConversationList> list_;
    std::vector<int> filtered_;
    std::set<QString> selection_;
    QString search_;
    std::shared_ptr<const MessageThread> thread_;
    bool threadLoading_ = false;
    QString threadFailure_;
    RangeChoice range_ = RangeChoice::all;
    QDate customStart_;
    QDate customEnd_;
    QString damage_;
    HistoryLocation location_;
    bool verifying_ = false;
    std::optional<VerifyResult> verifyResult_;
    PasswordRequest passwordRequest_;
    std::vector<IPhoneBackup::Summary> backups_;
    QString chosenBackup_;  // the backup picked among several; empty: the newest
    int verifyToken_ = 0;
    // Exports under way, stopped when the model goes.
    std::vector<std::weak_ptr<ExportRun::Shared>> runs_;

    int threadToken_ = 0;
    int loadGeneration_ = 0;
    bool opened_ = false;  // a history is open on the worker
    QTimer accessTimer_;

    // The worker: one thread; `context_` lives on it, so calls queued to it run there one after another.
    QThread worker_;
    QObject* context_ = nullptr;
    // Touched on the worker thread only (and after it stopped).
    std::shared_ptr<History> history_;
    // Waits for each integrity check without holding up the worker.
    QThreadPool integrityWaiters_;
};

}  // namespace quillmark::app
