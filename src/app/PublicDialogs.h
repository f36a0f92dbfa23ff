#pragma once

#include "audit/OperationRecord.h"
#include "io/PublicOutputs.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

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
    PublicDivisionDialog(QWidget* parent, const std::string& inputFingerprint, int classCount);
    std::string seedText() const; // NormalSeedText of the field
    std::string teacherText() const; // empty: no draw

    void accept() override;

private:
    int classCount_;
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
