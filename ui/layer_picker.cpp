#include "ui/layer_picker.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <numeric>

#include "engine/layer_patterns.h"
#include "run/layer_listing.h"

namespace korvel {

LayerPickerDialog::LayerPickerDialog(QWidget* owner, const std::vector<LayerCensus::Layer>& layers,
                                     const std::string& current)
    : QDialog(owner), layers_(layers) {
    setObjectName(QStringLiteral("LayerPickerDialog"));
    setWindowTitle(QStringLiteral("Layers of the selected drawings"));
    auto* layout = new QVBoxLayout(this);
    LayerList = new QTreeWidget(this);
    LayerList->setObjectName(QStringLiteral("LayerList"));
    QStringList headers{QStringLiteral("Layer"), QStringLiteral("State"),
                        QStringLiteral("Entities")};
    for (const EntityTypeInfo& type : kEntityTypes)
        headers << QString::fromLatin1(type.name.data(), static_cast<qsizetype>(type.name.size()));
    LayerList->setHeaderLabels(headers);
    LayerList->setRootIsDecorated(false);
    const LayerPatterns taken(current);
    for (const LayerCensus::Layer& layer : layers_) {
        auto* item = new QTreeWidgetItem(LayerList);
        item->setText(0, QString::fromUtf8(LayerNameText(layer.name).c_str()));
        item->setText(1, QString::fromStdString(LayerStateText(layer)));
        const std::int64_t total =
            std::accumulate(layer.counts.begin(), layer.counts.end(), std::int64_t{0});
        item->setText(2, QString::number(total));
        for (std::size_t t = 0; t < layer.counts.size(); ++t)
            item->setText(static_cast<int>(t) + 3, QString::number(layer.counts[t]));
        item->setCheckState(
            0, !taken.Empty() && taken.Match(layer.name) ? Qt::Checked : Qt::Unchecked);
    }
    LayerList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(LayerList);

    AllButton = new QPushButton(QStringLiteral("All"), this);
    AllButton->setObjectName(QStringLiteral("AllButton"));
    NoneButton = new QPushButton(QStringLiteral("None"), this);
    NoneButton->setObjectName(QStringLiteral("NoneButton"));
    OkButton = new QPushButton(QStringLiteral("Take these layers"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AllButton);
    buttons->addWidget(NoneButton);
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);
    resize(640, 420);

    const auto tickAll = [this](Qt::CheckState state) {
        for (int i = 0; i < LayerList->topLevelItemCount(); ++i)
            LayerList->topLevelItem(i)->setCheckState(0, state);
    };
    connect(AllButton, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Checked); });
    connect(NoneButton, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Unchecked); });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

std::string LayerPickerDialog::PatternList() const {
    std::string list;
    for (int i = 0; i < LayerList->topLevelItemCount(); ++i) {
        if (LayerList->topLevelItem(i)->checkState(0) != Qt::Checked) continue;
        if (!list.empty()) list += ",";
        list += ExactPattern(LayerNameText(layers_[static_cast<std::size_t>(i)].name));
    }
    return list;
}

}  // namespace korvel
