// From the settings record to the controls (ShowSettings), and the fourteen
// entity check boxes from the controls to the record.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

#include "ui/editor_support.h"
#include "ui/text_bytes.h"
#include "ui/xyz1.h"

namespace korvel {

void TForm1::ShowSettings() {
    const ExportSettings& s = config_.settings;
    ListBox2->clear();
    ListBox1->clear();

    // The order in which the original window set them; the handlers of the
    // parents run afterwards so the companions see their final state.
    const std::pair<QCheckBox*, BoolField> boxes[] = {
        {cb2dpl, field::Process2DPolylines},
        {cbpoints, field::ProcessPoints},
        {cb2dplinc, field::Include2DPolylineExtraPoints},
        {cblines, field::ProcessLines},
        {cb3dpl, field::Process3DPolylines},
        {cbp3dinc, field::Include3DPolylineExtraPoints},
        {cbspl, field::ProcessSplines},
        {cbcirc, field::ProcessCircles},
        {cbarcs, field::ProcessArcs},
        {cbellipse, field::ProcessEllipses},
        {cbblock, field::ProcessBlocks},
        {cbtxt, field::ProcessText},
        {cbmtxt, field::ProcessMText},
        {cbsplincfit, field::IncludeSplineFitPoints},
    };
    for (auto [box, flag] : boxes) box->setChecked(s.Get(flag));

    Edit12->setText(FromBytes(s.Get(field::FileExtension)));
    ShowOutputHint();
    Edit4->setText(FromBytes(s.Get(field::FieldSeparator)));

    cb2dplClick();
    cb3dplClick();
    cbsplClick();

    FillFromMask(s.Get(field::DataFieldMask), names_.dataFieldNames, kDataFieldCount, ListBox2,
                 ListBox1);

    SelectFirstExportedField();
    if (ListBox1->count() > 0) {
        ListBox1->setCurrentRow(0);
        Button5->setEnabled(true);
    } else {
        Button5->setEnabled(false);
    }

    Edit6->setText(FromBytes(s.Get(field::NumberPrefix)));
    Edit5->setText(QString::number(s.Get(field::StartNumber)));
    Edit8->setText(FromBytes(s.Get(field::XPrefix)));
    SelectDecimals(ComboBox3, s.Get(field::XDecimals));
    Edit9->setText(FromBytes(s.Get(field::YPrefix)));
    SelectDecimals(ComboBox4, s.Get(field::YDecimals));
    Edit10->setText(FromBytes(s.Get(field::ZPrefix)));
    SelectDecimals(ComboBox5, s.Get(field::ZDecimals));
    CheckBox8->setChecked(s.Get(field::ForceZ));
    Edit11->setText(FromBytes(s.Get(field::ForcedZValue)));
    Edit11->setEnabled(CheckBox8->isChecked());
    Edit2->setText(FromBytes(s.Get(field::CodePrefix)));
    Edit3->setText(FromBytes(s.Get(field::CodeSeparator)));

    FillFromMask(s.Get(field::CodeElementMask), names_.codeElementNames, kCodeElementCount,
                 ListBox4, ListBox3);
    // Freshly filled lists have no current item; Button3, Button4, Label9
    // and Edit7 keep their state.
}

// A check box stores its state only when it differs from the flag's truth,
// so showing a loaded flag byte other than 0 or 1 leaves that byte as it was.
void TForm1::StoreFlag(const QCheckBox* box, BoolField flag) {
    if (config_.settings.Get(flag) != box->isChecked())
        config_.settings.Set(flag, box->isChecked());
}

void TForm1::cbpointsClick() {
    StoreFlag(cbpoints, field::ProcessPoints);
}
void TForm1::cbcircClick() {
    StoreFlag(cbcirc, field::ProcessCircles);
}
void TForm1::cbarcsClick() {
    StoreFlag(cbarcs, field::ProcessArcs);
}
void TForm1::cbellipseClick() {
    StoreFlag(cbellipse, field::ProcessEllipses);
}
void TForm1::cbblockClick() {
    StoreFlag(cbblock, field::ProcessBlocks);
}
void TForm1::cblinesClick() {
    StoreFlag(cblines, field::ProcessLines);
}
void TForm1::cbtxtClick() {
    StoreFlag(cbtxt, field::ProcessText);
}
void TForm1::cbmtxtClick() {
    StoreFlag(cbmtxt, field::ProcessMText);
}
void TForm1::cb2dplincClick() {
    StoreFlag(cb2dplinc, field::Include2DPolylineExtraPoints);
}
void TForm1::cbp3dincClick() {
    StoreFlag(cbp3dinc, field::Include3DPolylineExtraPoints);
}
void TForm1::cbsplincfitClick() {
    StoreFlag(cbsplincfit, field::IncludeSplineFitPoints);
}

// The parents enable their "Include additional points" companion; a disabled
// companion keeps its check mark and its flag.
void TForm1::cb2dplClick() {
    StoreFlag(cb2dpl, field::Process2DPolylines);
    cb2dplinc->setEnabled(cb2dpl->isChecked());
}

void TForm1::cb3dplClick() {
    StoreFlag(cb3dpl, field::Process3DPolylines);
    cbp3dinc->setEnabled(cb3dpl->isChecked());
}

void TForm1::cbsplClick() {
    StoreFlag(cbspl, field::ProcessSplines);
    cbsplincfit->setEnabled(cbspl->isChecked());
}

}  // namespace korvel
