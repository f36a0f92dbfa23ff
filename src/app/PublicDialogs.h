#pragma once

#include "audit/Fingerprint.h"
#include "audit/OperationRecord.h"
#include "io/PublicOutputs.h"

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace fenban {

// 导出公示名单…'s options ("dlgNotice"): names masked or whole, the order, the
// heading, the signature lines. OK accepts; the file dialog comes after.
class NoticeDialog final : public QDialog {
    Q_OBJECT

public:
    // `extraHeaders`: the roster's extra columns, each offered to post.
    NoticeDialog(QWidget* parent, const NoticeOptions& initial, const std::vector<std::string>& extraHeaders = {});
    // The initial options with the choices made here.
    NoticeOptions options() const;

private:
    NoticeOptions initial_;
    QCheckBox* chkMaskNames = nullptr;
    QComboBox* cmbNoticeOrder = nullptr;
    QLineEdit* edtNoticeHeading = nullptr;
    QCheckBox* chkSignatures = nullptr;
    std::vector<QCheckBox*> extraBoxes_; // chkNoticeExtra<c>, one per extra column
};

// 公开分班… ("dlgPublicDivision"): the input fingerprint to read out before
// the draw, the seed drawn in public, optionally the class teachers to draw.
// OK accepts only a valid seed and teacher list (told in the dialog).
class PublicDivisionDialog final : public QDialog {
    Q_OBJECT

public:
    // Every parameter of the division is shown and may be changed: the class
    // count (speDivisionClasses), 分数段 (cmbDivisionBands) and 同音姓名分班
    // (chkDivisionSoundAlike), which enter the input fingerprint read out
    // above them (`fingerprintOf` gives it for the options as they stand),
    // then the seed, drawn once that fingerprint is published.
    PublicDivisionDialog(QWidget* parent, const DivisionOptions& options,
        std::function<std::string(const DivisionOptions&)> fingerprintOf);
    DivisionOptions options() const;
    std::string seedText() const; // NormalSeedText of the field
    std::string teacherText() const; // empty: no draw

    void accept() override;

private:
    void showFingerprint();

    std::function<std::string(const DivisionOptions&)> fingerprintOf_;
    QLabel* lblInputFingerprint = nullptr;
    QSpinBox* speDivisionClasses = nullptr;
    QComboBox* cmbDivisionBands = nullptr;
    QCheckBox* chkDivisionSoundAlike = nullptr;
    QLineEdit* edtSeed = nullptr;
    QPlainTextEdit* edtTeachers = nullptr;
    QLabel* lblProblem = nullptr;
};

// 操作记录 ("dlgRecord"): every step with its time, read-only.
class RecordDialog final : public QDialog {
    Q_OBJECT

public:
    RecordDialog(QWidget* parent, const OperationRecord& record);
};

} // namespace fenban
