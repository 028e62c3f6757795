// Every control of the main window, with the name, text, hint and place of
// the window definition (left, top, width x height relative to the parent).
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>

#include "ui/dxf_file_list.h"
#include "ui/glyphs.h"
#include "ui/name_list_mirror.h"
#include "ui/output_options_dialog.h"
#include "ui/reading_options_dialog.h"
#include "ui/selrep.h"
#include "ui/window_font.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

template <typename W>
W* Place(W* w, QWidget* parent, const char* name, int x, int y, int width, int height) {
    w->setParent(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(x, y, width, height);
    return w;
}

template <typename W>
W* Make(QWidget* parent, const char* name, int x, int y, int width, int height) {
    return Place(new W, parent, name, x, y, width, height);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y, int width,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = Make<QLabel>(parent, name, x, y, width, 13);
    l->setText(QString::fromLatin1(text));
    l->setAlignment(align);
    return l;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* title, int x, int y, int width,
                     int height) {
    auto* g = Make<QGroupBox>(parent, name, x, y, width, height);
    g->setTitle(QString::fromLatin1(title));
    return g;
}

// A check box that takes a click anywhere on its place, not only on its
// caption, as the boxes of the original window did.
class WholeAreaCheckBox : public QCheckBox {
  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* text, const char* hint,
                        int x, int y, int width, int height = 17) {
    QCheckBox* c = Place(new WholeAreaCheckBox, parent, name, x, y, width, height);
    c->setText(QString::fromLatin1(text));
    if (hint) c->setToolTip(QString::fromLatin1(hint));
    return c;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* hint, int x, int y, int width,
                    int height = 21) {
    auto* e = Make<QLineEdit>(parent, name, x, y, width, height);
    if (hint) e->setToolTip(QString::fromLatin1(hint));
    return e;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, int x, int y,
                        int width, int height) {
    auto* b = Make<QPushButton>(parent, name, x, y, width, height);
    b->setText(QString::fromLatin1(text));
    return b;
}

QPushButton* MakeGlyphButton(QWidget* parent, const char* name, const QIcon& icon, const char* hint,
                             int x, int y, int width, int height) {
    auto* b = MakeButton(parent, name, "", x, y, width, height);
    b->setIcon(icon);
    b->setIconSize(QSize(32, 32));
    if (hint) b->setToolTip(QString::fromLatin1(hint));
    return b;
}

QToolButton* MakeSpeedButton(QWidget* parent, const char* name, const QIcon& icon, const char* hint,
                             int x, int y, int width, int height) {
    auto* b = Make<QToolButton>(parent, name, x, y, width, height);
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    if (hint) b->setToolTip(QString::fromLatin1(hint));
    return b;
}

QListWidget* MakeList(QWidget* parent, const char* name, const char* hint, int x, int y, int width,
                      int height) {
    auto* l = Make<QListWidget>(parent, name, x, y, width, height);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    if (hint) l->setToolTip(QString::fromLatin1(hint));
    return l;
}

QComboBox* MakeDecimalsBox(QWidget* parent, const char* name, int x, int y) {
    auto* c = Make<QComboBox>(parent, name, x, y, 73, 21);
    for (int i = 0; i <= 14; ++i) c->addItem(QString::number(i));
    c->setCurrentIndex(0);
    c->setToolTip(QStringLiteral("Number of decimals"));
    return c;
}

QStackedWidget* MakePageControl(QWidget* parent, const char* name, int x, int y, int width,
                                int height) {
    // A page control whose tabs are never shown: the framed page area only.
    auto* s = Make<QStackedWidget>(parent, name, x, y, width, height);
    s->setFrameShape(QFrame::StyledPanel);
    return s;
}

QWidget* AddPage(QStackedWidget* pages, const char* name) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    pages->addWidget(page);
    return page;
}

}  // namespace

TForm1::TForm1(PlatformServices platform, const QString& programFolder, QWidget* parent)
    : TForm1(platform, programFolder, programFolder, parent) {}

TForm1::TForm1(PlatformServices platform, const QString& dataFolder, const QString& userFolder,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Korvel V 1.0"));
    setFixedSize(609, 559);
    const auto withSeparator = [](const QString& path) {
        QString folder = QDir::toNativeSeparators(path);
        if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
        return folder;
    };
    programFolder_ = withSeparator(dataFolder);
    userFolder_ = withSeparator(userFolder);
    CreateControls();
    ChooseWindowFont(this);
    ApplyStyle();
    exportedFields_ = new NameListMirror(ListBox2, &listsGeneration_);
    codeSequence_ = new NameListMirror(ListBox4, &listsGeneration_);
    ConnectCommands();
}

TForm1::~TForm1() = default;

void TForm1::AttachDialogs(TForm2* progress, TForm3* destination) {
    progress_ = progress;
    destination_ = destination;
    if (destination_) destination_->SetDestinationField(Edit1);
}

const std::vector<std::string>& TForm1::ExportedDataFields() const {
    return exportedFields_->Items();
}

const std::vector<std::string>& TForm1::CodeSequence() const {
    return codeSequence_->Items();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Only Exit ends the program, so that the change prompt and the state
    // writes always run.
    event->setAccepted(FormCloseQuery());
}

void TForm1::CreateControls() {
    SpeedButton12 = MakeSpeedButton(this, "SpeedButton12", glyphs::LoadConfiguration(),
                                    "Load a configuration file.", 4, 536, 22, 22);
    SpeedButton13 = MakeSpeedButton(this, "SpeedButton13", glyphs::SaveConfiguration(),
                                    "Save current configuration to file.", 28, 536, 22, 22);
    SpeedButton12->setAutoRaise(true);
    SpeedButton13->setAutoRaise(true);
    Label27 = MakeLabel(this, "Label27", "Configuration file in use :", 58, 540, 147);
    Label19 = MakeLabel(this, "Label19", "Configuration file in use: ", 206, 540, 287);
    Label19->setProperty(kRuntimeTextProperty, true);

    PageControl10 = MakePageControl(this, "PageControl10", 4, 0, 601, 533);
    TabSheet1 = AddPage(PageControl10, "TabSheet1");
    TabSheet7 = AddPage(PageControl10, "TabSheet7");
    PageControl10->setCurrentWidget(TabSheet1);

    CreateFilesGroup();
    CreateDestinationGroup();
    CreateEntitiesGroup();
    CreateExportedDataGroup();

    BitBtn1 = MakeGlyphButton(TabSheet1, "BitBtn1", glyphs::CreateDataFiles(),
                              "Create Data Files...", 541, 4, 50, 40);
    BitBtn2 = MakeGlyphButton(TabSheet1, "BitBtn2", glyphs::Exit(), "Exit...", 541, 44, 50, 40);
    BitBtn3 = MakeGlyphButton(TabSheet1, "BitBtn3", glyphs::Options(), nullptr, 541, 93, 50, 40);

    CreateOptionsPage();
}

void TForm1::CreateFilesGroup() {
    GroupBox3 = MakeGroup(TabSheet1, "GroupBox3", " DXF Files ", 2, -1, 535, 178);
    sh1 = Make<QTreeView>(GroupBox3, "sh1", 8, 16, 250, 138);
    folderModel_ = new QFileSystemModel(sh1);
    folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folderModel_->setRootPath(QString());
    sh1->setModel(folderModel_);
    for (int column = 1; column < folderModel_->columnCount(); ++column) sh1->hideColumn(column);
    sh1->setHeaderHidden(true);
    sh1->setRootIsDecorated(false);

    fl1 = Place(new DxfFileList, GroupBox3, "fl1", 264, 16, 263, 120);
    fl1->setToolTip(
        QStringLiteral("Select files to process. Hold [Ctrl] key to select multiple files."));
    autosel = MakeCheckBox(GroupBox3, "autosel", "AutoSelect all files.",
                           "Automaticaly select all DXF files in the directory", 264, 139, 150);
    Label3 = MakeLabel(GroupBox3, "Label3", "Files selected.", 416, 141, 111,
                       Qt::AlignRight | Qt::AlignVCenter);
    Label3->setProperty(kRuntimeTextProperty, true);
    Label30 = MakeLabel(GroupBox3, "Label30", "Label30", 8, 159, 519);
    Label30->setProperty(kRuntimeTextProperty, true);
}

void TForm1::CreateDestinationGroup() {
    GroupBox2 = MakeGroup(TabSheet1, "GroupBox2", " Destination Directory and File Extension  ", 2,
                          182, 535, 49);
    Edit1 = MakeEdit(GroupBox2, "Edit1", "Data files will be created here.", 8, 18, 336);
    Edit1->setReadOnly(true);
    SpeedButton4 = MakeSpeedButton(GroupBox2, "SpeedButton4", glyphs::Browse(), "Browse disk ...",
                                   350, 17, 23, 23);
    SpeedButton4->setEnabled(false);
    const char* lockHint = "Makes Destination Directory match Files Directory";
    SpeedButton1 =
        MakeSpeedButton(GroupBox2, "SpeedButton1", glyphs::Lock(), lockHint, 377, 17, 23, 23);
    SpeedButton1->setCheckable(true);
    SpeedButton1->setChecked(true);  // drawn pressed: the destination is locked
    SpeedButton2 =
        MakeSpeedButton(GroupBox2, "SpeedButton2", glyphs::Lock(), lockHint, 377, 17, 23, 23);
    SpeedButton2->setVisible(false);
    Label11 = MakeLabel(GroupBox2, "Label11", "File Extension :", 420, 21, 75);
    Edit12 = MakeEdit(GroupBox2, "Edit12", "File extension for Data files", 496, 18, 33);
}

void TForm1::CreateEntitiesGroup() {
    GroupBox1 = MakeGroup(TabSheet1, "GroupBox1", " DXF Entities to process ", 2, 236, 155, 285);
    QWidget* g = GroupBox1;
    cbpoints = MakeCheckBox(g, "cbpoints", "Points", "Points", 8, 16, 57);
    cbcirc = MakeCheckBox(g, "cbcirc", "Circles", "Circles", 8, 36, 81);
    cbarcs = MakeCheckBox(g, "cbarcs", "Arcs", "Arcs", 8, 56, 81);
    cbellipse = MakeCheckBox(g, "cbellipse", "Ellipses", "Ellipses and elliptic arcs", 8, 76, 81);
    cbblock = MakeCheckBox(g, "cbblock", "Blocks", "Blocks", 8, 96, 81);
    cblines = MakeCheckBox(g, "cblines", "Lines", "Lines", 8, 116, 73);
    cb2dpl =
        MakeCheckBox(g, "cb2dpl", "2D Polylines", "2DPOLYLINE and LWPOLYLINE entities", 8, 136, 89);
    cb2dplinc = MakeCheckBox(
        g, "cb2dplinc", "Include additional points",
        "Include vertices that have been added by Curve-fitting or Spline-fitting", 16, 152, 133);
    cb3dpl = MakeCheckBox(g, "cb3dpl", "3D Polylines", "3DPOLYLINE entities", 8, 172, 81);
    cbp3dinc =
        MakeCheckBox(g, "cbp3dinc", "Include additional points",
                     "Include vertices that have been added by Spline-fitting", 16, 188, 133);
    cbspl = MakeCheckBox(g, "cbspl", "Splines", "Splines", 8, 208, 81);
    cbsplincfit = MakeCheckBox(g, "cbsplincfit", "Include additional points",
                               "Include spline Fit points", 16, 224, 133);
    cbtxt = MakeCheckBox(g, "cbtxt", "Single lineText", "Single lineText", 8, 244, 97);
    cbmtxt = MakeCheckBox(g, "cbmtxt", "Multiline Text", "Multiline Text", 8, 264, 97);
}

void TForm1::CreateExportedDataGroup() {
    GroupBox10 = MakeGroup(TabSheet1, "GroupBox10", " Exported Data ", 164, 236, 373, 285);
    QWidget* g = GroupBox10;
    Label2 = MakeLabel(g, "Label2", "Fields : ", 8, 20, 100);
    Label10 = MakeLabel(g, "Label10", "Field Separator : ", 108, 12, 79);
    Edit4 = MakeEdit(g, "Edit4", "Field separator for Data files", 188, 10, 37);
    Label5 = MakeLabel(g, "Label5", "Exported :", 312, 20, 58);
    ListBox1 = MakeList(g, "ListBox1", "Available Data fields", 8, 35, 151, 70);
    Button5 = MakeButton(g, "Button5", ">>", 165, 40, 41, 25);
    Button6 = MakeButton(g, "Button6", "<<", 165, 72, 41, 25);
    ListBox2 = MakeList(g, "ListBox2", "Exported Data fields", 211, 35, 151, 70);
    ListBox1->setProperty(kListRowsProperty, kDataFieldCount);
    ListBox2->setProperty(kListRowsProperty, kDataFieldCount);
    PageControl1 = MakePageControl(g, "PageControl1", 8, 106, 356, 171);
    TabSheet2 = AddPage(PageControl1, "TabSheet2");
    TabSheet3 = AddPage(PageControl1, "TabSheet3");
    TabSheet4 = AddPage(PageControl1, "TabSheet4");
    TabSheet5 = AddPage(PageControl1, "TabSheet5");
    TabSheet6 = AddPage(PageControl1, "TabSheet6");
    // The Z page is the one shown until a data field is selected.
    PageControl1->setCurrentWidget(TabSheet5);
    CreateFieldPages();
    CreateCodePage();
}

void TForm1::CreateFieldPages() {
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    GroupBox6 = MakeGroup(TabSheet2, "GroupBox6", " Settings ", 8, 22, 332, 105);
    Label12 = MakeLabel(GroupBox6, "Label12", "Prefix : ", 4, 44, 54, right);
    Edit6 = MakeEdit(GroupBox6, "Edit6", "Prefix for Number field", 60, 40, 73);
    Label13 = MakeLabel(GroupBox6, "Label13", "Start Number : ", 136, 44, 86, right);
    Edit5 = MakeEdit(GroupBox6, "Edit5", nullptr, 224, 40, 73);

    GroupBox7 = MakeGroup(TabSheet3, "GroupBox7", " Settings ", 8, 22, 332, 105);
    Label14 = MakeLabel(GroupBox7, "Label14", "Prefix : ", 4, 44, 54, right);
    Edit8 = MakeEdit(GroupBox7, "Edit8", "Prefix for X field", 60, 40, 73);
    Label15 = MakeLabel(GroupBox7, "Label15", "Decimals : ", 136, 44, 86, right);
    ComboBox3 = MakeDecimalsBox(GroupBox7, "ComboBox3", 224, 40);

    GroupBox8 = MakeGroup(TabSheet4, "GroupBox8", " Settings ", 8, 22, 332, 105);
    Label16 = MakeLabel(GroupBox8, "Label16", "Prefix : ", 4, 44, 54, right);
    Edit9 = MakeEdit(GroupBox8, "Edit9", "Prefix for Y field", 60, 40, 73);
    Label17 = MakeLabel(GroupBox8, "Label17", "Decimals : ", 136, 44, 86, right);
    ComboBox4 = MakeDecimalsBox(GroupBox8, "ComboBox4", 224, 40);

    GroupBox9 = MakeGroup(TabSheet5, "GroupBox9", " Settings ", 8, 22, 332, 119);
    Label18 = MakeLabel(GroupBox9, "Label18", "Prefix : ", 4, 44, 54, right);
    Edit10 = MakeEdit(GroupBox9, "Edit10", "Prefix for Z field", 60, 40, 73);
    Label20 = MakeLabel(GroupBox9, "Label20", "Decimals : ", 136, 44, 86, right);
    ComboBox5 = MakeDecimalsBox(GroupBox9, "ComboBox5", 224, 40);
    CheckBox8 =
        MakeCheckBox(GroupBox9, "CheckBox8",
                     "Force to this value : ", "Force Z coordinate to this value : ", 24, 83, 114);
    Edit11 = MakeEdit(GroupBox9, "Edit11", nullptr, 140, 80, 57);
}

void TForm1::CreateCodePage() {
    QWidget* page = TabSheet6;
    GroupBox4 = MakeGroup(page, "GroupBox4", " Available ", 4, 0, 145, 133);
    ListBox3 = MakeList(GroupBox4, "ListBox3", "Available Code fields", 8, 16, 128, 112);
    Button3 = MakeButton(page, "Button3", ">>", 154, 40, 41, 25);
    Button4 = MakeButton(page, "Button4", "<<", 154, 72, 41, 25);
    GroupBox5 = MakeGroup(page, "GroupBox5", " Code sequence ", 200, 0, 145, 158);
    ListBox4 = MakeList(GroupBox5, "ListBox4", "Fields in Code sequence", 8, 16, 128, 112);
    ListBox3->setProperty(kListRowsProperty, kCodeElementCount);
    ListBox4->setProperty(kListRowsProperty, kCodeElementCount);
    Label9 = MakeLabel(GroupBox5, "Label9", "Start at :", 10, 136, 44,
                       Qt::AlignRight | Qt::AlignVCenter);
    Edit7 = MakeEdit(GroupBox5, "Edit7", nullptr, 56, 133, 81);
    Label1 = MakeLabel(page, "Label1", "Prefix : ", 4, 140, 36);
    Edit2 = MakeEdit(page, "Edit2", "Prefix for Code field", 40, 136, 53);
    Label4 = MakeLabel(page, "Label4", "Separator : ", 100, 140, 56);
    Edit3 = MakeEdit(page, "Edit3", "Code separator", 156, 136, 37);
}

void TForm1::CreateOptionsPage() {
    QWidget* page = TabSheet7;
    GroupBox14 = MakeGroup(page, "GroupBox14", " Options / Help ", 8, 8, 583, 128);
    Image1 = Make<QLabel>(GroupBox14, "Image1", 16, 28, 32, 32);
    Image1->setPixmap(glyphs::Processing(32));
    Label29 = MakeLabel(GroupBox14, "Label29", "After process:", 64, 24, 120);
    rep1 = Make<QRadioButton>(GroupBox14, "rep1", 64, 44, 160, 17);
    rep1->setText(QStringLiteral("Always show Report."));
    rep3 = Make<QRadioButton>(GroupBox14, "rep3", 64, 66, 160, 17);
    rep3->setText(QStringLiteral("Never show Report."));
    BitBtn5 = MakeButton(GroupBox14, "BitBtn5", " Show Help file", 420, 38, 145, 30);
    BitBtn5->setIcon(glyphs::Help());
    // How drawings are read: under the report option, clear of the controls
    // above it; the dialog holds the two reading options of every
    // configuration as well.
    ReadingOptionsButton =
        MakeButton(GroupBox14, "ReadingOptionsButton", "Reading drawings...", 64, 90, 160, 26);
    ReadingOptionsButton->setToolTip(
        QStringLiteral("Layers, block attributes, the contents of blocks, and drawings from "
                       "other writers"));
    ReadingOptions = new ReadingOptionsDialog(this, config_.options);
    cbaligncodes = ReadingOptions->cbaligncodes;
    cbmissingz = ReadingOptions->cbmissingz;
    // How data files are written, beside how drawings are read.
    OutputOptionsButton =
        MakeButton(GroupBox14, "OutputOptionsButton", "Writing data files...", 232, 90, 160, 26);
    OutputOptionsButton->setToolTip(
        QStringLiteral("The format of the data files (CSV, GeoJSON, GeoPackage, LandXML, "
                       "Leica GSI-16) and the coordinate systems"));
    OutputOptions = new OutputOptionsDialog(this, config_.options);

    GroupBox11 = MakeGroup(page, "GroupBox11", " Tessivo on the web ", 8, 144, 583, 80);
    SpeedButton11 = MakeSpeedButton(GroupBox11, "SpeedButton11", QIcon(glyphs::WebSite(150, 50)),
                                    nullptr, 16, 20, 154, 54);
    SpeedButton11->setIconSize(QSize(150, 50));
    SpeedButton11->setAutoRaise(true);
    Label28 = MakeLabel(GroupBox11, "Label28", "Visit the Tessivo web site for news and updates.",
                        184, 41, 380);

    BitBtn4 = MakeButton(page, "BitBtn4", "Back to main window", 431, 488, 160, 32);
}

void TForm1::ApplyStyle() {
    // Group captions navy and set into the frame line, as the places of the
    // controls inside the groups expect. A style sheet hands its own font to
    // the controls it polishes, so the chosen font is part of it.
    const QFont f = font();
    setStyleSheet(
        QStringLiteral(
            "QWidget { font-family: \"%1\"; font-size: %2px; }"
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
            "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
            " left: 7px; padding: 0px 1px; color: #000080; }"
            "#Label27, #Label19, #ListBox1, #ListBox2, #BitBtn4 { font-weight: bold; }"
            "#Label19, #ListBox1, #ListBox3 { color: #800000; }"
            "#ListBox2, #ListBox4 { color: #008080; }")
            .arg(f.family())
            .arg(f.pixelSize()));
    // The read-only destination and the extension on the tool-tip colour.
    for (QLineEdit* e : {Edit1, Edit12}) {
        QPalette p;
        p.setColor(QPalette::Base, p.color(QPalette::ToolTipBase));
        e->setPalette(p);
    }
}

void TForm1::ConnectCommands() {
    const std::pair<QCheckBox*, void (TForm1::*)()> entityBoxes[] = {
        {cbpoints, &TForm1::cbpointsClick}, {cbcirc, &TForm1::cbcircClick},
        {cbarcs, &TForm1::cbarcsClick},     {cbellipse, &TForm1::cbellipseClick},
        {cbblock, &TForm1::cbblockClick},   {cblines, &TForm1::cblinesClick},
        {cb2dpl, &TForm1::cb2dplClick},     {cb2dplinc, &TForm1::cb2dplincClick},
        {cb3dpl, &TForm1::cb3dplClick},     {cbp3dinc, &TForm1::cbp3dincClick},
        {cbspl, &TForm1::cbsplClick},       {cbsplincfit, &TForm1::cbsplincfitClick},
        {cbtxt, &TForm1::cbtxtClick},       {cbmtxt, &TForm1::cbmtxtClick},
    };
    // `clicked` comes from the user only (mouse or space bar); ShowSettings
    // runs the handlers it needs itself.
    for (auto [box, handler] : entityBoxes)
        connect(box, &QCheckBox::clicked, this,
                [this, click = handler] { Guarded([&] { (this->*click)(); }); });

    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(SpeedButton12, &QToolButton::clicked, this, &TForm1::SpeedButton12Click);
    connect(SpeedButton13, &QToolButton::clicked, this, &TForm1::SpeedButton13Click);
    ConnectDataFieldEditor();
    ConnectCodeSequenceEditor();
    ConnectFilesAndOptions();
}

}  // namespace korvel
