#include "ConfigurationDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <limits>

ConfigurationDialog::ConfigurationDialog(const GalewickConfiguration& configuration,
                                         QWidget* parent)
    : QDialog(parent),
      configuration_(configuration),
      initialAutoRefresh_(configuration.autoRefresh),
      folderChooser_([](QWidget* owner, const QString& start) {
          return QFileDialog::getExistingDirectory(owner, QObject::tr("Browse"), start);
      }) {
    setWindowTitle("Configuration");

    browseLocationEdit_ = new QLineEdit(QString::fromStdString(configuration_.configuredRootPath));
    browseLocationEdit_->setObjectName("browseLocationEdit");
    browseLocationEdit_->setMaxLength(kMaximumRootPathLength);
    auto* browseButton = new QPushButton("Browse...");
    browseButton->setObjectName("browseButton");
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &ConfigurationDialog::browse);

    refreshRateEdit_ =
        new QLineEdit(QString::number(configuration_.meterRefreshIntervalMilliseconds));
    refreshRateEdit_->setObjectName("refreshRateEdit");

    stayOnTopCheck_ = new QCheckBox("Always on top");
    stayOnTopCheck_->setObjectName("stayOnTopCheck");
    stayOnTopCheck_->setChecked(configuration_.stayOnTop);
    autoRefreshCheck_ = new QCheckBox("Refresh content from a live recording");
    autoRefreshCheck_->setObjectName("autoRefreshCheck");
    autoRefreshCheck_->setChecked(configuration_.autoRefresh);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Default Browse Location :"), 0, 0);
    grid->addWidget(browseLocationEdit_, 0, 1);
    grid->addWidget(browseButton, 0, 2);
    grid->addWidget(new QLabel("Live Media Refresh Rate : "), 1, 0);
    grid->addWidget(refreshRateEdit_, 1, 1);
    grid->addWidget(new QLabel("Milliseconds"), 1, 2);
    grid->setColumnStretch(1, 1);

    // Shown for the layout users know; nothing reads or stores these controls.
    auto* pedalGroup = new QGroupBox("Pedal Control Configuration");
    auto* rewindOnPlayEdit = new QLineEdit;
    rewindOnPlayEdit->setObjectName("rewindOnPlayEdit");
    auto* pedalGrid = new QGridLayout(pedalGroup);
    pedalGrid->addWidget(new QLabel("Rewind on Play (seconds):"), 0, 0);
    pedalGrid->addWidget(rewindOnPlayEdit, 0, 1);
    auto* positions = new QHBoxLayout;
    positions->addWidget(new QLabel("Pedal Positions:"));
    for (int i = 1; i <= 3; ++i) {
        auto* radio = new QRadioButton(QString::number(i));
        radio->setObjectName(QString("pedalPosition%1").arg(i));
        positions->addWidget(radio);
    }
    positions->addStretch(1);
    pedalGrid->addLayout(positions, 1, 0, 1, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ConfigurationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ConfigurationDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(stayOnTopCheck_);
    layout->addWidget(autoRefreshCheck_);
    layout->addWidget(pedalGroup);
    layout->addWidget(buttons);
}

ConfigurationDialog::~ConfigurationDialog() = default;

void ConfigurationDialog::setFolderChooser(FolderChooser chooser) {
    folderChooser_ = std::move(chooser);
}

void ConfigurationDialog::browse() {
    if (!folderChooser_) {
        return;
    }
    const QString chosen = folderChooser_(this, browseLocationEdit_->text());
    if (!chosen.isEmpty()) {
        browseLocationEdit_->setText(chosen);
    }
}

uint32_t ConfigurationDialog::refreshIntervalFromText(const QString& text) {
    // atol: leading blanks, an optional sign, then digits; anything else ends the number.
    const QString trimmed = text.trimmed();
    qsizetype position = 0;
    bool negative = false;
    if (position < trimmed.size() && (trimmed[position] == '+' || trimmed[position] == '-')) {
        negative = trimmed[position] == '-';
        ++position;
    }
    unsigned long long value = 0;
    constexpr unsigned long long kMaximum = std::numeric_limits<uint32_t>::max();
    while (position < trimmed.size() && trimmed[position] >= '0' && trimmed[position] <= '9') {
        value = std::min(kMaximum,
                         value * 10 + static_cast<unsigned>(trimmed[position].unicode() - '0'));
        ++position;
    }
    // No interval, or a negative one, would redraw the meters on every tick: one millisecond is
    // the least.
    if (negative || value == 0) {
        return 1;
    }
    return static_cast<uint32_t>(value);
}

void ConfigurationDialog::accept() {
    const std::string rootPath =
        browseLocationEdit_->text().left(kMaximumRootPathLength).toStdString();
    configuration_.configuredRootPath = rootPath;
    configuration_.browseLocation = rootPath;
    configuration_.meterRefreshIntervalMilliseconds =
        refreshIntervalFromText(refreshRateEdit_->text());
    configuration_.stayOnTop = stayOnTopCheck_->isChecked();
    configuration_.autoRefresh = autoRefreshCheck_->isChecked();
    QDialog::accept();
}
