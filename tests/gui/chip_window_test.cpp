// chip_window_test.cpp -- the tablet, the chip and stream pictures as drawn, the chip dialog and
// the 1-bit chip bitmap file.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <random>

#include "engine/bit_codecs.h"
#include "gui_test_support.h"
#include "ui/chip_images.h"
#include "ui/snippet_dialog.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

BitString RandomBits(std::mt19937& rng, size_t count) {
    BitString bits;
    for (size_t i = 0; i < count; ++i)
        bits.push_back((rng() & 1U) != 0);
    return bits;
}

BitString Field(int32_t value, int width) {
    BitString bits;
    bits.append_bits(static_cast<uint64_t>(value), static_cast<unsigned>(width));
    return bits;
}

uint32_t Le32(const QByteArray& bytes, int at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

uint16_t Le16(const QByteArray& bytes, int at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                 (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

// A stream of hl header-and-data bits followed by sl - hl decision bits, drawn by the window's
// front end as a run would; the chip dialog is closed without saving.
struct Drawn {
    BitString header;
    BitString stream;
    QStringList messages;
};

Drawn Draw(TZivIduv& window, int hl, int sl, unsigned seed = 3) {
    std::mt19937 rng(seed);
    Drawn d;
    d.header = RandomBits(rng, static_cast<size_t>(hl));
    d.stream = d.header;
    d.stream.append(RandomBits(rng, static_cast<size_t>(sl - hl)));
    ModalAnswerer answer([](QWidget* modal) {
        if (auto* snippet = qobject_cast<TSnippet*>(modal)) {
            snippet->reject();
            return false;
        }
        return true;
    });
    window.front_end().chip_ready(d.stream, d.header);
    d.messages = answer.messages();
    return d;
}

}  // namespace

class ChipWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void tablet();
    void chipPixels_data();
    void chipPixels();
    void streamPictureColours();
    void dialogShowsTheDrawing();
    void savedBitmapHasOneBitPerPixel();
    void untickedBoxSavesNothing();
};

void ChipWindowTest::tablet() {
    auto window = ShowMainWindow();
    const QImage& tablet = window->tablet_image();
    QCOMPARE(tablet.size(), QSize(190, 191));
    QCOMPARE(tablet.format(), QImage::Format_Mono);
    QCOMPARE(tablet.color(0), kChipBlack);
    QCOMPARE(tablet.color(1), kChipWhite);
    const BitString pixels = picture_pixels(tablet);
    QCOMPARE(BitsToDecimal(CopyBits(pixels, 36290 - 15, 16)), 35704);
    const BitString& bits = window->tablet_bits();
    QCOMPARE(bits.size(), size_t{35704});
    // The pixels between the content and the length field are black.
    for (size_t p = 35704; p < 36274; ++p)
        QVERIFY(pixels[p]);
    // Roughly as much black as white.
    size_t black = 0;
    for (size_t p = 0; p < bits.size(); ++p)
        black += bits[p] ? 1 : 0;
    QVERIFY(black > bits.size() * 2 / 5 && black < bits.size() * 3 / 5);
}

void ChipWindowTest::chipPixels_data() {
    QTest::addColumn<int>("hl");
    QTest::addColumn<int>("sl");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("HL 144: header and pad only") << 144 << 2000 << QStringList{};
    QTest::newRow("HL 599: no fill") << 599 << 36274 << QStringList{};
    QTest::newRow("HL 300") << 300 << 301 << QStringList{};
    QTest::newRow("HL 1100: too long for its field")
        << 1100 << 3000 << QStringList{"Decimal value to high"};
}

void ChipWindowTest::chipPixels() {
    QFETCH(int, hl);
    QFETCH(int, sl);
    QFETCH(QStringList, messages);
    auto window = ShowMainWindow();
    const Drawn d = Draw(*window, hl, sl);
    QCOMPARE(d.messages, messages);
    const QImage& chip = window->chip_image();
    QCOMPARE(chip.size(), QSize(25, 25));
    QCOMPARE(chip.depth(), 1);
    // Expected: the header and data, "1" fill up to 599, HL in 10 bits, SL in 16 bits; a longer
    // header fills the whole chip.
    BitString expected = d.header;
    if (hl <= 599) {
        expected.append_repeated(true, static_cast<size_t>(599 - hl));
        expected.append(Field(hl, 10));
        expected.append(Field(sl, 16));
        QCOMPARE(expected.size(), size_t{625});
    }
    for (int p = 0; p < 625; ++p) {
        const bool white = chip.pixel(p % 25, p / 25) == kChipWhite;
        if (white == expected[static_cast<size_t>(p)]) {
            QFAIL(qPrintable(QStringLiteral("chip pixel %1 is wrong").arg(p)));
        }
    }
    QCOMPARE(Child<QLabel>(window.get(), "ChipSizeLabel")->text(), QString::number(hl));
    QCOMPARE(Child<QLabel>(window.get(), "DirazSizeLabel")->text(), QString::number(sl - hl));
}

void ChipWindowTest::streamPictureColours() {
    auto window = ShowMainWindow();
    const int hl = 200;
    const Drawn d = Draw(*window, hl, 5000);
    const QImage& picture = window->stream_image();
    QCOMPARE(picture.size(), QSize(190, 191));
    const BitString& tablet = window->tablet_bits();
    const auto colour = [&](int p) { return picture.pixel(p % 190, p / 190); };
    int red = 0;
    int green = 0;
    for (int p = 0; p < 5000; ++p) {
        const bool zero = !d.stream[static_cast<size_t>(p)];
        const QRgb c = colour(p);
        if (!zero) {
            QCOMPARE(c, kChipBlack);
        } else if (p < hl) {
            QCOMPARE(c, qRgb(255, 0, 0));
            ++red;
        } else if (!tablet[static_cast<size_t>(p - hl)]) {
            QCOMPARE(c, qRgb(0, 255, 0));
            ++green;
        }
    }
    QVERIFY(red > 0 && green > 0);
    // Past the stream: "1" fill, black, up to the length field.
    for (int p = 5000; p < 36274; ++p)
        QCOMPARE(colour(p), kChipBlack);
}

void ChipWindowTest::dialogShowsTheDrawing() {
    auto window = ShowMainWindow();
    QString chip_text;
    QString table_text;
    QImage shown_chip;
    bool chip_box = false;
    ModalAnswerer answer([&](QWidget* modal) {
        if (auto* snippet = qobject_cast<TSnippet*>(modal)) {
            chip_text = Child<QLabel>(snippet, "ChipSizeLabel")->text();
            table_text = Child<QLabel>(snippet, "DirazSizeLabel")->text();
            shown_chip = snippet->chip();
            chip_box = Child<QCheckBox>(snippet, "ChipBox")->isChecked();
            snippet->reject();
            return false;
        }
        return true;
    });
    std::mt19937 rng(5);
    const BitString header = RandomBits(rng, 400);
    BitString stream = header;
    stream.append(RandomBits(rng, 1000));
    window->front_end().chip_ready(stream, header);
    TSnippet* snippet = window->snippet_dialog();
    QCOMPARE(snippet->windowTitle(), QStringLiteral("Chipcode + Tablet"));
    QCOMPARE(snippet->size(), QSize(294, 248));
    QCOMPARE(chip_text, QStringLiteral("400"));
    QCOMPARE(table_text, QStringLiteral("1000"));
    QCOMPARE(shown_chip, window->chip_image());
    QVERIFY(chip_box);
    QCOMPARE(Child<QCheckBox>(snippet, "ChipBox")->text(),
             QStringLiteral("Save Chip code (1 bit bmp)"));
}

void ChipWindowTest::savedBitmapHasOneBitPerPixel() {
    QTemporaryDir dir;
    const QString input = write_file(dir, QStringLiteral("in.bin"), to_qbytes(sparse_bytes(300)));
    // A private input gives a private bitmap.
    QFile::setPermissions(input, QFile::ReadOwner | QFile::WriteOwner);
    auto window = ShowMainWindow();
    window->load_input_file(input);
    // A stale file of the same name is replaced.
    write_file(dir, QStringLiteral("in.bin.bmp"), QByteArray("old"));
    std::mt19937 rng(11);
    const BitString header = RandomBits(rng, 350);
    BitString stream = header;
    stream.append(RandomBits(rng, 700));
    ModalAnswerer answer;  // presses OK with the box ticked
    window->front_end().chip_ready(stream, header);
    QCOMPARE(answer.count(QStringLiteral("quorvane::TSnippet")), 1);

    const QByteArray bmp = read_file(input + ".bmp");
    QVERIFY(bmp.startsWith("BM"));
    const auto bmp_permissions =
        std::filesystem::status(QFile::encodeName(input + ".bmp").toStdString()).permissions();
    QVERIFY(bmp_permissions ==
            (std::filesystem::perms::owner_read | std::filesystem::perms::owner_write));
    QCOMPARE(static_cast<int>(Le32(bmp, 18)), 25);  // width
    QCOMPARE(static_cast<int>(Le32(bmp, 22)), 25);  // height, rows bottom-up
    QCOMPARE(Le16(bmp, 28), uint16_t{1});           // bits per pixel
    // Colour table: index 0 black, index 1 white (blue, green, red, reserved).
    QCOMPARE(bmp.mid(54, 8), QByteArray("\x00\x00\x00\x00\xff\xff\xff\x00", 8));
    const uint32_t offset = Le32(bmp, 10);
    BitString chip = header;
    chip.append_repeated(true, 599 - 350);
    chip.append(Field(350, 10));
    chip.append(Field(1050, 16));
    for (int y = 0; y < 25; ++y) {
        const int row = static_cast<int>(offset) + (24 - y) * 4;  // rows padded to 4 bytes
        for (int x = 0; x < 25; ++x) {
            const bool file_bit =
                ((static_cast<uint8_t>(bmp[row + x / 8]) >> (7 - x % 8)) & 1) != 0;
            // Chip bit "0" is white, index 1.
            QCOMPARE(file_bit, !chip[static_cast<size_t>(y * 25 + x)]);
        }
    }
}

void ChipWindowTest::untickedBoxSavesNothing() {
    QTemporaryDir dir;
    const QString input = write_file(dir, QStringLiteral("in.bin"), to_qbytes(sparse_bytes(300)));
    auto window = ShowMainWindow();
    window->load_input_file(input);
    std::mt19937 rng(2);
    const BitString header = RandomBits(rng, 150);
    BitString stream = header;
    stream.append(RandomBits(rng, 50));
    bool ticked_second_time = true;
    int showings = 0;
    ModalAnswerer answer([&](QWidget* modal) {
        if (auto* snippet = qobject_cast<TSnippet*>(modal)) {
            auto* box = Child<QCheckBox>(snippet, "ChipBox");
            if (++showings == 1) {
                box->click();
            } else {
                ticked_second_time = box->isChecked();
            }
        }
        return true;
    });
    window->front_end().chip_ready(stream, header);
    window->front_end().chip_ready(stream, header);
    QCOMPARE(showings, 2);
    QVERIFY(!ticked_second_time);
    QVERIFY(!QFile::exists(input + ".bmp"));
}

QTEST_MAIN(ChipWindowTest)
#include "chip_window_test.moc"
