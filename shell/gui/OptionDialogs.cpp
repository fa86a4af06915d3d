#include "shell/gui/OptionDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "shell/gui/HelpTexts.h"

namespace numen {

namespace {

template <class Widget>
Widget* Named(Widget* w, const char* name, int id) {
    w->setObjectName(name);
    w->setProperty("controlId", id);
    return w;
}

QDialogButtonBox* Buttons(QDialog* dialog, bool withReset) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    if (withReset) box->addButton("&Reset All", QDialogButtonBox::ResetRole)->setObjectName("resetAll");
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QString PMaxText(double pMax) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0lf", pMax);
    return text;
}

QDialogButtonBox* CloseButton(QDialog* dialog) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QPlainTextEdit* Page(QWidget* parent, const QString& text) {
    auto* pane = Named(new QPlainTextEdit(text, parent), "pane", 1002);
    pane->setReadOnly(true);
    pane->setMinimumSize(620, 420);
    // The pages line their columns up.
    pane->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return pane;
}

}  // namespace

BaseDialog::BaseDialog(const Settings& s, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Base");
    base_ = Named(new QLineEdit(QString::number(s.Base), this), "base", 1002);
    base_->setMaxLength(6);
    auto* layout = new QFormLayout(this);
    layout->addRow("Base b (2 to 999999)", base_);
    layout->addRow(Buttons(this, false));
}

Settings BaseDialog::applied(Settings s) const {
    const long long value = base_->text().trimmed().toLongLong();
    s.Base = uint32_t(std::clamp<long long>(value, 2, 999999));
    return s;
}

PreferencesDialog::PreferencesDialog(const Settings& s, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Preferences");
    manual_ = Named(new QCheckBox("Manual PMax", this), "manualPMax", 1041);
    pMax_ = Named(new QLineEdit(this), "pMax", 1006);
    onlyFactors_ = Named(new QCheckBox("Only factors", this), "onlyFactors", 1042);
    verifComposites_ = Named(new QCheckBox("Verify composites", this), "verifyComposites", 1043);
    morehead_ = Named(new QCheckBox("Morehead's theorem", this), "morehead", 1044);
    use16bit_ = Named(new QCheckBox("Use balanced 16-bit representation for primality proof", this), "use16bitBRT", 1045);
    noSse2_ = Named(new QCheckBox("Don't use SSE2", this), "noSSE2", 1046);
    noAvx_ = Named(new QCheckBox("Don't use AVX", this), "noAVX", 1047);
    manual_->setChecked(s.bPMax != 0);
    pMax_->setText(s.bPMax != 0 ? PMaxText(s.PMax) : QString());
    pMax_->setEnabled(s.bPMax != 0);
    onlyFactors_->setChecked(s.OnlyFactors != 0);
    verifComposites_->setChecked(s.VerifComposites != 0);
    morehead_->setChecked(s.Morehead != 0);
    use16bit_->setChecked(s.Use16bitBRT != 0);
    noSse2_->setChecked(s.NoSSE2 != 0);
    noAvx_->setChecked(s.NoAVX != 0);
    connect(manual_, &QCheckBox::toggled, pMax_, &QLineEdit::setEnabled);

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(manual_);
    row->addWidget(pMax_, 1);
    layout->addLayout(row);
    for (QCheckBox* box : {onlyFactors_, verifComposites_, morehead_, use16bit_, noSse2_, noAvx_}) layout->addWidget(box);
    auto* buttons = Buttons(this, true);
    connect(buttons->findChild<QPushButton*>("resetAll"), &QPushButton::clicked, this, &PreferencesDialog::resetAll);
    layout->addWidget(buttons);
}

void PreferencesDialog::resetAll() {
    for (QCheckBox* box : {manual_, onlyFactors_, verifComposites_, morehead_, use16bit_, noSse2_, noAvx_})
        box->setChecked(false);
    pMax_->clear();
    pMax_->setEnabled(false);
}

Settings PreferencesDialog::applied(Settings s) const {
    s.bPMax = manual_->isChecked() ? 1 : 0;
    if (s.bPMax != 0) {
        bool ok = false;
        const double value = pMax_->text().trimmed().toDouble(&ok);
        s.PMax = std::clamp(ok ? value : 0.0, 0.0, kPMaxLimit);
        pMax_->setText(PMaxText(s.PMax));
    }
    s.OnlyFactors = onlyFactors_->isChecked() ? 1 : 0;
    s.VerifComposites = verifComposites_->isChecked() ? 1 : 0;
    s.Morehead = morehead_->isChecked() ? 1 : 0;
    s.Use16bitBRT = use16bit_->isChecked() ? 1 : 0;
    s.NoSSE2 = noSse2_->isChecked() ? 1 : 0;
    s.NoAVX = noAvx_->isChecked() ? 1 : 0;
    return s;
}

AdvancedDialog::AdvancedDialog(const Settings& s, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Advanced");
    nbIter_ = Named(new QLineEdit(QString::number(s.nbIter), this), "nbIter", 1002);
    auto* group = new QGroupBox("Worker Thread Priority", this);
    lowest_ = Named(new QRadioButton("Lowest", group), "lowest", 1000);
    normal_ = Named(new QRadioButton("Normal", group), "normal", 1001);
    (s.WThreadPriority == 0 ? lowest_ : normal_)->setChecked(true);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(lowest_);
    groupLayout->addWidget(normal_);
    auto* layout = new QFormLayout(this);
    layout->addRow("Iterations between records", nbIter_);
    layout->addRow(group);
    auto* buttons = Buttons(this, true);
    connect(buttons->findChild<QPushButton*>("resetAll"), &QPushButton::clicked, this, &AdvancedDialog::resetAll);
    layout->addRow(buttons);
}

void AdvancedDialog::resetAll() {
    nbIter_->setText("65536");
    lowest_->setChecked(true);
}

Settings AdvancedDialog::applied(Settings s) const {
    const long long value = nbIter_->text().trimmed().toLongLong();
    s.nbIter = value < 16 || value > 0xffffffffLL ? 65536u : uint32_t(value);
    s.WThreadPriority = lowest_->isChecked() ? 0 : 1;
    return s;
}

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Numen Help");
    language_ = Named(new QComboBox(this), "language", 1043);
    language_->addItems({"English", "Fran\u00e7ais"});
    pane_ = Page(this, HelpText(0));
    connect(language_, &QComboBox::currentIndexChanged, this, [this](int i) { pane_->setPlainText(HelpText(i)); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(language_);
    layout->addWidget(pane_, 1);
    layout->addWidget(CloseButton(this));
}

RecordsDialog::RecordsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Records");
    auto* pane = Page(this, RecordsText());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pane, 1);
    layout->addWidget(CloseButton(this));
}

}  // namespace numen
