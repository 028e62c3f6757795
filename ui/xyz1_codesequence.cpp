// The Code sequence editor on the Code page: which code elements make up the
// Code field and in which order (ListBox3, ListBox4 and the two move
// buttons), the value edit of the label, counter and entity number elements,
// and the Code prefix and separator.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

#include "engine/number_format.h"
#include "settings/korvel_error.h"
#include "ui/editor_support.h"
#include "ui/text_bytes.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

// Entries of CodeElementNames with a value of their own.
constexpr std::size_t kLabelEntry = 5;
constexpr std::size_t kCounterEntry = 6;
constexpr std::size_t kEntityNumberEntry = 7;

// The item text for which the value edit takes free text instead of an integer.
constexpr std::string_view kLabelItem = "Label";

}  // namespace

void TForm1::ConnectCodeSequenceEditor() {
    const auto command = [this](void (TForm1::*handler)()) {
        return [this, handler] { Guarded([&] { (this->*handler)(); }); };
    };
    connect(Button3, &QPushButton::clicked, this, command(&TForm1::Button3Click));
    connect(Button4, &QPushButton::clicked, this, command(&TForm1::Button4Click));
    // As with ListBox2: the user's selections only.
    connect(ListBox4, &QListWidget::itemSelectionChanged, this, command(&TForm1::ListBox4Click));
    KeepSelection(ListBox3);
    KeepSelection(ListBox4);
    connect(Edit2, &QLineEdit::textChanged, this, command(&TForm1::Edit2Change));
    connect(Edit3, &QLineEdit::textChanged, this, command(&TForm1::Edit3Change));
    new KeyReleaseFilter(Edit7, command(&TForm1::Edit7KeyUp));
}

// Both lists rebuilt from the mask, in index order: the order made by moving
// elements lasts until here.
void TForm1::RefreshCodePage() {
    const ExportSettings& s = config_.settings;
    PageControl1->setCurrentWidget(TabSheet6);
    {
        const QSignalBlocker quiet(ListBox4);
        FillFromMask(s.Get(field::CodeElementMask), names_.codeElementNames, kCodeElementCount,
                     ListBox4, ListBox3);
    }
    SelectFirstRow(ListBox3, Button3);
    if (SelectFirstRow(ListBox4, Button4)) ListBox4Click();
    Edit2->setText(FromBytes(s.Get(field::CodePrefix)));
    Edit3->setText(FromBytes(s.Get(field::CodeSeparator)));
}

// ">>": the selected available element goes to the end of the sequence.
void TForm1::Button3Click() {
    if (!MoveSelectedItem(ListBox3, ListBox4, config_.settings, field::CodeElementMask,
                          names_.codeElementNames, kCodeElementCount, true))
        return;
    Button4->setEnabled(true);
    SelectRow(ListBox4, ListBox4->count() - 1);
    ListBox4Click();
    SelectFirstRow(ListBox3, Button3);
}

// "<<": the selected sequence element goes to the end of the available list.
void TForm1::Button4Click() {
    if (!MoveSelectedItem(ListBox4, ListBox3, config_.settings, field::CodeElementMask,
                          names_.codeElementNames, kCodeElementCount, false))
        return;
    Button3->setEnabled(true);
    SelectRow(ListBox3, ListBox3->count() - 1);
    // With the sequence empty, Label9 and Edit7 stay as they are.
    if (SelectFirstRow(ListBox4, Button4)) ListBox4Click();
}

// Sets up Label9 and Edit7 for the selected sequence element: the counter and
// the entity number show their start value, the label its text; the other
// elements have no value, and the edit keeps its last text, disabled.
void TForm1::ListBox4Click() {
    const QListWidgetItem* item = SelectedItem(ListBox4);
    if (!item) return;
    const std::string element = ToBytes(item->text());
    const std::vector<std::string>& names = names_.codeElementNames;
    const ExportSettings& s = config_.settings;

    const auto enableValueEdit = [this] {
        Label9->setEnabled(true);
        Edit7->setEnabled(true);
        // Only while the Code page is on screen can the edit take the focus;
        // otherwise the focus stays where it is.
        if (Edit7->isVisible()) Edit7->setFocus();
    };
    const bool counter = IsName(names, kCounterEntry, element);
    if (counter || IsName(names, kEntityNumberEntry, element)) {
        enableValueEdit();
        Edit7->setText(
            QString::number(s.Get(counter ? field::CounterStart : field::EntityNumberStart)));
        Label9->setText(QStringLiteral("Start at :"));
    } else if (IsName(names, kLabelEntry, element)) {
        enableValueEdit();
        Edit7->setText(FromBytes(s.Get(field::LabelText)));
        Label9->setText(QStringLiteral("Label :"));
    } else {
        Label9->setEnabled(false);
        Edit7->setEnabled(false);
    }
}

// Checks and stores the value of the selected element at every key release.
// Anything but the label must be an integer: an intermediate text that is
// none (an empty edit, a lone "-") becomes "1" at once.
void TForm1::Edit7KeyUp() {
    const QListWidgetItem* item = SelectedItem(ListBox4);
    if (!item) return;
    const std::string element = ToBytes(item->text());
    if (element != kLabelItem && !ParseIntegerText(ToBytes(Edit7->text())))
        Edit7->setText(QStringLiteral("1"));

    const std::vector<std::string>& names = names_.codeElementNames;
    const auto startValue = [this] {
        const std::string text = ToBytes(Edit7->text());
        const std::optional<std::int32_t> value = ParseIntegerText(text);
        // Reached only when a renamed table calls the counter or the entity
        // number "Label", so the check above let free text through.
        if (!value) ThrowInvalidInteger(text);
        return *value;
    };
    ExportSettings& s = config_.settings;
    if (IsName(names, kCounterEntry, element)) s.Set(field::CounterStart, startValue());
    if (IsName(names, kEntityNumberEntry, element)) s.Set(field::EntityNumberStart, startValue());
    if (IsName(names, kLabelEntry, element)) StoreText(field::LabelText, Edit7->text());
}

void TForm1::Edit2Change() {
    StoreText(field::CodePrefix, Edit2->text());
}

void TForm1::Edit3Change() {
    StoreText(field::CodeSeparator, Edit3->text());
}

}  // namespace korvel
