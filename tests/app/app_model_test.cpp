// The application model over histories written on the fly: the states it ends in, the thread it shows, the
// search, the dates, the settings and the arguments.
#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_model.h"
#include "app/arguments.h"
#include "app/qt_text.h"
#include "app_test_support.h"
#include "sample_history/sample_history.h"
#include "support/history_fixture.h"

namespace quillmark::app {

using testing::loaded;
using testing::makeModel;
using testing::waitFor;
using quillmark::testing::HistoryFixture;
using Kind = AppModel::State::Kind;

namespace {

QString path(const std::filesystem::path& p) { return qt(p.string()); }

const Conversation* byTitle(const AppModel& model, const QString& title) {
    for (size_t i = 0; i < model.conversations().size(); ++i)
        if (model.conversationList().titles[i] == title) return &model.conversations()[i];
    return nullptr;
}

}  // namespace

class AppModelTest : public QObject {
    Q_OBJECT

private slots:
    void statesOfTheSampleHistory();
    void missingNotAHistoryAndRefused();
    void lastThreadRequestWinsAndTwoChosenShowNoThread();
    void search();
    void dateRanges();
    void settingsAndArguments();
    void contactsFileNamesConversations();
};

void AppModelTest::statesOfTheSampleHistory() {
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("history"));
    auto truth = SampleHistory::write(utf8(folder), {});
    QVERIFY2(truth.has_value(), truth ? "" : truth.error().c_str());
    auto model = makeModel(temp, folder);
    QCOMPARE(model->state().kind, Kind::loading);
    QVERIFY(loaded(*model));
    QCOMPARE(model->state().kind, Kind::ready);
    QCOMPARE(model->conversations().size(), truth->conversations.size());
    QCOMPARE(model->conversationList().titles.front(), qt(truth->conversations.front().title));
    // The first conversation is chosen and its thread loads.
    QCOMPARE(model->selection(), std::set<QString>{qt(model->conversations().front().id)});
    QVERIFY(waitFor([&] { return model->thread() != nullptr && !model->threadLoading(); }));
    QCOMPARE(model->thread()->conversation.id, model->conversations().front().id);
    QVERIFY(model->damage().isEmpty());

    // Reloading keeps the choice and shows the same thread again.
    const auto before = model->thread();
    model->reload();
    QVERIFY(waitFor([&] { return model->thread() != before && model->thread() && !model->threadLoading(); }));
    QCOMPARE(*model->thread(), *before);
}

void AppModelTest::missingNotAHistoryAndRefused() {
    QTemporaryDir temp;
    auto missing = makeModel(temp, temp.filePath(QStringLiteral("nothing")));
    QVERIFY(loaded(*missing));
    QCOMPARE(missing->state().kind, Kind::missing);
    QCOMPARE(missing->state().path, temp.filePath(QStringLiteral("nothing")));
    QVERIFY(missing->conversations().empty());

    // A file that is no SQLite database at all, named as the history.
    QFile junk(temp.filePath(QStringLiteral("chat.db")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    auto foreign = makeModel(temp, junk.fileName());
    QVERIFY(loaded(*foreign));
    QCOMPARE(foreign->state().kind, Kind::failed);
    QVERIFY2(!foreign->state().text.isEmpty(), "a failure says why");

    // A history in a folder this account may not enter: refused, and the one-second watch opens it as soon as
    // it can be read.
    HistoryFixture fixture(testing::twoConversations());
    const std::string folder = fixture.messages().string();
    testing::PermissionsBind bound;
    if (!bound.active()) QSKIP("this process cannot be bound by file permissions");
    QCOMPARE(::chmod(folder.c_str(), 0), 0);
    auto refused = makeModel(temp, path(fixture.data()));
    QVERIFY(loaded(*refused));
    QCOMPARE(refused->state().kind, Kind::noAccess);
    QCOMPARE(refused->state().path, path(fixture.database()));
    QCOMPARE(::chmod(folder.c_str(), 0755), 0);
    QVERIFY(waitFor([&] { return refused->state().kind == Kind::ready; }, std::chrono::seconds(10)));
    QCOMPARE(refused->conversations().size(), size_t(2));
}

void AppModelTest::lastThreadRequestWinsAndTwoChosenShowNoThread() {
    HistoryFixture fixture(testing::twoConversations());
    QTemporaryDir temp;
    auto model = makeModel(temp, path(fixture.data()));
    QVERIFY(loaded(*model));
    QVERIFY(waitFor([&] { return model->thread() && !model->threadLoading(); }));
    const Conversation anna = *byTitle(*model, QStringLiteral("+1 (555) 123-0001"));
    const Conversation trip = *byTitle(*model, QStringLiteral("Trip"));

    // Three requests in a row: only the last one's thread is shown.
    std::vector<QString> shown;
    connect(model.get(), &AppModel::threadChanged, this, [&] {
        if (model->thread()) shown.push_back(qt(model->thread()->conversation.id));
    });
    model->setSelection({qt(anna.id)});
    model->setSelection({qt(trip.id)});
    model->setRange(AppModel::RangeChoice::lastYear);
    QVERIFY(model->threadLoading());
    QVERIFY(waitFor([&] { return !model->threadLoading(); }));
    QCOMPARE(shown, std::vector<QString>{qt(trip.id)});
    QCOMPARE(model->thread()->range, model->dateRange());

    model->setRange(AppModel::RangeChoice::all);
    QVERIFY(waitFor([&] { return !model->threadLoading() && model->thread(); }));
    QCOMPARE(model->thread()->messages.size(), size_t(1));

    // Two chosen: no thread, and a load under way is dropped.
    model->setSelection({qt(anna.id)});
    model->setSelection({qt(anna.id), qt(trip.id)});
    QVERIFY(!model->thread());
    QVERIFY(!model->threadLoading());
    QTest::qWait(100);
    QVERIFY(!model->thread());
    QCOMPARE(model->selectedConversations().size(), size_t(2));
}

void AppModelTest::search() {
    HistoryFixture fixture(testing::twoConversations());
    QTemporaryDir temp;
    auto model = makeModel(temp, path(fixture.data()));
    QVERIFY(loaded(*model));
    const auto titles = [&] {
        QStringList shown;
        for (const int i : model->filtered()) shown << model->conversationList().titles[size_t(i)];
        shown.sort();
        return shown;
    };
    const QStringList everyone{QStringLiteral("+1 (555) 123-0001"), QStringLiteral("Trip")};
    QCOMPARE(titles(), everyone);
    model->setSearch(QStringLiteral(" \t "));
    QCOMPARE(titles(), everyone);
    model->setSearch(QStringLiteral("trip"));  // title, either case
    QCOMPARE(titles(), QStringList{QStringLiteral("Trip")});
    model->setSearch(QStringLiteral("  SURE "));  // the last snippet, trimmed
    QCOMPARE(titles(), QStringList{QStringLiteral("+1 (555) 123-0001")});
    model->setSearch(QStringLiteral("BEN@EXAMPLE"));  // an address
    QCOMPARE(titles(), QStringList{QStringLiteral("Trip")});
    model->setSearch(QStringLiteral("(555) 1230"));  // digits of an address written otherwise: both have Anna
    QCOMPARE(titles(), everyone);
    model->setSearch(QStringLiteral("5 1"));  // two digits are not enough
    QCOMPARE(titles(), QStringList{});
}

void AppModelTest::dateRanges() {
    QTemporaryDir temp;
    {
        QSettings settings(temp.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("timeZone"), QStringLiteral("Europe/Berlin"));
    }
    auto model = makeModel(temp, temp.filePath(QStringLiteral("none")));
    const QTimeZone berlin("Europe/Berlin");
    model->now = [&] { return QDateTime(QDate(2024, 3, 31), QTime(12, 0), berlin); };
    QCOMPARE(model->timeZone(), std::string("Europe/Berlin"));
    const auto at = [&](int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0) {
        return engineDate(QDateTime(QDate(y, m, d), QTime(h, min, s, ms), berlin));
    };
    const auto range = [&](AppModel::RangeChoice choice) {
        model->setRange(choice);
        return model->dateRange();
    };
    QCOMPARE(range(AppModel::RangeChoice::all), DateRange::all);
    // Thirty days back crosses the change to summer time: the same wall-clock time, 29 days and 23 hours.
    QCOMPARE(range(AppModel::RangeChoice::last30), (DateRange{at(2024, 3, 1, 12), std::nullopt}));
    // Three calendar months, not 90 days.
    QCOMPARE(range(AppModel::RangeChoice::last90), (DateRange{at(2023, 12, 31, 12), std::nullopt}));
    QCOMPARE(range(AppModel::RangeChoice::thisYear), (DateRange{at(2024, 1, 1), std::nullopt}));
    QCOMPARE(range(AppModel::RangeChoice::lastYear), (DateRange{at(2023, 1, 1), at(2023, 12, 31, 23, 59, 59, 999)}));

    model->showCustomDates(QDate(2024, 2, 10), QDate(2024, 3, 31));
    const DateRange forward = model->dateRange();
    QCOMPARE(forward.start, std::optional(at(2024, 2, 10)));
    QCOMPARE(forward.end->milliseconds(), at(2024, 3, 31).milliseconds() + 86'399'999);
    model->showCustomDates(QDate(2024, 3, 31), QDate(2024, 2, 10));
    QCOMPARE(model->dateRange(), forward);
    QCOMPARE(model->range(), AppModel::RangeChoice::custom);
}

void AppModelTest::settingsAndArguments() {
    QTemporaryDir temp;
    {
        QSettings settings(temp.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("timeZone"), QStringLiteral("UTC"));
        settings.setValue(QStringLiteral("paper"), QStringLiteral("a4"));
        settings.setValue(QStringLiteral("meName"), QStringLiteral("Robin"));
    }
    auto model = makeModel(temp, temp.filePath(QStringLiteral("none")));
    const ExportOptions options = model->options(ExportLayout::book);
    QCOMPARE(options.paper, Paper(Paper::a4));
    QCOMPARE(options.meName, std::string("Robin"));
    QCOMPARE(options.timeZoneID, std::string("UTC"));

    const auto parsed = Arguments::parse({"quillmark", "--messages", "/evidence", "--snapshot-windows"});
    QCOMPARE(parsed.messages, std::optional<QString>(QStringLiteral("/evidence")));
    QVERIFY(!parsed.snapshotWindows);  // an option given last is ignored
}

void AppModelTest::contactsFileNamesConversations() {
    HistoryFixture fixture(testing::twoConversations());
    QTemporaryDir temp;
    const QString card = temp.filePath(QStringLiteral("people.vcf"));
    QFile file(card);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Vera Card\r\nN:Card;Vera;;;\r\nTEL:+1 555 123 0001\r\nEND:VCARD\r\n");
    file.close();
    auto model = makeModel(temp, qt(fixture.data().string()));
    QVERIFY(loaded(*model));
    const auto titled = [&](const QString& title) {
        const auto& titles = model->conversationList().titles;
        return std::find(titles.begin(), titles.end(), title) != titles.end();
    };
    QVERIFY(!titled(QStringLiteral("Vera Card")));
    // Choosing the file reopens the history with its names; removing it reopens it without them.
    model->setSetting(QStringLiteral("contactsFile"), card);
    QVERIFY(waitFor([&] { return model->state().kind == Kind::ready && titled(QStringLiteral("Vera Card")); }));
    model->setSetting(QStringLiteral("contactsFile"), {});
    QVERIFY(waitFor([&] { return model->state().kind == Kind::ready && !titled(QStringLiteral("Vera Card")); }));
}

}  // namespace quillmark::app

QTEST_MAIN(quillmark::app::AppModelTest)
#include "app_model_test.moc"
