// What the application's tests share: waiting for the model's worker, a model over a history written on the
// fly, and taking away this process's power to read past file permissions (root reads everything).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QTemporaryDir>

#include "app/app_model.h"

namespace quillmark::app::testing {

// Anna (+15551230001, chat 10) with three messages, shown first, and the group "Trip" (chat 12) with one,
// as rows for a HistoryFixture.
std::string twoConversations();

// Processes events until the condition holds; false after the limit.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(30));

// A model of its own settings file over the history at `messages`; not yet loaded.
std::unique_ptr<AppModel> makeModel(const QTemporaryDir& settings, const QString& messages);

// Loads the model and waits until it leaves `loading`.
bool loaded(AppModel& model);

// While it lives, this thread (and the threads it starts) is bound by file permissions even as root: the
// capabilities that bypass them are dropped from the effective set, and given back at the end.
class PermissionsBind {
public:
    PermissionsBind();
    ~PermissionsBind();
    PermissionsBind(const PermissionsBind&) = delete;
    PermissionsBind& operator=(const PermissionsBind&) = delete;
    // False when the capabilities could not be dropped (the test then cannot be run).
    bool active() const { return active_; }

private:
    bool active_ = false;
    bool restore_ = false;
};

}  // namespace quillmark::app::testing
