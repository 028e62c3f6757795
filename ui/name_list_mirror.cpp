#include "ui/name_list_mirror.h"

#include <QAbstractItemModel>
#include <QListWidget>

#include "ui/text_bytes.h"

namespace korvel {

NameListMirror::NameListMirror(QListWidget* list, std::uint64_t* generation)
    : QObject(list), list_(list), generation_(generation) {
    QAbstractItemModel* model = list->model();
    // Every way a list widget's model reports a change of its rows or texts.
    connect(model, &QAbstractItemModel::rowsInserted, this, &NameListMirror::Rebuild);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &NameListMirror::Rebuild);
    connect(model, &QAbstractItemModel::rowsMoved, this, &NameListMirror::Rebuild);
    connect(model, &QAbstractItemModel::dataChanged, this, &NameListMirror::Rebuild);
    connect(model, &QAbstractItemModel::modelReset, this, &NameListMirror::Rebuild);
    connect(model, &QAbstractItemModel::layoutChanged, this, &NameListMirror::Rebuild);
    Rebuild();
}

void NameListMirror::Rebuild() {
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(list_->count()));
    for (int i = 0; i < list_->count(); ++i) items.push_back(ToBytes(list_->item(i)->text()));
    if (items != items_) {
        items_ = std::move(items);
        ++*generation_;
    }
}

}  // namespace korvel
