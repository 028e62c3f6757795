// The options page: the report option, the help file, the maker's web site,
// and how drawings are read (the reading options dialog and its layer picker).
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>

#include "run/drawing_conversion.h"
#include "run/layer_listing.h"
#include "ui/dxf_file_list.h"
#include "ui/layer_picker.h"
#include "ui/output_options_dialog.h"
#include "ui/reading_options_dialog.h"
#include "ui/text_bytes.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

const QString kShowLog = QStringLiteral("showlog");
const QString kAlignCodes = QStringLiteral("aligncodes");
const QString kMissingZ = QStringLiteral("missingz");

// The help file beside the program. Windows has a viewer for compiled help;
// elsewhere the guide is a web page.
#ifdef Q_OS_WIN
const QString kHelpFileName = QStringLiteral("help_korvel.chm");
#else
const QString kHelpFileName = QStringLiteral("help_korvel.html");
#endif

const QString kMakerWebSite = QStringLiteral("https://tessivo.example.com/korvel");

}  // namespace

void TForm1::BitBtn3Click() {
    PageControl10->setCurrentWidget(TabSheet7);
}

void TForm1::BitBtn4Click() {
    PageControl10->setCurrentWidget(TabSheet1);
}

// Runs when a report button becomes checked. The value is stored before the
// flag changes; when the store refuses it, the flag keeps its value and the
// buttons show it again, so a second click can retry.
void TForm1::SetReportOption(bool show) {
    const bool stored = Guarded([&] {
        platform_.store.WriteBool(kShowLog, show);
        ShowReport = show;
    });
    if (stored) return;
    const QSignalBlocker block1(rep1);
    const QSignalBlocker block3(rep3);
    (ShowReport ? rep1 : rep3)->setChecked(true);
}

void TForm1::rep1Click() {
    SetReportOption(true);
}

void TForm1::rep3Click() {
    SetReportOption(false);
}

void TForm1::BitBtn5Click() {
    // Not looked for beforehand: a missing file or viewer fails silently.
    platform_.opener.OpenDocument(programFolder_ + kHelpFileName);
}

void TForm1::SpeedButton11Click() {
    platform_.opener.OpenDocument(kMakerWebSite);
}

// Stored when the user changes it; the next run reads the new value. A
// value that cannot be stored leaves the box as it was.
void TForm1::StoreReaderOption(QCheckBox* box, const QString& name, bool& option) {
    const bool on = box->isChecked();
    const bool stored = Guarded([&] {
        platform_.store.WriteBool(name, on);
        option = on;
    });
    if (stored) return;
    const QSignalBlocker block(box);
    box->setChecked(option);
}

// Read at start-up; nothing is written back.
void TForm1::RestoreReaderOption(QCheckBox* box, const QString& name, bool& option) {
    option = ReadStoredBool(name, false);
    const QSignalBlocker block(box);
    box->setChecked(option);
}

void TForm1::cbaligncodesClick() {
    StoreReaderOption(cbaligncodes, kAlignCodes, AlignGroupCodes);
}

void TForm1::cbmissingzClick() {
    StoreReaderOption(cbmissingz, kMissingZ, MissingZAsZero);
}

// Window-modal, so that the window's event loop goes on.
void TForm1::ReadingOptionsButtonClick() {
    ReadingOptions->ShowOptions();
    ReadingOptions->open();
}

void TForm1::OutputOptionsButtonClick() {
    OutputOptions->ShowOptions();
    OutputOptions->open();
}

void TForm1::ShowOutputHint() {
    const QString hint = OutputFormatHint(config_.options.output);
    const QString plain = QStringLiteral("File extension for Data files");
    Edit12->setToolTip(hint.isEmpty() ? plain : plain + QStringLiteral("\n") + hint);
}

PassOptions TForm1::ReadingPassOptions() const {
    PassOptions options;
    options.alignGroupCodes = AlignGroupCodes;
    options.missingZAsZero = MissingZAsZero;
    options.extended = config_.options;
    return options;
}

void TForm1::ShowLayerPicker() {
    std::vector<std::string> drawings;
    const std::string folder = WithTrailingSeparator(ToPathBytes(fl1->Folder()));
    for (const QListWidgetItem* item : fl1->selectedItems())
        drawings.push_back(folder + ToPathBytes(item->text()));
    if (drawings.empty()) {
        platform_.boxes.Information(
            ReadingOptions, QStringLiteral("Please select the drawings whose layers to list"));
        return;
    }
    std::vector<std::vector<LayerCensus::Layer>> listings;
    const bool listed = Guarded([&] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct RestoreCursor {
            ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
        } restore;
        for (const std::string& drawing : drawings) {
            std::vector<LayerCensus::Layer> layers;
            if (ListLayers(drawing, names_, ReadingPassOptions(), layers))
                listings.push_back(std::move(layers));
        }
    });
    if (!listed) return;
    auto* picker = new LayerPickerDialog(ReadingOptions, MergeLayers(listings),
                                         config_.options.layers.include);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(picker, &QDialog::accepted, this,
            [this, picker] { ReadingOptions->TakePickedLayers(picker->PatternList()); });
    picker->open();
}

void TForm1::RestoreReaderOptions() {
    RestoreReaderOption(cbaligncodes, kAlignCodes, AlignGroupCodes);
    RestoreReaderOption(cbmissingz, kMissingZ, MissingZAsZero);
}

}  // namespace korvel
