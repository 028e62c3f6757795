// The main window's layout and the binding between the settings record and
// its controls: ShowSettings and the entity check boxes.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "ui/window_font.h"
#include "window_harness.h"

using namespace korvel;
using korvel::testing::WindowHarness;

namespace {

QStringList Items(const QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
    return out;
}

QStringList Selected(const QListWidget* l) {
    QStringList out;
    for (const QListWidgetItem* i : l->selectedItems()) out << i->text();
    return out;
}

// On the box itself: a click beside a short caption would miss the button.
void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

}  // namespace

class SettingsBindingTest : public QObject {
    Q_OBJECT

  private slots:
    void windowHasFixedSizeTitleAndCaptionsThatFit() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        QCOMPARE(f.windowTitle(), QStringLiteral(" Korvel V 1.0"));
        QCOMPARE(f.size(), QSize(609, 559));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(CaptionsThatDoNotFit(&f), QStringList());
        QCOMPARE(h.Progress().windowTitle(), QStringLiteral(" Processing"));
        QCOMPARE(h.Progress().size(), QSize(359, 92));
        QCOMPARE(CaptionsThatDoNotFit(&h.Progress()), QStringList());
    }

    void controlsStandWhereTheWindowDefinitionPutsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        const auto row = [](const char* n, QRect r, const char* text, const char* hint) {
            QTest::newRow(n) << QString::fromLatin1(n) << r << QString::fromLatin1(text)
                             << QString::fromLatin1(hint);
        };
        row("SpeedButton12", {4, 536, 22, 22}, "", "Load a configuration file.");
        row("SpeedButton13", {28, 536, 22, 22}, "", "Save current configuration to file.");
        row("Label27", {58, 540, 147, 13}, "Configuration file in use :", "");
        row("PageControl10", {4, 0, 601, 533}, "", "");
        row("GroupBox3", {2, -1, 535, 178}, " DXF Files ", "");
        row("GroupBox2", {2, 182, 535, 49}, " Destination Directory and File Extension  ", "");
        row("GroupBox1", {2, 236, 155, 285}, " DXF Entities to process ", "");
        row("GroupBox10", {164, 236, 373, 285}, " Exported Data ", "");
        row("BitBtn1", {541, 4, 50, 40}, "", "Create Data Files...");
        row("BitBtn2", {541, 44, 50, 40}, "", "Exit...");
        row("BitBtn3", {541, 93, 50, 40}, "", "");
        row("Edit12", {496, 18, 33, 21}, "", "File extension for Data files");
        row("Edit4", {188, 10, 37, 21}, "", "Field separator for Data files");
        row("ListBox1", {8, 35, 151, 70}, "", "Available Data fields");
        row("Button5", {165, 40, 41, 25}, ">>", "");
        row("Button6", {165, 72, 41, 25}, "<<", "");
        row("ListBox2", {211, 35, 151, 70}, "", "Exported Data fields");
        row("PageControl1", {8, 106, 356, 171}, "", "");
        row("cbpoints", {8, 16, 57, 17}, "Points", "Points");
        row("cbellipse", {8, 76, 81, 17}, "Ellipses", "Ellipses and elliptic arcs");
        row("cb2dpl", {8, 136, 89, 17}, "2D Polylines", "2DPOLYLINE and LWPOLYLINE entities");
        row("cb2dplinc", {16, 152, 133, 17}, "Include additional points",
            "Include vertices that have been added by Curve-fitting or Spline-fitting");
        row("cbp3dinc", {16, 188, 133, 17}, "Include additional points",
            "Include vertices that have been added by Spline-fitting");
        row("cbsplincfit", {16, 224, 133, 17}, "Include additional points",
            "Include spline Fit points");
        row("cbtxt", {8, 244, 97, 17}, "Single lineText", "Single lineText");
        row("cbmtxt", {8, 264, 97, 17}, "Multiline Text", "Multiline Text");
        row("Edit6", {60, 40, 73, 21}, "", "Prefix for Number field");
        row("ComboBox5", {224, 40, 73, 21}, "", "Number of decimals");
        row("Edit11", {140, 80, 57, 21}, "", "");
        row("GroupBox5", {200, 0, 145, 158}, " Code sequence ", "");
        row("ListBox4", {8, 16, 128, 112}, "", "Fields in Code sequence");
        row("Edit7", {56, 133, 81, 21}, "", "");
        row("Edit3", {156, 136, 37, 21}, "", "Code separator");
    }

    void controlsStandWhereTheWindowDefinitionPutsThem() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        WindowHarness h;
        h.Create();
        auto* w = h.Form().findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->geometry(), place);
        QCOMPARE(w->toolTip(), hint);
        QString shown;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) shown = g->title();
        QCOMPARE(shown, text);
    }

    void maskZeroListsEveryFieldAsAvailableAndKeepsThePage() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        auto* pages = h.Control<QStackedWidget>("PageControl1");
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet2"));
        f.Config().settings.Set(field::DataFieldMask, 0);
        const SettingsImage before = f.Config().settings.image;
        f.ShowSettings();

        QCOMPARE(Items(h.Control<QListWidget>("ListBox2")), QStringList());
        QCOMPARE(Items(h.Control<QListWidget>("ListBox1")),
                 (QStringList{"Number", "X", "Y", "Z", "Code"}));
        QCOMPARE(Selected(h.Control<QListWidget>("ListBox1")), QStringList{"Number"});
        QVERIFY(!h.Control<QPushButton>("Button6")->isEnabled());
        QVERIFY(h.Control<QPushButton>("Button5")->isEnabled());
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet2"));
        QVERIFY(f.Config().settings.image == before);
        QVERIFY(f.ExportedDataFields().empty());
    }

    void maskThirtyOneListsEveryFieldAsExportedInIndexOrder() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        // A mask with bits above the five fields shows the five only.
        f.Config().settings.Set(field::DataFieldMask, 31 | 64 | 1024);
        f.Config().settings.Set(field::CodeElementMask, (1 << 6) | (1 << 1) | (1 << 12));
        f.Config().settings.Set(field::NumberPrefix, "P-");
        f.ShowSettings();

        QCOMPARE(Items(h.Control<QListWidget>("ListBox1")), QStringList());
        QCOMPARE(Items(h.Control<QListWidget>("ListBox2")),
                 (QStringList{"Number", "X", "Y", "Z", "Code"}));
        QCOMPARE(Selected(h.Control<QListWidget>("ListBox2")), QStringList{"Number"});
        QVERIFY(!h.Control<QPushButton>("Button5")->isEnabled());
        QVERIFY(h.Control<QPushButton>("Button6")->isEnabled());
        QCOMPARE(h.Control<QStackedWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("TabSheet2"));
        QCOMPARE(h.Control<QLineEdit>("Edit6")->text(), QStringLiteral("P-"));
        QCOMPARE(Items(h.Control<QListWidget>("ListBox4")), (QStringList{"Layer", "Counter"}));
        QCOMPARE(h.Control<QListWidget>("ListBox3")->count(), 6);
        QCOMPARE(Selected(h.Control<QListWidget>("ListBox4")), QStringList());
        QCOMPARE(Selected(h.Control<QListWidget>("ListBox3")), QStringList());
        // The core reads the lists through their mirrors.
        QCOMPARE(f.ExportedDataFields(),
                 (std::vector<std::string>{"Number", "X", "Y", "Z", "Code"}));
        QCOMPARE(f.CodeSequence(), (std::vector<std::string>{"Layer", "Counter"}));
    }

    void onlyCodeExportedShowsTheCodePage() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::DataFieldMask, 16);
        f.ShowSettings();
        QCOMPARE(h.Control<QStackedWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("TabSheet6"));
    }

    void decimalsOutsideTheListSelectNothingAndStayInTheRecord() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::XDecimals, 15);
        f.Config().settings.Set(field::YDecimals, -1);
        f.Config().settings.Set(field::ZDecimals, 14);
        f.Config().TakeSnapshot();
        f.ShowSettings();
        QCOMPARE(h.Control<QComboBox>("ComboBox3")->currentIndex(), -1);
        QCOMPARE(h.Control<QComboBox>("ComboBox4")->currentIndex(), -1);
        QCOMPARE(h.Control<QComboBox>("ComboBox5")->currentIndex(), 14);
        QCOMPARE(f.Config().settings.Get(field::XDecimals), 15);
        QCOMPARE(f.Config().settings.Get(field::YDecimals), -1);
        QVERIFY(!f.Config().Changed());
    }

    void showingALoadedFlagByteOtherThanOneChangesNothing() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.image[field::Process2DPolylines.offset] = 2;
        f.Config().settings.image[field::ProcessSplines.offset] = 7;
        f.Config().TakeSnapshot();
        f.ShowSettings();
        QVERIFY(h.Control<QCheckBox>("cb2dpl")->isChecked());
        QVERIFY(h.Control<QCheckBox>("cbsplincfit")->isEnabled());
        QVERIFY(!f.Config().Changed());
    }

    void forceZAndCompanionsFollowTheirBoxesAfterShowSettings() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        ExportSettings& s = f.Config().settings;
        s.Set(field::Process2DPolylines, false);
        s.Set(field::Include2DPolylineExtraPoints, true);
        s.Set(field::ProcessSplines, true);
        s.Set(field::IncludeSplineFitPoints, false);
        s.Set(field::ForceZ, true);
        s.Set(field::ForcedZValue, "12.5");
        s.Set(field::FileExtension, "xyz");
        s.Set(field::FieldSeparator, ";");
        f.ShowSettings();
        QVERIFY(!h.Control<QCheckBox>("cb2dplinc")->isEnabled());
        QVERIFY(h.Control<QCheckBox>("cb2dplinc")->isChecked());
        QVERIFY(h.Control<QCheckBox>("cbsplincfit")->isEnabled());
        QVERIFY(!h.Control<QCheckBox>("cbsplincfit")->isChecked());
        QVERIFY(h.Control<QCheckBox>("cbp3dinc")->isEnabled());
        QVERIFY(h.Control<QLineEdit>("Edit11")->isEnabled());
        QCOMPARE(h.Control<QLineEdit>("Edit11")->text(), QStringLiteral("12.5"));
        QCOMPARE(h.Control<QLineEdit>("Edit12")->text(), QStringLiteral("xyz"));
        QCOMPARE(h.Control<QLineEdit>("Edit4")->text(), QStringLiteral(";"));

        s.Set(field::ForceZ, false);
        f.ShowSettings();
        QVERIFY(!h.Control<QLineEdit>("Edit11")->isEnabled());
    }

    void clickingAParentEnablesItsCompanionWithoutTouchingItsFlag() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        auto* parent = h.Control<QCheckBox>("cb2dpl");
        auto* companion = h.Control<QCheckBox>("cb2dplinc");
        const ExportSettings& s = f.Config().settings;

        Click(parent);
        QVERIFY(!s.Get(field::Process2DPolylines));
        QVERIFY(!companion->isEnabled());
        QVERIFY(companion->isChecked());
        QVERIFY(s.Get(field::Include2DPolylineExtraPoints));
        QVERIFY(f.Config().Changed());

        Click(parent);
        QVERIFY(s.Get(field::Process2DPolylines));
        QVERIFY(companion->isEnabled());
        QVERIFY(!f.Config().Changed());

        Click(h.Control<QCheckBox>("cbspl"));
        QVERIFY(s.Get(field::ProcessSplines));
        QVERIFY(h.Control<QCheckBox>("cbsplincfit")->isEnabled());
        Click(h.Control<QCheckBox>("cbsplincfit"));
        QVERIFY(s.Get(field::IncludeSplineFitPoints));
    }

    void everyEntityBoxWritesItsOwnFlag_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("offset");
        const std::pair<const char*, BoolField> rows[] = {
            {"cbpoints", field::ProcessPoints},
            {"cbcirc", field::ProcessCircles},
            {"cbarcs", field::ProcessArcs},
            {"cbellipse", field::ProcessEllipses},
            {"cbblock", field::ProcessBlocks},
            {"cblines", field::ProcessLines},
            {"cb2dpl", field::Process2DPolylines},
            {"cb2dplinc", field::Include2DPolylineExtraPoints},
            {"cb3dpl", field::Process3DPolylines},
            {"cbp3dinc", field::Include3DPolylineExtraPoints},
            {"cbspl", field::ProcessSplines},
            {"cbtxt", field::ProcessText},
            {"cbmtxt", field::ProcessMText},
        };
        for (auto [name, flag] : rows)
            QTest::newRow(name) << QString::fromLatin1(name) << static_cast<int>(flag.offset);
    }

    void everyEntityBoxWritesItsOwnFlag() {
        QFETCH(QString, box);
        QFETCH(int, offset);
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const SettingsImage before = f.Config().settings.image;
        auto* cb = f.findChild<QCheckBox*>(box);
        Click(cb);
        const SettingsImage& after = f.Config().settings.image;
        for (std::size_t i = 0; i < kSettingsImageSize; ++i) {
            if (static_cast<int>(i) == offset)
                QCOMPARE(after[i], static_cast<std::uint8_t>(cb->isChecked() ? 1 : 0));
            else
                QCOMPARE(after[i], before[i]);
        }
        QVERIFY(before[static_cast<std::size_t>(offset)] !=
                after[static_cast<std::size_t>(offset)]);
    }

    void theMirrorFollowsEveryChangeOfTheExportedList() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        auto* list = h.Control<QListWidget>("ListBox2");
        const auto g0 = f.ListsGeneration();
        QListWidgetItem* z = list->takeItem(3);
        list->insertItem(0, z);
        QCOMPARE(f.ExportedDataFields(),
                 (std::vector<std::string>{"Z", "Number", "X", "Y", "Code"}));
        list->item(1)->setText(QString::fromLatin1("N\xe9"));
        QCOMPARE(f.ExportedDataFields()[1], std::string("N\xe9"));
        QVERIFY(f.ListsGeneration() > g0);
    }
};

QTEST_MAIN(SettingsBindingTest)
#include "settings_binding_test.moc"
