#pragma once

#include "io/TableLayout.h"

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;

namespace fenban {

// 导入设置: how a table that is not in the program's own layout is read.
// Shows the sheet's first rows with the header row marked, and per column
// what it is taken as (姓名 / 性别 / 班级 / 总分 / 科目 / 规则 / 附加 / 不用);
// the sheet to read or 合并所有工作表; the header row. 确定 reads the table
// with the choice: a choice that cannot be read is told in the dialog, which
// stays open; one that can is remembered for the next file with the same
// header (QSettings, under a hash of the header's words) and the dialog
// accepts. The remembered choice replaces the proposed roles when the
// dialog opens on such a header.
class ImportDialog : public QDialog {
    Q_OBJECT

public:
    ImportDialog(std::vector<TableSheet> sheets, const ImportProposal& proposal, std::string decimalSeparator,
        QWidget* parent = nullptr);

    // The choice as the controls show it.
    ImportChoice choice() const;
    // The table read with the accepted choice.
    const ImportedTable& table() const { return table_; }

    // The key a choice is remembered under: a hash of the header's words.
    static QString HeaderKey(const std::vector<std::string>& headerWords);

    // How many of the sheet's first rows are shown.
    static constexpr int PreviewRows = 12;

public slots:
    void accept() override;

private:
    void sheetChosen();
    void headerRowChosen();
    void showRoles(const std::vector<ColumnRole>& roles);
    void showPreview();
    void showDoubts();
    const TableSheet& shownSheet() const;
    const TableRows& shownRows() const;
    int headerIndex() const; // the header row chosen, as an index into shownRows()
    std::vector<std::string> headerWords() const;
    bool applyRemembered();

    std::vector<TableSheet> sheets_;
    std::string separator_;
    std::vector<std::string> proposalDoubts_;
    QComboBox* sheet_;
    QSpinBox* headerRow_;
    QTableWidget* preview_;
    QLabel* doubts_;
    QLabel* error_;
    std::vector<QComboBox*> roleBoxes_;
    ImportedTable table_;
    bool updating_ = false;
};

} // namespace fenban
