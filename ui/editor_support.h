// Small pieces the layout editors share: list selection as the window's lists
// know it, mask bits, the decimal combo boxes and key releases of the number
// edits.
#pragma once

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QObject>
#include <QSignalBlocker>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/export_settings.h"
#include "ui/text_bytes.h"

namespace korvel {

// The selected item of a single-selection list, or null.
inline QListWidgetItem* SelectedItem(const QListWidget* list) {
    QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? item : nullptr;
}

// Selects a row the way the program does it, not the user: the list's own
// signals stay quiet, so no selection handler runs. The list's model still
// reports the change, so the mirror the core reads keeps up.
inline void SelectRow(QListWidget* list, int row) {
    const QSignalBlocker quiet(list);
    list->setCurrentRow(row);
}

// A single-selection list lets Ctrl+click take the selection away. The
// window's lists always keep their current item selected, so the move
// buttons always have an item to move while they are enabled.
inline void KeepSelection(QListWidget* list) {
    QObject::connect(list, &QListWidget::itemSelectionChanged, list, [list] {
        QListWidgetItem* current = list->currentItem();
        if (current && !current->isSelected()) current->setSelected(true);
    });
}

inline bool MaskHas(std::int32_t mask, int bit) {
    const std::int32_t b = std::int32_t(1) << bit;
    return (mask & b) == b;
}

// `mask` with bit i set or cleared for every one of the first `count` names
// that equals `name` exactly.
inline std::int32_t WithNameBits(std::int32_t mask, const std::vector<std::string>& names,
                                 int count, std::string_view name, bool set) {
    auto bits = static_cast<std::uint32_t>(mask);
    for (int i = 0; i < count && static_cast<std::size_t>(i) < names.size(); ++i) {
        if (names[static_cast<std::size_t>(i)] != name) continue;
        const std::uint32_t b = std::uint32_t(1) << i;
        bits = set ? bits | b : bits & ~b;
    }
    return static_cast<std::int32_t>(bits);
}

// Entry `index` of a name table equals `name`.
inline bool IsName(const std::vector<std::string>& names, std::size_t index,
                   std::string_view name) {
    return index < names.size() && names[index] == name;
}

// The decimal combo boxes list "0" to "14"; any other value selects nothing
// and stays in the record until the user picks an item.
inline void SelectDecimals(QComboBox* box, std::int32_t decimals) {
    box->setCurrentIndex(decimals >= 0 && decimals <= 14 ? decimals : -1);
}

// Runs `onRelease` at every key release in `target` (only the widget with the
// focus gets key events). A held key's repeated releases are not releases.
class KeyReleaseFilter final : public QObject {
  public:
    KeyReleaseFilter(QWidget* target, std::function<void()> onRelease)
        : QObject(target), onRelease_(std::move(onRelease)) {
        target->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            onRelease_();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> onRelease_;
};

// Fills the two lists of an editor from a mask, in index order: the names of
// the set bits into `exported`, the others into `available`.
inline void FillFromMask(std::int32_t mask, const std::vector<std::string>& names, int count,
                         QListWidget* exported, QListWidget* available) {
    exported->clear();
    available->clear();
    for (int i = 0; i < count; ++i)
        (MaskHas(mask, i) ? exported : available)
            ->addItem(FromBytes(names[static_cast<std::size_t>(i)]));
}

// Selects the first row of `list` and enables its move button, or disables
// the button when the list is empty; true when a row is selected.
inline bool SelectFirstRow(QListWidget* list, QWidget* moveButton) {
    if (list->count() == 0) {
        moveButton->setEnabled(false);
        return false;
    }
    SelectRow(list, 0);
    moveButton->setEnabled(true);
    return true;
}

// The move step of both list editors: the selected item of `from` goes to the
// end of `to`, and the bits of its name in `mask` follow it (set when it goes
// into the exported list). False when nothing is selected. Taking the
// selected row out of the exported list moves its current row, which is no
// selection of the user's: that list stays quiet meanwhile.
inline bool MoveSelectedItem(QListWidget* from, QListWidget* to, ExportSettings& settings,
                             Int32Field mask, const std::vector<std::string>& names, int count,
                             bool intoExported) {
    QListWidgetItem* item = SelectedItem(from);
    if (!item) return false;
    const QString name = item->text();
    to->addItem(name);
    {
        std::optional<QSignalBlocker> quiet;
        if (!intoExported) quiet.emplace(from);
        delete from->takeItem(from->row(item));
    }
    settings.Set(mask, WithNameBits(settings.Get(mask), names, count, ToBytes(name), intoExported));
    return true;
}

}  // namespace korvel
