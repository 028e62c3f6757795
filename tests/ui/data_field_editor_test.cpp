// The data field editor driven as a user drives it: the move buttons, the
// settings pages, the prefix, separator and extension edits, the decimals,
// the start number and the forced Z value, checked in the record, the
// controls and the data lines a run writes afterwards.
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>

#include "editor_test_support.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

QString Page(EditorSetup& e) {
    return e.Control<QStackedWidget>("PageControl1")->currentWidget()->objectName();
}

}  // namespace

class DataFieldEditorTest : public QObject {
    Q_OBJECT

  private slots:
    void fieldMovedToExportedIsWrittenLastUntilSavedAndLoaded() {
        EditorSetup e;
        e.ClickItem("ListBox2", "Y");
        e.Click("Button6");
        e.ClickItem("ListBox2", "Z");
        e.Click("Button6");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox2")), (QStringList{"Number", "X", "Code"}));
        QCOMPARE(Items(e.Control<QListWidget>("ListBox1")), (QStringList{"Y", "Z"}));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox1")), QStringLiteral("Z"));

        e.ClickItem("ListBox1", "Y");
        e.Click("Button5");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox2")),
                 (QStringList{"Number", "X", "Code", "Y"}));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox2")), QStringLiteral("Y"));
        QCOMPARE(Page(e), QStringLiteral("TabSheet4"));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox1")), QStringLiteral("Z"));
        QVERIFY(e.Control<QPushButton>("Button5")->isEnabled());
        QCOMPARE(e.Settings().Get(field::DataFieldMask), 1 | 2 | 4 | 16);
        QCOMPARE(e.RunLines().first(), QStringLiteral("1,1000.000,L0,2000.500"));

        const QString path = e.h.Configurations() + "/ordered.krv";
        e.h.fakes.dialogs.answers = {path, path};
        e.Form().SpeedButton13Click();
        e.Form().SpeedButton12Click();
        QCOMPARE(Items(e.Control<QListWidget>("ListBox2")),
                 (QStringList{"Number", "X", "Y", "Code"}));
        QCOMPARE(e.RunLines().first(), QStringLiteral("1,1000.000,2000.500,L0"));
        QVERIFY(e.h.fakes.boxes.shown.empty());
    }

    void fieldMovedOutAndBackInGoesLastAndLeavesNoChange() {
        EditorSetup e;
        e.ClickItem("ListBox2", "X");
        e.Click("Button6");
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox1")), QStringLiteral("X"));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox2")), QStringLiteral("Number"));
        QCOMPARE(Page(e), QStringLiteral("TabSheet2"));
        QVERIFY(e.Form().Config().Changed());
        e.Click("Button5");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox2")),
                 (QStringList{"Number", "Y", "Z", "Code", "X"}));
        QVERIFY(!e.Control<QPushButton>("Button5")->isEnabled());
        QVERIFY(!e.Form().Config().Changed());
        QCOMPARE(e.RunLines().first(), QStringLiteral("1,2000.500,0.250,L0,1000.000"));
    }

    void lastFieldMovedBackKeepsItsPageEditable() {
        EditorSetup e;
        e.Settings().Set(field::DataFieldMask, 2);
        e.Settings().Set(field::XPrefix, "px");
        e.Form().ShowSettings();
        QCOMPARE(Page(e), QStringLiteral("TabSheet3"));
        e.Click("Button6");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox2")), QStringList());
        QCOMPARE(Items(e.Control<QListWidget>("ListBox1")),
                 (QStringList{"Number", "Y", "Z", "Code", "X"}));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox1")), QStringLiteral("X"));
        QVERIFY(!e.Control<QPushButton>("Button6")->isEnabled());
        QVERIFY(e.Control<QPushButton>("Button5")->isEnabled());
        QCOMPARE(Page(e), QStringLiteral("TabSheet3"));
        e.Type("Edit8", "q");
        QCOMPARE(e.Settings().Get(field::XPrefix), std::string_view("pxq"));
        QCOMPARE(e.Settings().Get(field::DataFieldMask), 0);
        QVERIFY(e.Form().ExportedDataFields().empty());
    }

    void keyboardSelectionInTheExportedListShowsThePage() {
        EditorSetup e;
        e.ClickItem("ListBox2", "Number");
        QTest::keyClick(e.Control<QListWidget>("ListBox2"), Qt::Key_Down);
        QCOMPARE(Page(e), QStringLiteral("TabSheet3"));
        QTest::keyClick(e.Control<QListWidget>("ListBox2"), Qt::Key_End);
        QCOMPARE(Page(e), QStringLiteral("TabSheet6"));
    }

    void startNumberIsCheckedAtEveryKeyRelease() {
        EditorSetup e;
        e.ClickItem("ListBox2", "Number");
        e.Clear("Edit5");
        QCOMPARE(e.Settings().Get(field::StartNumber), 1);
        e.Type("Edit5", "12");
        QCOMPARE(e.Settings().Get(field::StartNumber), 12);
        e.Type("Edit5", "a");
        QCOMPARE(e.Control<QLineEdit>("Edit5")->text(), QStringLiteral("1"));
        QCOMPARE(e.Settings().Get(field::StartNumber), 1);
        e.Type("Edit5", "5");
        e.Clear("Edit5");  // an empty edit keeps the last number
        QCOMPARE(e.Settings().Get(field::StartNumber), 15);
        e.Type("Edit5", "-");
        QCOMPARE(e.Control<QLineEdit>("Edit5")->text(), QStringLiteral("1"));
        QCOMPARE(e.Settings().Get(field::StartNumber), 1);
        e.Type("Edit5", "5");
        e.Key("Edit5", Qt::Key_Home);
        e.Type("Edit5", "-");  // the sign typed in front of the digits
        QCOMPARE(e.Settings().Get(field::StartNumber), -15);
        QCOMPARE(e.RunLines().mid(0, 2),
                 (QStringList{"-15,1000.000,2000.500,0.250,L0", "-14,1000.125,2000.438,1.250,L1"}));
    }

    void wholeTextsAtAKeyRelease_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* text, int stored, const char* shown) {
            QTest::newRow(text) << QString::fromLatin1(text) << stored
                                << QString::fromLatin1(shown);
        };
        row("-5", -5, "-5");
        row("$10", 16, "$10");
        row("x1f", 31, "x1f");
        row("0X10", 16, "0X10");
        row("-$10", -16, "-$10");
        row("  +42", 42, "  +42");
        row("2147483647", 2147483647, "2147483647");
        row("-2147483648", INT32_MIN, "-2147483648");
        row("$7FFFFFFF", 2147483647, "$7FFFFFFF");
        row("$FFFFFFFF", -1, "$FFFFFFFF");
        row("2147483648", 1, "1");
        row("-2147483649", 1, "1");
        row("$100000000", 1, "1");
        row("12a", 1, "1");
        row("1.5", 1, "1");
        row("7 ", 1, "1");
        row("   ", 1, "1");
        row("$", 1, "1");
        row("0x", 1, "1");
    }

    void wholeTextsAtAKeyRelease() {
        QFETCH(QString, text);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        EditorSetup e;
        e.Settings().Set(field::StartNumber, 99);
        e.ClickItem("ListBox2", "Number");
        e.Paste("Edit5", text);
        QCOMPARE(e.Control<QLineEdit>("Edit5")->text(), shown);
        QCOMPARE(e.Settings().Get(field::StartNumber), stored);
    }

    void forcedZValueIsCheckedAtEveryKeyRelease() {
        EditorSetup e;
        e.ClickItem("ListBox2", "Z");
        QTest::mouseClick(e.Control<QCheckBox>("CheckBox8"), Qt::LeftButton, {}, QPoint(6, 8));
        QVERIFY(e.Settings().Get(field::ForceZ));
        QVERIFY(e.Control<QLineEdit>("Edit11")->isEnabled());
        // An empty value shows "0.00"; the record takes it at a key release.
        QCOMPARE(e.Control<QLineEdit>("Edit11")->text(), QStringLiteral("0.00"));
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view());
        e.Key("Edit11", Qt::Key_End);
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view("0.00"));

        e.Clear("Edit11");
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view("0.00"));
        for (const QString typed : {"1", "1.", "1.5", "1.5e", "1.5e2"}) {
            e.Type("Edit11", typed.right(1));
            QCOMPARE(e.Control<QLineEdit>("Edit11")->text(), typed);
            QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view(typed.toLatin1()));
        }
        QCOMPARE(e.RunLines().first(), QStringLiteral("1,1000.000,2000.500,150.000,L0"));

        // Typed, "1," fails at the comma; pasted whole, "1,5" fails too.
        e.Type("Edit11", ",");
        QCOMPARE(e.Control<QLineEdit>("Edit11")->text(), QStringLiteral("0.00"));
        e.Paste("Edit11", "1,5");
        QCOMPARE(e.Control<QLineEdit>("Edit11")->text(), QStringLiteral("0.00"));
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view("0.00"));
        e.Clear("Edit11");
        e.Type("Edit11", "-");
        QCOMPARE(e.Control<QLineEdit>("Edit11")->text(), QStringLiteral("0.00"));
        e.Paste("Edit11", "1.5e2");
        e.Paste("Edit11", "1e5x");
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view("0.00"));
        e.Clear("Edit11");
        e.Type("Edit11", ".");
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view("."));
        e.Paste("Edit11", "123.45678901");
        QCOMPARE(e.Control<QLineEdit>("Edit11")->text(), QStringLiteral("123.45678901"));
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view("123.456789"));
        e.Paste("Edit11", "1e99999");  // beyond the extended range
        QCOMPARE(e.Settings().Get(field::ForcedZValue), std::string_view("0.00"));
    }

    void textsAreCutByBytesAndKeepWhatLiesBehind() {
        EditorSetup e;
        e.ClickItem("ListBox2", "Number");
        const QString sixty = QString(59, QLatin1Char('p')) + QChar(0xE9);
        e.Type("Edit6", sixty);
        QCOMPARE(e.Control<QLineEdit>("Edit6")->text(), sixty);
        QCOMPARE(e.Settings().Get(field::NumberPrefix), std::string(50, 'p'));

        e.Clear("Edit6");
        e.Type("Edit6", QString::fromLatin1("\xe9"
                                            "bcd"));
        e.Key("Edit6", Qt::Key_Backspace);
        const SettingsImage& image = e.Settings().image;
        QCOMPARE(e.Settings().Get(field::NumberPrefix), std::string_view("\xe9"
                                                                         "bc"));
        QCOMPARE(image[field::NumberPrefix.offset + 4], std::uint8_t('d'));
        QCOMPARE(image[field::NumberPrefix.offset + 5], std::uint8_t('p'));

        e.Clear("Edit12");
        e.Type("Edit12", "datafile123");
        QCOMPARE(e.Settings().Get(field::FileExtension), std::string_view("datafile12"));
        e.Clear("Edit4");
        e.Type("Edit4", ";;;;;;;;;;;;");
        QCOMPARE(e.Settings().Get(field::FieldSeparator), std::string_view(";;;;;;;;;;"));
        e.ClickItem("ListBox2", "X");
        e.Type("Edit8", "X=");
        QCOMPARE(e.RunLines("a.datafile12").first(),
                 QString::fromLatin1("\xe9"
                                     "bc1,X=1000.000,2000.500,0.250,L0"));
    }

    void decimalsTakeTheChosenItem() {
        EditorSetup e;
        e.ClickItem("ListBox2", "X");
        auto* box = e.Control<QComboBox>("ComboBox3");
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), QStringLiteral("4"));
        QCOMPARE(e.Settings().Get(field::XDecimals), 4);
        QCOMPARE(e.RunLines().first(), QStringLiteral("1,1000.0000,2000.500,0.250,L0"));
    }

    void showingALoadedRecordWritesNothing() {
        EditorSetup e(3, false);
        SettingsImage image = DefaultSettingsImage();
        const auto put = [&](std::size_t at, std::string_view bytes) {
            std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(at));
        };
        put(field::NumberPrefix.offset,
            "\x03"
            "abcJUNK");
        put(field::FieldSeparator.offset,
            "\x0e"
            ";;;;;;;;;;");  // length beyond capacity
        put(field::LabelText.offset,
            "\x3c"
            "LBL");
        put(field::ForcedZValue.offset,
            "\x03"
            "abc");  // no number
        image[field::ForceZ.offset] = 1;
        image[field::XDecimals.offset] = 20;
        image[field::DataFieldMask.offset] = 31 | 32;
        image[field::CodeElementMask.offset] = (1 << 5) | (1 << 6);
        image[91] = 0x5A;  // padding
        const QByteArray file(reinterpret_cast<const char*>(image.data()), kSettingsImageSize);
        WriteAll(e.h.Configurations() + "/odd.krv", file);
        WriteAll(e.h.Path("korvel.ini"), "odd.krv\r\n");
        e.Start();
        QVERIFY(e.h.fakes.boxes.shown.empty());
        QVERIFY(e.Settings().image == image);
        for (const char* name : {"Number", "X", "Y", "Z", "Code"}) e.ClickItem("ListBox2", name);
        QVERIFY(e.Control<QLineEdit>("Edit7")->text().startsWith(QStringLiteral("LBL")));
        QVERIFY(e.Settings().image == image);
        QVERIFY(!e.Form().Config().Changed());
    }

    void movingAFieldDuringARunChangesTheLinesAfterIt() {
        EditorSetup e(2000);
        e.Form().pumpTiming = PumpTiming{1, std::chrono::steady_clock::duration::zero()};
        bool moved = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!moved && e.h.Progress().ProgressBar1->value() >= 50) {
                moved = true;
                e.ClickItem("ListBox2", "Code");
                e.Click("Button6");
            }
        });
        watcher.start(0);
        const QStringList lines = e.RunLines();
        QVERIFY(moved);
        QCOMPARE(lines.size(), 2000);
        qsizetype switchAt = -1;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const qsizetype fields = lines[i].count(QLatin1Char(',')) + 1;
            QCOMPARE(fields, switchAt < 0 ? (fields == 4 ? 4 : 5) : 4);
            if (switchAt < 0 && fields == 4) switchAt = i;
        }
        QVERIFY(switchAt > 500 && switchAt < 1900);
        QCOMPARE(lines.first().section(',', 4), QStringLiteral("L0"));
    }
};

QTEST_MAIN(DataFieldEditorTest)
#include "data_field_editor_test.moc"
