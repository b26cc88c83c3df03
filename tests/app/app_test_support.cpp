#include "app_test_support.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include <QCoreApplication>

#include "support/history_fixture.h"

namespace quillmark::app::testing {

std::string twoConversations() {
    using quillmark::testing::HistoryFixture;
    return HistoryFixture::message(1, 10, "Hello there", 1) + HistoryFixture::message(2, 10, "Lunch?", 0) +
           HistoryFixture::message(3, 10, "Sure", 1) + HistoryFixture::message(4, 12, "Packing list", 2, 600000000000000000);
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::unique_ptr<AppModel> makeModel(const QTemporaryDir& settings, const QString& messages) {
    AppModel::Launch launch;
    launch.messages = messages;
    launch.settingsFile = settings.filePath(QStringLiteral("settings.ini"));
    return std::make_unique<AppModel>(launch);
}

bool loaded(AppModel& model) {
    model.load();
    return waitFor([&] { return model.state().kind != AppModel::State::Kind::loading; });
}

namespace {

constexpr uint32_t bypass = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool capabilities(__user_cap_data_struct (&data)[2], bool set) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

}  // namespace

PermissionsBind::PermissionsBind() {
    if (geteuid() != 0) {
        active_ = true;  // permissions bind an ordinary user already
        return;
    }
    __user_cap_data_struct data[2] = {};
    if (!capabilities(data, false)) return;
    if ((data[0].effective & bypass) == 0) {
        active_ = true;
        return;
    }
    data[0].effective &= ~bypass;
    // Only the calling thread's capabilities change; threads started later inherit them.
    if (!capabilities(data, true)) return;
    active_ = restore_ = true;
}

PermissionsBind::~PermissionsBind() {
    if (!restore_) return;
    __user_cap_data_struct data[2] = {};
    if (!capabilities(data, false)) return;
    data[0].effective |= bypass & data[0].permitted;
    capabilities(data, true);
}

}  // namespace quillmark::app::testing
