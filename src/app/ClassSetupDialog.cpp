#include "app/ClassSetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace fenban {

namespace {

enum Column { NameColumn, SizeColumn, KindColumn, ConditionColumn, ColumnCount };

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

constexpr int MostClasses = 100;

} // namespace

ClassSetupDialog::ClassSetupDialog(
    QWidget* parent, const ClassSetup& setup, int classCount, const std::vector<std::string>& columns)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgClassSetup"));
    setWindowTitle(QStringLiteral("班级设置"));
    setModal(true);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("班级数："), this));
    speSetupClasses = new QSpinBox(this);
    speSetupClasses->setObjectName(QStringLiteral("speSetupClasses"));
    speSetupClasses->setRange(1, MostClasses);
    top->addWidget(speSetupClasses);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("班名格式："), this));
    edtNamePattern = new QLineEdit(QStringLiteral("#班"), this);
    edtNamePattern->setObjectName(QStringLiteral("edtNamePattern"));
    edtNamePattern->setToolTip(QStringLiteral("# 代表班号，如 高一(#)班、实验#班"));
    top->addWidget(edtNamePattern);
    auto* names = new QPushButton(QStringLiteral("按格式命名"), this);
    names->setObjectName(QStringLiteral("btnSetupNames"));
    names->setAutoDefault(false);
    top->addWidget(names);
    top->addStretch();

    tblClassSetup = new QTableWidget(0, ColumnCount, this);
    tblClassSetup->setObjectName(QStringLiteral("tblClassSetup"));
    tblClassSetup->setHorizontalHeaderLabels(
        {QStringLiteral("班名"), QStringLiteral("人数"), QStringLiteral("类型"), QStringLiteral("条件")});
    tblClassSetup->horizontalHeader()->setSectionResizeMode(ConditionColumn, QHeaderView::Stretch);
    tblClassSetup->setColumnWidth(NameColumn, 140);
    tblClassSetup->setColumnWidth(SizeColumn, 60);
    tblClassSetup->setColumnWidth(KindColumn, 90);

    QString hint = QStringLiteral("人数空着：平分余下的学生。实验班条件空着：取不属其他条件的学生中总分在前的；"
                                  "特长班条件写成“列名=值”，如“特长=体育”。");
    if (!columns.empty()) {
        QStringList named;
        for (const std::string& column : columns)
            named << Text(column);
        hint += QStringLiteral("\n可用的列：%1").arg(named.join(QStringLiteral("、")));
    }
    auto* help = new QLabel(hint, this);
    help->setWordWrap(true);
    lblSetupProblem = new QLabel(this);
    lblSetupProblem->setObjectName(QStringLiteral("lblSetupProblem"));
    lblSetupProblem->setWordWrap(true);
    lblSetupProblem->setStyleSheet(QStringLiteral("color: #b00020"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnClassSetupOk"));
    ok->setDefault(true);
    QPushButton* none = buttons->addButton(QStringLiteral("不用班级设置"), QDialogButtonBox::ResetRole);
    none->setObjectName(QStringLiteral("btnClassSetupNone"));
    none->setAutoDefault(false);
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnClassSetupCancel"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &ClassSetupDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &ClassSetupDialog::reject);
    connect(none, &QPushButton::clicked, this, [this] {
        none_ = true;
        QDialog::accept();
    });
    connect(names, &QPushButton::clicked, this, &ClassSetupDialog::nameFromPattern);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tblClassSetup, 1);
    layout->addWidget(help);
    layout->addWidget(lblSetupProblem);
    layout->addWidget(buttons);
    resize(620, 520);

    if (setup.empty()) {
        setRowCount(std::clamp(classCount, 1, MostClasses));
    } else {
        setRowCount(setup.classCount());
        for (int row = 0; row < setup.classCount(); ++row)
            fillRow(row, setup.classes[static_cast<std::size_t>(row)]);
    }
    speSetupClasses->setValue(tblClassSetup->rowCount());
    connect(speSetupClasses, &QSpinBox::valueChanged, this, &ClassSetupDialog::setRowCount);
}

void ClassSetupDialog::fillRow(int row, const SetupClass& setupClass)
{
    tblClassSetup->item(row, NameColumn)->setText(Text(setupClass.name));
    tblClassSetup->item(row, SizeColumn)->setText(setupClass.size > 0 ? QString::number(setupClass.size) : QString());
    auto* kind = qobject_cast<QComboBox*>(tblClassSetup->cellWidget(row, KindColumn));
    kind->setCurrentIndex(static_cast<int>(setupClass.kind));
    tblClassSetup->item(row, ConditionColumn)->setText(Text(ConditionText(setupClass)));
}

void ClassSetupDialog::setRowCount(int count)
{
    const int before = tblClassSetup->rowCount();
    tblClassSetup->setRowCount(count);
    for (int row = before; row < count; ++row) {
        for (const int column : {NameColumn, SizeColumn, ConditionColumn})
            tblClassSetup->setItem(row, column, new QTableWidgetItem);
        auto* kind = new QComboBox(tblClassSetup);
        kind->setObjectName(QStringLiteral("cmbSetupKind%1").arg(row + 1));
        for (const ClassKind k : {ClassKind::Parallel, ClassKind::Top, ClassKind::Special})
            kind->addItem(Text(std::string(ClassKindText(k))));
        tblClassSetup->setCellWidget(row, KindColumn, kind);
        tblClassSetup->item(row, NameColumn)->setText(Text(NameFromPattern(Utf8(edtNamePattern->text()), row + 1)));
    }
}

void ClassSetupDialog::nameFromPattern()
{
    const std::string pattern = Utf8(edtNamePattern->text());
    for (int row = 0; row < tblClassSetup->rowCount(); ++row)
        tblClassSetup->item(row, NameColumn)->setText(Text(NameFromPattern(pattern, row + 1)));
}

std::optional<SetupFault> ClassSetupDialog::readRows(ClassSetup& read) const
{
    read = {};
    for (int row = 0; row < tblClassSetup->rowCount(); ++row) {
        SetupClass setupClass;
        setupClass.name = Utf8(tblClassSetup->item(row, NameColumn)->text().trimmed());
        const QString size = tblClassSetup->item(row, SizeColumn)->text().trimmed();
        if (!size.isEmpty()) {
            bool number = false;
            setupClass.size = size.toInt(&number);
            if (!number || setupClass.size < 1)
                return SetupFault {row, SizeColumn,
                    "第 " + std::to_string(row + 1) + " 个班的人数“" + Utf8(size)
                        + "”不是正整数；空着是平分余下的学生。"};
        }
        setupClass.kind = static_cast<ClassKind>(
            qobject_cast<QComboBox*>(tblClassSetup->cellWidget(row, KindColumn))->currentIndex());
        const std::string condition = Utf8(tblClassSetup->item(row, ConditionColumn)->text());
        if (!ParseCondition(condition, setupClass.column, setupClass.value))
            return SetupFault {row, ConditionColumn,
                "第 " + std::to_string(row + 1) + " 个班的条件“" + condition + "”要写成“列名=值”，如“志愿=实验班”。"};
        read.classes.push_back(std::move(setupClass));
    }
    return FindSetupFault(read);
}

ClassSetup ClassSetupDialog::setup() const
{
    ClassSetup read;
    if (none_ || readRows(read))
        return {};
    return read;
}

void ClassSetupDialog::accept()
{
    for (int row = 0; row < tblClassSetup->rowCount(); ++row)
        for (const int column : {NameColumn, SizeColumn, ConditionColumn})
            tblClassSetup->item(row, column)->setBackground(QBrush());
    ClassSetup read;
    if (const std::optional<SetupFault> fault = readRows(read)) {
        lblSetupProblem->setText(Text(fault->message));
        const int column = fault->field == 2 ? KindColumn : fault->field;
        if (QTableWidgetItem* item = tblClassSetup->item(fault->row, column))
            item->setBackground(QColor(255, 205, 210));
        tblClassSetup->setCurrentCell(fault->row, column);
        tblClassSetup->setFocus();
        return;
    }
    lblSetupProblem->clear();
    QDialog::accept();
}

} // namespace fenban
