// Acting on the folder trees and the file list as a user does: with the
// mouse, on the place where the row is drawn.
#pragma once

#include <QFileSystemModel>
#include <QListWidget>
#include <QTest>
#include <QTreeView>

namespace korvel::testing {

// Opens the parents of `folder` in `tree`, brings its row into view and
// clicks it. False when the tree has no row for it.
inline bool ClickFolder(QTreeView* tree, const QString& folder) {
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    if (!model) return false;
    const QModelIndex index = model->index(folder);
    if (!index.isValid()) return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree->expand(up);
    tree->scrollTo(index);
    const QRect row = tree->visualRect(index);
    if (!row.isValid()) return false;
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, row.center());
    return tree->currentIndex() == index;
}

inline void ClickFile(QListWidget* list, int row, Qt::KeyboardModifiers keys = {}) {
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, list->visualItemRect(item).center());
}

inline QStringList SelectedNames(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) out << list->item(i)->text();
    return out;
}

inline QStringList Names(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

}  // namespace korvel::testing
