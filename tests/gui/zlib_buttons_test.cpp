// zlib_buttons_test.cpp -- the Compress and Decompress buttons: dialog titles, the files they
// write, the remembered file name, errors, and runs named from the loaded file afterwards.
#include <zlib.h>

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "gui_test_support.h"
#include "ui/snippet_dialog.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// zlib's own one-shot inflate, as an independent check of what Compress wrote.
QByteArray Inflate(const QByteArray& stream, qsizetype size) {
    QByteArray out(size, '\0');
    uLongf length = static_cast<uLongf>(size);
    const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                              reinterpret_cast<const Bytef*>(stream.constData()),
                              static_cast<uLong>(stream.size()));
    if (rc != Z_OK) return QByteArray("inflate failed");
    out.resize(static_cast<qsizetype>(length));
    return out;
}

}  // namespace

class ZlibButtonsTest : public QObject {
    Q_OBJECT

  private slots:
    void compressThenDecompress_data();
    void compressThenDecompress();
    void cancelledDialog_data();
    void cancelledDialog();
    void nameWithoutZlibIsIgnored();
    void corruptStreamGoesToErrorReport();
    void runIsNamedFromTheLoadedFile();
};

void ZlibButtonsTest::compressThenDecompress_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("sparse data") << to_qbytes(sparse_bytes(70000, 1, 5));
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text") << QByteArray("the centrifuge splits rods of bits\n").repeated(50);
}

void ZlibButtonsTest::compressThenDecompress() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = write_file(dir, QStringLiteral("a.txt"), content);
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    QStringList titles;
    QString next = path;
    window->choose_file = [&](const QString& title) {
        titles << title;
        return next;
    };
    Child<QPushButton>(window.get(), "Compress_Button")->click();
    const QByteArray stream = read_file(path + ".zlib");
    QVERIFY(stream.size() >= 8);  // header and Adler-32 trailer at least
    QCOMPARE(Inflate(stream, content.size() + 1), content);
    QCOMPARE(window->open_dialog_file_name(), QString());
    QCOMPARE(window->focusWidget(), Child<QPushButton>(window.get(), "Exit_Button"));

    // Decompressing replaces the file of the plain name.
    write_file(dir, QStringLiteral("a.txt"), QByteArray("something else"));
    next = path + ".zlib";
    Child<QPushButton>(window.get(), "DeCompress_Button")->click();
    QCOMPARE(read_file(path), content);
    QCOMPARE(QFileInfo(path).size(), content.size());
    QCOMPARE(window->open_dialog_file_name(), QString());
    QCOMPARE(titles,
             (QStringList{" Load file into ZLib Compressor", " Load file into ZLib DeCompressor"}));
    QVERIFY(answer.seen.isEmpty());
}

void ZlibButtonsTest::cancelledDialog_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("Compress") << "Compress_Button";
    QTest::newRow("Decompress") << "DeCompress_Button";
}

void ZlibButtonsTest::cancelledDialog() {
    QFETCH(QString, button);
    QTemporaryDir dir;
    const QString path = write_file(dir, QStringLiteral("a.bin"), to_qbytes(sparse_bytes(300)));
    auto window = ShowMainWindow();
    window->load_input_file(path);
    QCOMPARE(window->open_dialog_file_name(), path);
    window->choose_file = [](const QString&) { return QString(); };
    window->findChild<QPushButton*>(button)->click();
    // Cancelled, the dialog still forgets its file name; nothing is written.
    QCOMPARE(window->open_dialog_file_name(), QString());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.bin"});
}

void ZlibButtonsTest::nameWithoutZlibIsIgnored() {
    QTemporaryDir dir;
    const QByteArray stream = QByteArray::fromHex("789c030000000001");  // empty zlib stream
    const QString upper = write_file(dir, QStringLiteral("a.ZLIB"), stream);
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->choose_file = [&](const QString&) { return upper; };
    Child<QPushButton>(window.get(), "DeCompress_Button")->click();
    QVERIFY(answer.seen.isEmpty());
    QCOMPARE(window->open_dialog_file_name(), upper);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.ZLIB"});
}

void ZlibButtonsTest::corruptStreamGoesToErrorReport() {
    QTemporaryDir dir;
    const QString path = write_file(dir, QStringLiteral("b.zlib"), QByteArray("not a zlib stream"));
    auto window = ShowMainWindow();
    ModalAnswerer answer;
    window->choose_file = [&](const QString&) { return path; };
    Child<QPushButton>(window.get(), "DeCompress_Button")->click();
    // zlib's text stands as it is; the file follows on a second line.
    QCOMPARE(answer.messages(), QStringList{"data error.\n" + path});
    QCOMPARE(window->open_dialog_file_name(), QString());
    // Nothing half-written under the target's name.
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b"))));
}

void ZlibButtonsTest::runIsNamedFromTheLoadedFile() {
    QTemporaryDir dir;
    const QString input =
        write_file(dir, QStringLiteral("data.bin"), to_qbytes(sparse_bytes(3000)));
    const QString other = write_file(dir, QStringLiteral("other.txt"), QByteArray("other"));
    auto window = ShowMainWindow();
    ModalAnswerer answer;  // OK in the chip dialog saves the bitmap
    window->load_input_file(input);
    window->choose_file = [&](const QString&) { return other; };
    Child<QPushButton>(window.get(), "Compress_Button")->click();
    QCOMPARE(window->open_dialog_file_name(), QString());
    Child<QPushButton>(window.get(), "StartButton")->click();
    QCOMPARE(answer.count(QStringLiteral("quorvane::TSnippet")), 1);
    QVERIFY(QFile::exists(input + ".rod"));
    QVERIFY(QFile::exists(input + ".bmp"));
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::Files),
        (QStringList{"data.bin", "data.bin.bmp", "data.bin.rod", "other.txt", "other.txt.zlib"}));
}

QTEST_MAIN(ZlibButtonsTest)
#include "zlib_buttons_test.moc"
