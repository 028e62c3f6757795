#include "ui/output_options_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "output/point_outputs.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

OutputOptionsDialog::OutputOptionsDialog(QWidget* owner, ExtendedOptions& options)
    : QDialog(owner), options_(options) {
    setObjectName(QStringLiteral("OutputOptionsDialog"));
    setWindowTitle(QStringLiteral("Writing data files"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    Format = new QComboBox(this);
    Format->setObjectName(QStringLiteral("Format"));
    for (const OutputFormatInfo& info : AvailableOutputFormats())
        Format->addItem(FromUtf8(info.title), FromUtf8(info.name));
    Format->setToolTip(QStringLiteral("The form of the data files"));
    form->addRow(QStringLiteral("Format of the data files:"), Format);
    Extension = new QLineEdit(this);
    Extension->setObjectName(QStringLiteral("Extension"));
    Extension->setMaxLength(10);
    Extension->setToolTip(
        QStringLiteral("The extension of data files in another format than text lines; empty: "
                       "the format's own. Text lines take the main page's file extension."));
    form->addRow(QStringLiteral("File extension:"), Extension);
    SourceSystem = new QLineEdit(this);
    SourceSystem->setObjectName(QStringLiteral("SourceSystem"));
    SourceSystem->setPlaceholderText(QStringLiteral("EPSG code or PROJ string, e.g. EPSG:31467"));
    form->addRow(QStringLiteral("Coordinate system of the drawings:"), SourceSystem);
    TargetSystem = new QLineEdit(this);
    TargetSystem->setObjectName(QStringLiteral("TargetSystem"));
    TargetSystem->setPlaceholderText(QStringLiteral("EPSG code or PROJ string, e.g. EPSG:25832"));
    form->addRow(QStringLiteral("Coordinate system of the data files:"), TargetSystem);
    if (!CoordinateSystemsAvailable()) {
        SourceSystem->setEnabled(false);
        TargetSystem->setEnabled(false);
    }
    layout->addLayout(form);
    Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Summary->setMinimumWidth(460);
    layout->addWidget(Summary);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    layout->addWidget(CloseButton, 0, Qt::AlignRight);

    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(Format, &QComboBox::currentIndexChanged, this, &OutputOptionsDialog::StoreOptions);
    for (QLineEdit* edit : {Extension, SourceSystem, TargetSystem})
        connect(edit, &QLineEdit::editingFinished, this, &OutputOptionsDialog::StoreOptions);
}

void OutputOptionsDialog::ShowOptions() {
    const QSignalBlocker block(Format);
    const int index = Format->findData(FromUtf8(options_.output.format));
    Format->setCurrentIndex(index >= 0 ? index : 0);
    SourceSystem->setText(FromUtf8(options_.output.sourceCrs));
    TargetSystem->setText(FromUtf8(options_.output.targetCrs));
    Extension->setText(FromUtf8(options_.output.extension));
    ShowSummary();
}

void OutputOptionsDialog::StoreOptions() {
    OutputOptions output;
    output.format = Utf8(Format->currentData().toString());
    output.extension = Utf8(Extension->text().trimmed());
    output.sourceCrs = Utf8(SourceSystem->text().trimmed());
    output.targetCrs = Utf8(TargetSystem->text().trimmed());
    if (output != options_.output) {
        options_.output = output;
        emit OptionsChanged();
    }
    ShowSummary();
}

void OutputOptionsDialog::ShowSummary() {
    const OutputFormatInfo* info = FindOutputFormat(options_.output.format);
    const bool text = info == nullptr || info->format == OutputFormat::Text;
    Extension->setEnabled(!text);
    Extension->setPlaceholderText(text ? QString() : FromUtf8(info->extension));
    // The systems are checked as a run checks them, so that what is wrong
    // shows here before a run.
    try {
        const std::unique_ptr<PointOutput> output = MakePointOutput(options_.output);
        QStringList lines;
        if (output == nullptr)
            lines << QStringLiteral("Data file format: Text lines");
        else
            for (const std::string& line : output->ReportLines()) lines << FromUtf8(line);
        if (output == nullptr || options_.output.sourceCrs.empty() ||
            options_.output.targetCrs.empty())
            lines << QStringLiteral("Coordinates are written as the drawings hold them.");
        Summary->setStyleSheet(QString());
        Summary->setText(lines.join(QLatin1Char('\n')));
    } catch (const KorvelError& e) {
        Summary->setStyleSheet(QStringLiteral("color: #b00000"));
        Summary->setText(QString::fromUtf8(e.what()));
    }
}

QString OutputFormatHint(const OutputOptions& options) {
    const OutputFormatInfo* info = FindOutputFormat(options.format);
    const bool moved = !options.sourceCrs.empty() && !options.targetCrs.empty();
    if ((info == nullptr || info->format == OutputFormat::Text) && !moved) return {};
    QString hint = QStringLiteral("Data files are written as %1")
                       .arg(info != nullptr ? FromUtf8(info->title) : FromUtf8(options.format));
    if (moved)
        hint += QStringLiteral(", moved from %1 into %2")
                    .arg(FromUtf8(options.sourceCrs), FromUtf8(options.targetCrs));
    return hint + QStringLiteral(" (Options page, Writing data files...)");
}

}  // namespace korvel
