#include "views/ImportDialog.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace fenban {

namespace {

const QString SettingsGroup = QStringLiteral("importChoices");

QString RememberedKey(const std::vector<std::string>& headerWords)
{
    return SettingsGroup + u'/' + ImportDialog::HeaderKey(headerWords);
}

// The program's settings, under its own names whatever the application is called.
const QString Organization = QStringLiteral("fenban");

QString Text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::size_t RoleIndex(ColumnRole role)
{
    return static_cast<std::size_t>(
        std::find(std::begin(AllColumnRoles), std::end(AllColumnRoles), role) - std::begin(AllColumnRoles));
}

int SheetsWithCells(const std::vector<TableSheet>& sheets)
{
    return static_cast<int>(
        std::count_if(sheets.begin(), sheets.end(), [](const TableSheet& sheet) { return !sheet.rows.empty(); }));
}

} // namespace

ImportDialog::ImportDialog(
    std::vector<TableSheet> sheets, const ImportProposal& proposal, std::string decimalSeparator, QWidget* parent)
    : QDialog(parent)
    , sheets_(std::move(sheets))
    , separator_(std::move(decimalSeparator))
    , proposalDoubts_(proposal.doubts)
    , sheet_(new QComboBox(this))
    , headerRow_(new QSpinBox(this))
    , preview_(new QTableWidget(this))
    , doubts_(new QLabel(this))
    , error_(new QLabel(this))
{
    setObjectName(QStringLiteral("dlgImport"));
    setWindowTitle(QStringLiteral("导入设置"));
    sheet_->setObjectName(QStringLiteral("cmbImportSheet"));
    headerRow_->setObjectName(QStringLiteral("speImportHeaderRow"));
    preview_->setObjectName(QStringLiteral("grdImportPreview"));
    doubts_->setObjectName(QStringLiteral("lblImportDoubts"));
    error_->setObjectName(QStringLiteral("lblImportError"));
    doubts_->setWordWrap(true);
    error_->setWordWrap(true);
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->hide();
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->setSelectionMode(QAbstractItemView::NoSelection);

    for (std::size_t s = 0; s < sheets_.size(); ++s)
        sheet_->addItem(Text(sheets_[s].name), static_cast<int>(s));
    if (SheetsWithCells(sheets_) >= 2)
        sheet_->addItem(QStringLiteral("合并所有工作表"), ImportChoice::MergeSheets);
    sheet_->setCurrentIndex(sheet_->findData(proposal.choice.sheet));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("btnImportOk"));
    ok->setText(QStringLiteral("确定"));
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("btnImportCancel"));
    cancel->setText(QStringLiteral("取消"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("工作表："), sheet_);
    form->addRow(QStringLiteral("表头在第几行："), headerRow_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("表格的前几行，每列上面选它的用处："), this));
    layout->addWidget(preview_, 1);
    layout->addWidget(doubts_);
    layout->addWidget(error_);
    layout->addWidget(buttons);
    resize(760, 460);

    updating_ = true;
    const int above = shownSheet().firstRow; // rows named as the spreadsheet names them
    headerRow_->setRange(above + 1, above + std::max<int>(1, static_cast<int>(shownRows().size())));
    headerRow_->setValue(above + std::max(proposal.choice.headerRow, 0) + 1);
    updating_ = false;
    showPreview();
    if (!applyRemembered())
        showRoles(proposal.choice.roles);
    showDoubts();

    connect(sheet_, &QComboBox::currentIndexChanged, this, [this] { sheetChosen(); });
    connect(headerRow_, &QSpinBox::valueChanged, this, [this] { headerRowChosen(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString ImportDialog::HeaderKey(const std::vector<std::string>& headerWords)
{
    QByteArray joined;
    for (const std::string& word : headerWords) {
        joined += QByteArray::fromStdString(word);
        joined += '\t';
    }
    return QString::fromLatin1(QCryptographicHash::hash(joined, QCryptographicHash::Sha1).toHex());
}

ImportChoice ImportDialog::choice() const
{
    ImportChoice chosen;
    chosen.sheet = sheet_->currentData().toInt();
    chosen.headerRow = headerIndex();
    for (const QComboBox* box : roleBoxes_)
        chosen.roles.push_back(AllColumnRoles[static_cast<std::size_t>(std::max(box->currentIndex(), 0))]);
    return chosen;
}

void ImportDialog::accept()
{
    const ImportChoice chosen = choice();
    try {
        table_ = ImportTable(sheets_, chosen, separator_);
    } catch (const Failure& failure) {
        error_->setText(QString::fromStdString(failure.what()));
        error_->show();
        return;
    }
    QSettings settings(QSettings::UserScope, Organization, Organization);
    QStringList roles;
    for (const ColumnRole role : chosen.roles)
        roles << QString::number(RoleIndex(role));
    settings.setValue(RememberedKey(headerWords()), roles);
    QDialog::accept();
}

const TableSheet& ImportDialog::shownSheet() const
{
    static const TableSheet none;
    int sheet = sheet_->currentData().toInt();
    if (sheet == ImportChoice::MergeSheets) {
        const auto first = std::find_if(
            sheets_.begin(), sheets_.end(), [](const TableSheet& candidate) { return !candidate.rows.empty(); });
        return first == sheets_.end() ? none : *first;
    }
    return sheet >= 0 && static_cast<std::size_t>(sheet) < sheets_.size() ? sheets_[static_cast<std::size_t>(sheet)]
                                                                          : none;
}

const TableRows& ImportDialog::shownRows() const
{
    return shownSheet().rows;
}

int ImportDialog::headerIndex() const
{
    return headerRow_->value() - 1 - shownSheet().firstRow;
}

std::vector<std::string> ImportDialog::headerWords() const
{
    std::vector<std::string> words;
    const TableRows& rows = shownRows();
    const auto row = static_cast<std::size_t>(headerIndex());
    if (row < rows.size())
        for (const std::string& cell : rows[row])
            words.push_back(HeaderWord(cell));
    while (!words.empty() && words.back().empty())
        words.pop_back();
    return words;
}

bool ImportDialog::applyRemembered()
{
    const QStringList remembered = QSettings(QSettings::UserScope, Organization, Organization)
                                       .value(RememberedKey(headerWords()))
                                       .toStringList();
    if (remembered.isEmpty() || remembered.size() != static_cast<qsizetype>(roleBoxes_.size()))
        return false;
    std::vector<ColumnRole> roles;
    for (const QString& entry : remembered) {
        bool number = false;
        const int index = entry.toInt(&number);
        if (!number || index < 0 || index >= static_cast<int>(std::size(AllColumnRoles)))
            return false;
        roles.push_back(AllColumnRoles[static_cast<std::size_t>(index)]);
    }
    showRoles(roles);
    proposalDoubts_.push_back("各列的用处按上次同样表头的选择");
    return true;
}

void ImportDialog::showRoles(const std::vector<ColumnRole>& roles)
{
    for (std::size_t c = 0; c < roleBoxes_.size(); ++c)
        roleBoxes_[c]->setCurrentIndex(static_cast<int>(RoleIndex(c < roles.size() ? roles[c] : ColumnRole::Unused)));
}

void ImportDialog::showPreview()
{
    const TableRows& rows = shownRows();
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.size());
    const int shown = std::min<int>(PreviewRows, static_cast<int>(rows.size()));
    const int header = headerIndex();
    // The view would delete the old boxes later; they go now, so no stale one is found by name.
    for (QComboBox* box : roleBoxes_)
        delete box;
    roleBoxes_.clear();
    preview_->clear();
    preview_->setColumnCount(static_cast<int>(width));
    preview_->setRowCount(shown + 1);
    QStringList letters;
    for (std::size_t c = 0; c < width; ++c)
        letters << Text(ColumnLetters(static_cast<int>(c) + shownSheet().firstColumn));
    preview_->setHorizontalHeaderLabels(letters);
    QStringList numbers {QStringLiteral("用作")};
    for (int r = 0; r < shown; ++r)
        numbers << QString::number(shownSheet().firstRow + r + 1);
    preview_->setVerticalHeaderLabels(numbers);

    for (std::size_t c = 0; c < width; ++c) {
        auto* box = new QComboBox(preview_);
        box->setObjectName(QStringLiteral("cmbImportRole%1").arg(c));
        for (const ColumnRole role : AllColumnRoles)
            box->addItem(Text(ColumnRoleName(role)));
        box->setCurrentIndex(static_cast<int>(RoleIndex(ColumnRole::Unused)));
        preview_->setCellWidget(0, static_cast<int>(c), box);
        roleBoxes_.push_back(box);
    }
    for (int r = 0; r < shown; ++r) {
        const auto& row = rows[static_cast<std::size_t>(r)];
        for (std::size_t c = 0; c < row.size(); ++c) {
            auto* item = new QTableWidgetItem(Text(row[c]));
            if (r == header) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
                item->setBackground(palette().color(QPalette::AlternateBase));
            } else if (r < header) {
                item->setForeground(palette().color(QPalette::PlaceholderText));
            }
            preview_->setItem(r + 1, static_cast<int>(c), item);
        }
    }
    preview_->resizeColumnsToContents();
}

void ImportDialog::sheetChosen()
{
    const TableRows& rows = shownRows();
    const int found = FindHeaderRow(rows);
    updating_ = true;
    const int above = shownSheet().firstRow;
    headerRow_->setRange(above + 1, above + std::max<int>(1, static_cast<int>(rows.size())));
    headerRow_->setValue(above + std::max(found, 0) + 1);
    updating_ = false;
    headerRowChosen();
}

void ImportDialog::headerRowChosen()
{
    if (updating_)
        return;
    error_->hide();
    showPreview();
    proposalDoubts_.clear();
    const std::vector<ColumnRole> roles
        = ProposeRoles(shownRows(), headerIndex(), separator_, proposalDoubts_, shownSheet().firstColumn);
    if (!applyRemembered())
        showRoles(roles);
    showDoubts();
}

void ImportDialog::showDoubts()
{
    QStringList lines;
    for (const std::string& doubt : proposalDoubts_)
        lines << Text(doubt);
    doubts_->setText(lines.join(u'\n'));
}

} // namespace fenban
