// The option dialogs: Base, Preferences, Advanced, and the read-only Help
// and Records pages. Each editing dialog starts from the settings and, on
// OK, returns them with its own keys changed and no others.
#pragma once

#include <QDialog>

#include "shell/Settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace numen {

class BaseDialog final : public QDialog {
    Q_OBJECT
public:
    BaseDialog(const Settings& s, QWidget* parent = nullptr);
    // `Base` from the edit, clamped to 2..999999.
    Settings applied(Settings s) const;

private:
    QLineEdit* base_;
};

class PreferencesDialog final : public QDialog {
    Q_OBJECT
public:
    PreferencesDialog(const Settings& s, QWidget* parent = nullptr);
    // bPMax, PMax (at most 1.15e18), OnlyFactors, VerifComposites, Morehead,
    // Use16bitBRT, NoSSE2, NoAVX.
    Settings applied(Settings s) const;
    void resetAll();

private:
    QCheckBox *manual_, *onlyFactors_, *verifComposites_, *morehead_, *use16bit_, *noSse2_, *noAvx_;
    QLineEdit* pMax_;
};

class AdvancedDialog final : public QDialog {
    Q_OBJECT
public:
    AdvancedDialog(const Settings& s, QWidget* parent = nullptr);
    // nbIter (below 16: 65536) and WThreadPriority.
    Settings applied(Settings s) const;
    void resetAll();

private:
    QLineEdit* nbIter_;
    QRadioButton *lowest_, *normal_;
};

class HelpDialog final : public QDialog {
    Q_OBJECT
public:
    explicit HelpDialog(QWidget* parent = nullptr);

private:
    QComboBox* language_;
    QPlainTextEdit* pane_;
};

class RecordsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit RecordsDialog(QWidget* parent = nullptr);
};

}  // namespace numen
