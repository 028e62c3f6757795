// The Code sequence editor driven as a user drives it: the move buttons, the
// value edit of the label, counter and entity number, the Code prefix and
// separator, and the Code fields a run writes afterwards.
#include <QLabel>
#include <QStackedWidget>

#include "editor_test_support.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

// The Code field of a data line whose only exported field is Code.
void ExportCodeOnly(EditorSetup& e) {
    for (const char* name : {"Number", "X", "Y", "Z"}) {
        e.ClickItem("ListBox2", name);
        e.Click("Button6");
    }
}

}  // namespace

class CodeSequenceEditorTest : public QObject {
    Q_OBJECT

  private slots:
    void defaultSequenceIsTheLayerAlone() {
        EditorSetup e;
        e.ClickItem("ListBox2", "Code");
        QCOMPARE(e.Control<QStackedWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("TabSheet6"));
        QCOMPARE(Items(e.Control<QListWidget>("ListBox4")), QStringList{"Layer"});
        QCOMPARE(Items(e.Control<QListWidget>("ListBox3")),
                 (QStringList{"Entity type", "Handle", "Block name", "Text", "Label", "Counter",
                              "Entity number"}));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox3")), QStringLiteral("Entity type"));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox4")), QStringLiteral("Layer"));
        QVERIFY(e.Control<QPushButton>("Button3")->isEnabled());
        QVERIFY(e.Control<QPushButton>("Button4")->isEnabled());
        QVERIFY(!e.Control<QLineEdit>("Edit7")->isEnabled());
        QVERIFY(!e.Control<QLabel>("Label9")->isEnabled());
    }

    void counterMovedInTakesTheValueEdit() {
        EditorSetup e;
        e.Settings().Set(field::CounterStart, 7);
        e.ClickItem("ListBox2", "Code");
        e.ClickItem("ListBox3", "Counter");
        e.Click("Button3");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox4")), (QStringList{"Layer", "Counter"}));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox4")), QStringLiteral("Counter"));
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox3")), QStringLiteral("Entity type"));
        auto* edit = e.Control<QLineEdit>("Edit7");
        QCOMPARE(e.Control<QLabel>("Label9")->text(), QStringLiteral("Start at :"));
        QVERIFY(Usable(edit) && e.Control<QLabel>("Label9")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->text(), QStringLiteral("7"));
        QCOMPARE(e.RunLines().mid(0, 2),
                 (QStringList{"1,1000.000,2000.500,0.250,L0,7", "2,1000.125,2000.438,1.250,L1,8"}));

        e.Type("Edit7", "a");
        QCOMPARE(edit->text(), QStringLiteral("1"));
        QCOMPARE(e.Settings().Get(field::CounterStart), 1);
        e.Type("Edit7", "5");
        QCOMPARE(e.Settings().Get(field::CounterStart), 15);
        e.Key("Edit7", Qt::Key_Backspace);
        e.Key("Edit7", Qt::Key_Backspace);  // empty fails here
        QCOMPARE(edit->text(), QStringLiteral("1"));
        QCOMPARE(e.Settings().Get(field::CounterStart), 1);

        // The entity number takes the same edit; "$10" pasted whole is 16.
        e.ClickItem("ListBox3", "Entity number");
        e.Click("Button3");
        e.Paste("Edit7", "$10");
        QCOMPARE(e.Settings().Get(field::EntityNumberStart), 16);
        QCOMPARE(e.Settings().Get(field::CounterStart), 1);
        e.Paste("Edit7", "2147483648");
        QCOMPARE(edit->text(), QStringLiteral("1"));
        QCOMPARE(e.Settings().Get(field::EntityNumberStart), 1);
    }

    void labelTakesFreeTextCutToFifty() {
        EditorSetup e;
        ExportCodeOnly(e);
        e.ClickItem("ListBox3", "Label");
        e.Click("Button3");
        QCOMPARE(e.Control<QLabel>("Label9")->text(), QStringLiteral("Label :"));
        const QString sixty = QStringLiteral("North-") + QString(54, QLatin1Char('w'));
        e.Type("Edit7", sixty);
        QCOMPARE(e.Control<QLineEdit>("Edit7")->text(), sixty);
        QCOMPARE(e.Settings().Get(field::LabelText), std::string_view(sixty.left(50).toLatin1()));

        // An element without a value disables the edit and keeps its caption and text.
        e.ClickItem("ListBox4", "Layer");
        QVERIFY(!e.Control<QLineEdit>("Edit7")->isEnabled());
        QVERIFY(!e.Control<QLabel>("Label9")->isEnabled());
        QCOMPARE(e.Control<QLabel>("Label9")->text(), QStringLiteral("Label :"));
        QCOMPARE(e.Control<QLineEdit>("Edit7")->text(), sixty);
        // The keyboard selects as the mouse does.
        QTest::keyClick(e.Control<QListWidget>("ListBox4"), Qt::Key_Down);
        QVERIFY(e.Control<QLineEdit>("Edit7")->isEnabled());

        e.Clear("Edit3");
        e.Type("Edit3", "//////////++");
        QCOMPARE(e.Settings().Get(field::CodeSeparator), std::string_view("//////////"));
        e.Type("Edit2", QString(60, QLatin1Char('c')));
        QCOMPARE(e.Settings().Get(field::CodePrefix), std::string(50, 'c'));
        QCOMPARE(e.RunLines().first(), QString(50, QLatin1Char('c')) + "L0//////////" +
                                           QString::fromLatin1(sixty.left(50).toLatin1()));
    }

    void sequenceOrderHoldsUntilTheCodePageIsRefreshed() {
        EditorSetup e;
        ExportCodeOnly(e);
        e.ClickItem("ListBox3", "Counter");
        e.Click("Button3");
        e.ClickItem("ListBox4", "Layer");
        e.Click("Button4");
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox3")), QStringLiteral("Layer"));
        e.Click("Button3");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox4")), (QStringList{"Counter", "Layer"}));
        QCOMPARE(e.Form().CodeSequence(), (std::vector<std::string>{"Counter", "Layer"}));
        e.Clear("Edit3");
        e.Type("Edit3", "/");
        QCOMPARE(e.RunLines(), (QStringList{"1/L0", "2/L1", "3/L2"}));

        // Another field, then Code again: the page is rebuilt in index order.
        e.ClickItem("ListBox1", "X");
        e.Click("Button5");
        e.ClickItem("ListBox2", "Code");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox4")), (QStringList{"Layer", "Counter"}));
        QCOMPARE(e.RunLines().first(), QStringLiteral("L0/1,1000.000"));
    }

    void lastElementMovedOutLeavesTheValueEdit() {
        EditorSetup e;
        e.Settings().Set(field::CodeElementMask, 1 << 6);
        e.Settings().Set(field::CounterStart, 9);
        e.Form().ShowSettings();
        e.ClickItem("ListBox2", "Code");
        QCOMPARE(e.Control<QLineEdit>("Edit7")->text(), QStringLiteral("9"));
        e.Click("Button4");
        QCOMPARE(Items(e.Control<QListWidget>("ListBox4")), QStringList());
        QVERIFY(!e.Control<QPushButton>("Button4")->isEnabled());
        QCOMPARE(SelectedText(e.Control<QListWidget>("ListBox3")), QStringLiteral("Counter"));
        QCOMPARE(e.Settings().Get(field::CodeElementMask), 0);
        e.Type("Edit7", "x");
        QCOMPARE(e.Control<QLineEdit>("Edit7")->text(), QStringLiteral("9x"));
        QCOMPARE(e.Settings().Get(field::CounterStart), 9);
    }

    void configurationWithOnlyCodeLoadsAtStartUp_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("line");
        QTest::newRow("label first") << ((1 << 5) | (1 << 6)) << "SURVEY"
                                     << "Label :"
                                     << "SURVEY;40";
        QTest::newRow("counter first") << ((1 << 6) | (1 << 7)) << "40"
                                       << "Start at :"
                                       << "40;700";
        QTest::newRow("entity number first") << (1 << 7) << "700"
                                             << "Start at :"
                                             << "700";
    }

    void configurationWithOnlyCodeLoadsAtStartUp() {
        QFETCH(int, mask);
        QFETCH(QString, value);
        QFETCH(QString, caption);
        QFETCH(QString, line);
        EditorSetup e(3, false);
        e.h.Create();
        ExportSettings s;
        s.image = DefaultSettingsImage();
        s.Set(field::DataFieldMask, 16);
        s.Set(field::CodeElementMask, mask);
        s.Set(field::CodeSeparator, ";");
        s.Set(field::LabelText, "SURVEY");
        s.Set(field::CounterStart, 40);
        s.Set(field::EntityNumberStart, 700);
        WriteAll(e.h.Configurations() + "/code.krv", ImageBytes(s));
        WriteAll(e.h.Path("korvel.ini"), "code.krv\r\n");
        e.Form().StartUp();
        QVERIFY(e.h.fakes.boxes.shown.empty());
        QCOMPARE(e.Control<QStackedWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("TabSheet6"));
        // ShowSettings lists the sequence afresh after the Code page showed
        // it, so nothing stays selected; the value edit keeps what it showed.
        QCOMPARE(e.Control<QListWidget>("ListBox4")->currentRow(), -1);
        QCOMPARE(e.Control<QLineEdit>("Edit7")->text(), value);
        QVERIFY(e.Control<QLineEdit>("Edit7")->isEnabled());
        QCOMPARE(e.Control<QLabel>("Label9")->text(), caption);
        QVERIFY(!e.Form().Config().Changed());
        e.Form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&e.Form()));
        QCOMPARE(e.RunLines().first(), line);
    }
};

QTEST_MAIN(CodeSequenceEditorTest)
#include "code_sequence_editor_test.moc"
