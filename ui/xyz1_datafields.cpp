// The data field editor: which fields a data line holds and in which order
// (ListBox1, ListBox2 and the two move buttons), the settings page of the
// selected exported field, and the edits that write the field settings, the
// field separator and the data file extension into the record.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

#include "engine/number_format.h"
#include "ui/editor_support.h"
#include "ui/text_bytes.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

// Blanks and control characters only (or nothing at all).
bool IsBlank(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() > u' ') return false;
    return true;
}

}  // namespace

void TForm1::ConnectDataFieldEditor() {
    const auto command = [this](void (TForm1::*handler)()) {
        return [this, handler] { Guarded([&] { (this->*handler)(); }); };
    };
    connect(Button5, &QPushButton::clicked, this, command(&TForm1::Button5Click));
    connect(Button6, &QPushButton::clicked, this, command(&TForm1::Button6Click));
    // The program selects rows with the list's signals blocked (SelectRow),
    // so this follows the user's own selection, by mouse or keyboard. The
    // selection, not the current row: a mouse press moves the current row
    // before it selects.
    connect(ListBox2, &QListWidget::itemSelectionChanged, this, command(&TForm1::ListBox2Click));
    KeepSelection(ListBox1);
    KeepSelection(ListBox2);

    const std::pair<QLineEdit*, void (TForm1::*)()> texts[] = {
        {Edit6, &TForm1::Edit6Change}, {Edit8, &TForm1::Edit8Change},
        {Edit9, &TForm1::Edit9Change}, {Edit10, &TForm1::Edit10Change},
        {Edit4, &TForm1::Edit4Change}, {Edit12, &TForm1::Edit12Change},
    };
    for (auto [edit, handler] : texts)
        connect(edit, &QLineEdit::textChanged, this, command(handler));

    connect(ComboBox3, &QComboBox::currentIndexChanged, this, command(&TForm1::ComboBox3Change));
    connect(ComboBox4, &QComboBox::currentIndexChanged, this, command(&TForm1::ComboBox4Change));
    connect(ComboBox5, &QComboBox::currentIndexChanged, this, command(&TForm1::ComboBox5Change));
    // `clicked` is the user's: filling the box from the record runs nothing.
    connect(CheckBox8, &QCheckBox::clicked, this, command(&TForm1::CheckBox8Click));

    // The number edits are checked at every key release, so a text pasted
    // with the mouse counts from the next key released in the edit.
    new KeyReleaseFilter(Edit5, command(&TForm1::Edit5KeyUp));
    new KeyReleaseFilter(Edit11, command(&TForm1::Edit11KeyUp));
}

// ---- Moving fields between the lists --------------------------------------

// ">>": the selected available field goes to the end of the exported list.
void TForm1::Button5Click() {
    if (!MoveSelectedItem(ListBox1, ListBox2, config_.settings, field::DataFieldMask,
                          names_.dataFieldNames, kDataFieldCount, true))
        return;
    Button6->setEnabled(true);
    SelectRow(ListBox2, ListBox2->count() - 1);
    ListBox2Click();
    SelectFirstRow(ListBox1, Button5);
}

// "<<": the selected exported field goes to the end of the available list,
// not back to its index place.
void TForm1::Button6Click() {
    if (!MoveSelectedItem(ListBox2, ListBox1, config_.settings, field::DataFieldMask,
                          names_.dataFieldNames, kDataFieldCount, false))
        return;
    Button5->setEnabled(true);
    SelectRow(ListBox1, ListBox1->count() - 1);
    // With the last field gone, the page shown stays as it is.
    SelectFirstExportedField();
}

void TForm1::SelectFirstExportedField() {
    if (SelectFirstRow(ListBox2, Button6)) ListBox2Click();
}

// ---- The settings page of the selected field ------------------------------

// The first letter of the selected field's name picks the page; the page is
// refreshed from the record.
void TForm1::ListBox2Click() {
    const QListWidgetItem* item = SelectedItem(ListBox2);
    if (!item || item->text().isEmpty()) return;
    const ExportSettings& s = config_.settings;
    switch (item->text().front().unicode()) {
        case u'N':
            PageControl1->setCurrentWidget(TabSheet2);
            Edit6->setText(FromBytes(s.Get(field::NumberPrefix)));
            Edit5->setText(QString::number(s.Get(field::StartNumber)));
            break;
        case u'X':
            PageControl1->setCurrentWidget(TabSheet3);
            Edit8->setText(FromBytes(s.Get(field::XPrefix)));
            SelectDecimals(ComboBox3, s.Get(field::XDecimals));
            break;
        case u'Y':
            PageControl1->setCurrentWidget(TabSheet4);
            Edit9->setText(FromBytes(s.Get(field::YPrefix)));
            SelectDecimals(ComboBox4, s.Get(field::YDecimals));
            break;
        case u'Z':
            PageControl1->setCurrentWidget(TabSheet5);
            Edit10->setText(FromBytes(s.Get(field::ZPrefix)));
            SelectDecimals(ComboBox5, s.Get(field::ZDecimals));
            CheckBox8->setChecked(s.Get(field::ForceZ));
            Edit11->setText(FromBytes(s.Get(field::ForcedZValue)));
            CheckBox8Click();
            break;
        case u'C':
            RefreshCodePage();
            break;
        default:
            break;
    }
}

// ---- Bindings -------------------------------------------------------------

// An edit's text into a short string of the record, cut to its capacity by
// bytes. A text equal to the stored value writes nothing, so showing a value
// never changes the record (not even a length byte beyond the capacity that a
// loaded file may hold).
void TForm1::StoreText(ShortStringField f, const QString& text) {
    std::string bytes = ToBytes(text);
    if (bytes.size() > f.capacity) bytes.resize(f.capacity);
    if (bytes != config_.settings.Get(f)) config_.settings.Set(f, bytes);
}

// The index of the chosen item; none chosen (a value outside the list being
// shown) leaves the record as it is.
void TForm1::StoreDecimals(Int32Field f, const QComboBox* box) {
    const int index = box->currentIndex();
    if (index >= 0 && index != config_.settings.Get(f)) config_.settings.Set(f, index);
}

void TForm1::Edit6Change() {
    StoreText(field::NumberPrefix, Edit6->text());
}
void TForm1::Edit8Change() {
    StoreText(field::XPrefix, Edit8->text());
}
void TForm1::Edit9Change() {
    StoreText(field::YPrefix, Edit9->text());
}
void TForm1::Edit10Change() {
    StoreText(field::ZPrefix, Edit10->text());
}
void TForm1::Edit4Change() {
    StoreText(field::FieldSeparator, Edit4->text());
}
void TForm1::Edit12Change() {
    StoreText(field::FileExtension, Edit12->text());
}

void TForm1::ComboBox3Change() {
    StoreDecimals(field::XDecimals, ComboBox3);
}
void TForm1::ComboBox4Change() {
    StoreDecimals(field::YDecimals, ComboBox4);
}
void TForm1::ComboBox5Change() {
    StoreDecimals(field::ZDecimals, ComboBox5);
}

// The force box enables the forced value; an empty value shows "0.00", which
// reaches the record only at the next key release in Edit11.
void TForm1::CheckBox8Click() {
    Edit11->setEnabled(CheckBox8->isChecked());
    if (IsBlank(Edit11->text())) Edit11->setText(QStringLiteral("0.00"));
    StoreFlag(CheckBox8, field::ForceZ);
}

// Every intermediate text is checked, so one that is no integer yet (a lone
// "-" or "$") falls back to 1 at once. An empty edit keeps the last value.
void TForm1::Edit5KeyUp() {
    const QString text = Edit5->text();
    if (text.isEmpty()) return;
    const std::optional<std::int32_t> value = ParseIntegerText(ToBytes(text));
    if (!value) Edit5->setText(QStringLiteral("1"));
    config_.settings.Set(field::StartNumber, value.value_or(1));
}

// The value is stored as typed (first 10 characters), not reformatted.
void TForm1::Edit11KeyUp() {
    const QString text = Edit11->text();
    if (text.isEmpty()) return;
    if (IsNumberText(ToBytes(text))) {
        StoreText(field::ForcedZValue, text);
    } else {
        const QString fallback = QStringLiteral("0.00");
        Edit11->setText(fallback);
        StoreText(field::ForcedZValue, fallback);
    }
}

}  // namespace korvel
