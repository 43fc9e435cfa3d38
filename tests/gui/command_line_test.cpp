// command_line_test.cpp -- the desktop program's arguments, and the file named on them loaded
// after the about box as Load File would load it.
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/about_box.h"
#include "app/command_line.h"
#include "gui_test_support.h"

using namespace quorvane;
using namespace quorvane::test;

class CommandLineTest : public QObject {
    Q_OBJECT

  private slots:
    void readCommandLine_data();
    void readCommandLine();
    void namedFileLoadsAfterAboutBox_data();
    void namedFileLoadsAfterAboutBox();
};

void CommandLineTest::readCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("not_loaded");
    QTest::addColumn<QString>("screenshots");
    QTest::addColumn<bool>("error");
    QTest::newRow("nothing") << QStringList{} << "" << QStringList{} << "" << false;
    QTest::newRow("one file") << QStringList{"a.bin"} << "a.bin" << QStringList{} << "" << false;
    QTest::newRow("the first of several") << QStringList{"a.bin", "b.rod", "c"} << "a.bin"
                                          << QStringList{"b.rod", "c"} << "" << false;
    QTest::newRow("a name like an option after --")
        << QStringList{"--", "-x.bin"} << "-x.bin" << QStringList{} << "" << false;
    QTest::newRow("screenshots") << QStringList{"--screenshot", "docs"} << "" << QStringList{}
                                 << "docs" << false;
    QTest::newRow("screenshots without a folder")
        << QStringList{"--screenshot"} << "" << QStringList{} << "" << true;
    QTest::newRow("screenshots and a file") << QStringList{"--screenshot", "docs", "a.bin"}
                                            << "a.bin" << QStringList{} << "docs" << true;
    QTest::newRow("unknown option")
        << QStringList{"a.bin", "--load"} << "a.bin" << QStringList{} << "" << true;
}

void CommandLineTest::readCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QStringList, not_loaded);
    QFETCH(QString, screenshots);
    QFETCH(bool, error);
    const WindowCommandLine line = read_command_line(arguments);
    QCOMPARE(!line.error.isEmpty(), error);
    if (error) return;
    QCOMPARE(line.file, file);
    QCOMPARE(line.not_loaded, not_loaded);
    QCOMPARE(line.screenshot_folder, screenshots);
}

void CommandLineTest::namedFileLoadsAfterAboutBox_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("not_loaded");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("accepted") << 500 << QStringList{} << QStringList{};
    QTest::newRow("refused") << 50 << QStringList{}
                             << QStringList{"Quorvane Limit: 83 Bytes < File > 32 KBytes"};
    QTest::newRow("two files named") << 500 << QStringList{"/tmp/b.bin"}
                                     << QStringList{"One file at a time; not loaded:\n/tmp/b.bin"};
}

void CommandLineTest::namedFileLoadsAfterAboutBox() {
    QFETCH(int, size);
    QFETCH(QStringList, not_loaded);
    QFETCH(QStringList, messages);
    QTemporaryDir dir;
    const QString path =
        write_file(dir, QStringLiteral("named.bin"), to_qbytes(sparse_bytes(size)));
    TZivIduv window;
    bool loaded_under_about_box = false;
    ModalAnswerer answer([&](QWidget* modal) {
        if (qobject_cast<TAboutBox*>(modal) != nullptr)
            loaded_under_about_box = !window.engine().input.InputPath.empty();
        return true;
    });
    show_and_load(window, path, not_loaded);
    QTRY_COMPARE(window.engine().input.InputPath, path.toStdString());
    QTRY_COMPARE(answer.seen.size(), 1 + messages.size());
    QCOMPARE(answer.seen.front().type, QStringLiteral("quorvane::TAboutBox"));
    QVERIFY(!loaded_under_about_box);
    QCOMPARE(answer.messages(), messages);
    QCOMPARE(window.open_dialog_file_name(), path);
    QCOMPARE(Child<QPushButton>(&window, "StartButton")->isEnabled(), size >= 82);
    QTRY_VERIFY(!window.tablet_bits().empty());
}

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
