#pragma once

#include "engine/ClassSetup.h"

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace fenban {

// 班级设置… ("dlgClassSetup"): one row per class — 班名, 人数 (空: an even
// share), 类型 (平行班, 实验班, 特长班) and 条件 (空, or 列名=值). The class
// count (speSetupClasses) adds or drops rows; 按格式命名 (btnSetupNames) names
// every class from the pattern (edtNamePattern, "#" the number). OK
// (btnClassSetupOk) accepts only a set-up that can be used: the first fault
// is told in lblSetupProblem and its cell chosen. 不用班级设置
// (btnClassSetupNone) accepts with none.
class ClassSetupDialog final : public QDialog {
    Q_OBJECT

public:
    // `setup`: the set-up to start from (empty: `classCount` parallel classes
    // named #班); `columns`: the roster's columns a condition may name.
    ClassSetupDialog(QWidget* parent, const ClassSetup& setup, int classCount, const std::vector<std::string>& columns);
    // The set-up as the rows read; empty after 不用班级设置.
    ClassSetup setup() const;
    // The rows as a set-up, or the fault of the first row that cannot be read.
    std::optional<SetupFault> readRows(ClassSetup& read) const;

    void accept() override;

private:
    void setRowCount(int count);
    void fillRow(int row, const SetupClass& setupClass);
    void nameFromPattern();

    QSpinBox* speSetupClasses = nullptr;
    QLineEdit* edtNamePattern = nullptr;
    QTableWidget* tblClassSetup = nullptr;
    QLabel* lblSetupProblem = nullptr;
    bool none_ = false;
};

} // namespace fenban
