// The window over iPhone backups, offscreen: a folder holding an encrypted backup (the newest) and a plain
// one, written from the sample history with low round counts. The password sheet answers a wrong password
// with the reason and opens the list with the right one, keeping the password nowhere; the chooser opens
// the other backup while the folder remembered stays the one holding both.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "app/qt_text.h"
#include "app_test_support.h"
#include "iphone_backup/backup_writer.h"
#include "sample_history/sample_history.h"

namespace quillmark::app {

using testing::makeModel;
using testing::waitFor;

namespace {

const QString password = QStringLiteral("pässwort 1");

}  // namespace

class AppBackupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void wrongPasswordThenTheRightOneOpensTheList();
    void chooserOpensTheOtherBackup();

private:
    QTemporaryDir folder_;
    QString backups_;
};

void AppBackupTest::initTestCase() {
    QVERIFY(folder_.isValid());
    const std::filesystem::path root = utf8(folder_.path());
    auto truth = SampleHistory::write(root / "sample", SampleHistory::Options{});
    QVERIFY2(truth.has_value(), truth ? "" : truth.error().c_str());
    BackupWriter::Options encrypted;
    encrypted.deviceName = "New iPhone";
    encrypted.password = utf8(password);
    encrypted.backupDate = 1764547200;
    BackupWriter::Options plain;
    plain.deviceName = "Old iPhone";
    plain.backupDate = 1700000000;
    for (const auto& [name, options] : {std::pair{"new", encrypted}, std::pair{"old", plain}}) {
        auto written = BackupWriter::write(root / "sample", root / "Backup" / name, options);
        QVERIFY2(written.has_value(), written ? "" : written.error().c_str());
    }
    backups_ = folder_.filePath(QStringLiteral("Backup"));
}

void AppBackupTest::wrongPasswordThenTheRightOneOpensTheList() {
    QTemporaryDir settings;
    auto model = makeModel(settings, backups_);
    MainWindow window(*model);
    window.show();
    model->load();
    QVERIFY(waitFor([&] { return window.passwordSheet() && window.passwordSheet()->isVisible(); }));
    PasswordSheet* sheet = window.passwordSheet();
    QCOMPARE(window.screen(), MainWindow::Screen::failed);
    QCOMPARE(sheet->field()->echoMode(), QLineEdit::Password);
    QVERIFY(!sheet->openButton()->isEnabled());

    QTest::keyClicks(sheet->field(), QStringLiteral("the passcode"));
    QTest::mouseClick(sheet->openButton(), Qt::LeftButton);
    // The key is derived on the worker: the sheet shows it is busy and the field no longer holds the password.
    QVERIFY(sheet->busy());
    QVERIFY(sheet->field()->text().isEmpty());
    QVERIFY(waitFor([&] { return !model->passwordRequest().unlocking; }));
    QVERIFY(sheet->isVisible());
    QVERIFY(!sheet->busy());
    QCOMPARE(sheet->failureLabel()->text(),
             QStringLiteral("The password doesn't open this iPhone backup. It is the password set for encrypted "
                            "backups of this iPhone, not the iPhone's passcode."));
    QVERIFY(sheet->failureLabel()->isVisible());

    // Typed as a whole: key clicks carry Latin-1 only, and the password is not.
    sheet->field()->insert(password);
    QTest::keyClick(sheet->field(), Qt::Key_Return);
    QVERIFY(waitFor([&] { return model->state().kind == AppModel::State::Kind::ready; }));
    QVERIFY(waitFor([&] { return !window.passwordSheet(); }));
    QCOMPARE(window.screen(), MainWindow::Screen::ready);
    QVERIFY(!model->conversations().empty());

    // Nothing of the password reaches the settings.
    QFile stored(settings.filePath(QStringLiteral("settings.ini")));
    if (stored.open(QIODevice::ReadOnly)) QVERIFY(!stored.readAll().contains(password.toUtf8()));
}

void AppBackupTest::chooserOpensTheOtherBackup() {
    QTemporaryDir settings;
    auto model = makeModel(settings, backups_);
    MainWindow window(*model);
    window.show();
    model->openMessages(backups_);
    QVERIFY(waitFor([&] { return model->passwordRequest().asked; }));

    // The newest (encrypted) is the one asked for; both are offered, the open one checked.
    QMenu* menu = window.sidebar()->backupsMenu();
    QCOMPARE(menu->actions().size(), 2);
    QVERIFY(menu->actions()[0]->text().startsWith(QStringLiteral("New iPhone, backed up ")));
    QVERIFY(menu->actions()[0]->isChecked());
    QVERIFY(menu->actions()[1]->text().startsWith(QStringLiteral("Old iPhone, backed up ")));

    window.passwordSheet()->reject();
    menu->actions()[1]->trigger();
    QVERIFY(waitFor([&] { return model->state().kind == AppModel::State::Kind::ready; }));
    QVERIFY(!model->passwordRequest().asked);
    QCOMPARE(model->openedBackup(), backups_ + QStringLiteral("/old"));
    QVERIFY(!model->conversations().empty());
    QVERIFY(menu->actions()[1]->isChecked());
    QVERIFY(window.sidebar()->backupsButton()->text().startsWith(QStringLiteral("Old iPhone")));
    QCOMPARE(model->setting(QStringLiteral("messagesFolder")), backups_);
}

}  // namespace quillmark::app

QTEST_MAIN(quillmark::app::AppBackupTest)
#include "app_backup_test.moc"
