// Drives the real window with arbitrary bytes: the bytes before the marker
// "\n#ACTIONS#" are the clipboard text, those after it choose the actions
// and their parameters. Without the marker the actions come from a
// generator seeded with the text. Every step is followed by the checks.
#include "FuzzWindow.h"

#include "FuzzChecks.h"
#include "WindowDriver.h"
#include "app/Unit1.h"
#include "roster/NumberText.h"
#include "roster/PastedTable.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLocale>
#include <QMenu>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>
#include <cstdint>
#include <cstring>
#include <string_view>

using namespace fenban;
using namespace fenban::fuzz;
using namespace fenban::testkit;

namespace {

constexpr std::string_view ActionsMarker = "\n#ACTIONS#";
constexpr int MaxActions = 32;

// Every box is recorded and answered at once; a file request is cancelled.
ScriptedDialogs* Scripted = nullptr;

// Action bytes: read in order; a generator when there are none.
class Script {
public:
    Script(const std::uint8_t* bytes, std::size_t size, std::uint64_t seed, bool generated)
        : bytes_(bytes)
        , size_(size)
        , state_(seed | 1)
        , generated_(generated)
    {
    }
    bool more() const { return generated_ ? count_ < 14 : at_ < size_ && count_ < MaxActions; }
    void next() { ++count_; }
    std::uint8_t byte()
    {
        if (generated_) {
            state_ ^= state_ << 13;
            state_ ^= state_ >> 7;
            state_ ^= state_ << 17;
            return static_cast<std::uint8_t>(state_ >> 24);
        }
        return at_ < size_ ? bytes_[at_++] : 0;
    }
    std::int32_t int32()
    {
        std::uint32_t value = 0;
        for (int k = 0; k < 4; ++k)
            value = value << 8 | byte();
        return static_cast<std::int32_t>(value);
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::uint64_t state_;
    bool generated_;
    int count_ = 0;
};

// The pasted text as the clipboard holds it: UTF-8 (invalid sequences
// replaced), Latin-1, or raw UTF-16 units (NULs and lone surrogates).
QString Decode(std::string_view text, int how)
{
    switch (how % 3) {
    case 0:
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    case 1:
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    default: {
        QString units(static_cast<qsizetype>(text.size() / 2), Qt::Uninitialized);
        if (!units.isEmpty())
            std::memcpy(units.data(), text.data(), text.size() / 2 * 2);
        return units;
    }
    }
}

template <class T> T* Control(TForm1& window, const char* name)
{
    return FindControl<T>(window, name); // a missing control is fatal: Broken
}

// What one run knows beyond the window: whether the lists describe a whole
// division and whether the statistics must match them.
struct Tracking {
    bool divided = false;
    bool statsFresh = false;
};

class Run {
public:
    Run(std::string_view text, Script& script)
        : text_(text)
        , script_(script)
    {
        window_.show();
        grid_ = Control<QTableView>(window_, "StrGrid");
    }

    void go()
    {
        paste(Decode(text_, script_.byte()));
        while (script_.more()) {
            script_.next();
            step(script_.byte() % 10);
            CheckLists(window_.state(), tracking_.divided);
            if (tracking_.statsFresh)
                CheckStatistics(window_.state());
        }
    }

private:
    void step(int action)
    {
        switch (action) {
        case 0:
            return setClassCount();
        case 1:
        case 2:
            return assign();
        case 3:
        case 4:
            return balance();
        case 5:
            return chooseTreeNode();
        case 6:
            return moveByHand();
        case 7:
            return copy();
        case 8:
            return paste(QGuiApplication::clipboard()->text()); // the copied block back
        default:
            if (script_.byte() % 4 == 0) {
                QGuiApplication::clipboard()->clear();
                press("BitBtn1");
                return;
            }
            return paste(Decode(text_, script_.byte()));
        }
    }

    // Presses a button; every message box it opens must say something.
    QStringList press(const char* button)
    {
        Scripted->takeBoxes();
        Press(window_, button);
        QStringList seen;
        for (const SeenBox& box : Scripted->takeBoxes()) {
            if (box.text.trimmed().isEmpty())
                Broken("a message box without text");
            if (box.text.contains(QStringLiteral("未知错误")))
                Broken("an unknown failure reached the user");
            seen << box.text;
        }
        return seen;
    }

    void paste(const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        if (press("BitBtn1").contains(QStringLiteral("没有可粘帖的文本。")))
            return; // nothing pasted, nothing changed
        tracking_ = {};
        const DivisionState& state = window_.state();
        if (!state.FClassAvg.empty())
            Broken("a new roster keeps statistics of the old one");
        for (const TStudentList& list : state.FClasses)
            if (!list.empty())
                Broken("a new roster keeps class members of the old one");
    }

    void setClassCount()
    {
        auto* spin = Control<QSpinBox>(window_, "SpinEdit1");
        const int before = spin->value();
        spin->setValue(script_.byte() % 104);
        if (spin->value() == before)
            return; // no change handler runs; at start-up the lists stay unset
        tracking_ = {};
        if (static_cast<int>(window_.state().FClasses.size()) != spin->value())
            Broken("class lists do not follow the class count");
    }

    void assign()
    {
        const QStringList boxes = press("BitBtn2");
        const DivisionState& state = window_.state();
        if (state.FStudents.size() < 3 || !boxes.isEmpty())
            return; // nothing divided, or a failure ended the division midway
        tracking_ = {true, true};
        CheckLists(state, true);
        CheckStatistics(state);
        CheckGradeAverages(state);
        CheckDealing(state);
        checkAveragesGrid();
    }

    // The averages tab shows the statistics and the class sizes as they stand.
    void checkAveragesGrid()
    {
        const DivisionState& state = window_.state();
        const CellGrid& cells = window_.averagesGrid().grid();
        if (cells.rowCount() != static_cast<int>(state.FClassAvg.size()) + 2)
            Broken("the averages grid has other rows than classes");
        for (std::size_t c = 0; c < state.FClassAvg.size(); ++c) {
            const int row = static_cast<int>(c) + 1;
            if (cells.cell(0, row) != ClassLabel(row, state.FClasses[c]))
                Broken("the averages grid shows another class size");
            for (int s = 0; s < SubjectCount; ++s)
                if (cells.cell(s + 1, row) != FormatNumber(state.FClassAvg[c][s], "."))
                    Broken("the averages grid shows another average");
        }
    }

    void balance()
    {
        Control<QCheckBox>(window_, "chkAuto")->setChecked(script_.byte() & 1);
        Control<QSpinBox>(window_, "speSystem")->setValue(script_.int32());
        Control<QSpinBox>(window_, "speClassA")->setValue(script_.byte() % 102);
        Control<QSpinBox>(window_, "speClassB")->setValue(script_.byte() % 102);
        Control<QComboBox>(window_, "cmbSubject")->setCurrentIndex(script_.byte() % 13 - 1);

        const ListsSnapshot before = window_.state().FClasses;
        const auto gradeBefore = window_.state().FGradeAvg;
        const QStringList boxes = press("Button4");
        const bool exchanged = CheckExchange(before, window_.state());
        if (window_.state().FGradeAvg != gradeBefore)
            Broken("balancing changed the grade averages");
        if (exchanged) {
            tracking_.statsFresh = boxes.isEmpty();
            if (tracking_.statsFresh)
                checkAveragesGrid();
        }
    }

    void chooseTreeNode()
    {
        auto* tree = Control<QTreeWidget>(window_, "trvClassList");
        QTreeWidgetItem* root = tree->topLevelItem(0);
        if (root == nullptr)
            return;
        const int pick = script_.byte() % (root->childCount() + 2);
        QTreeWidgetItem* node = pick == 0 ? root : pick <= root->childCount() ? root->child(pick - 1) : nullptr;
        if (node == nullptr) { // a node renamed by the user, then chosen
            if (root->childCount() == 0)
                return;
            node = root->child(script_.byte() % root->childCount());
            node->setText(0, Decode(text_.substr(0, 8), 0));
        }
        if (node == tree->currentItem())
            return; // no change, no redraw
        Scripted->takeBoxes();
        tree->setCurrentItem(node);
        bool isNumber = false;
        const int classNo = node->text(0).toInt(&isNumber);
        const bool lists
            = node == root || (isNumber && classNo >= 1 && classNo <= int(window_.state().FClasses.size()));
        if (Scripted->boxes().isEmpty() && lists)
            checkListing(); // a renamed node naming no class lists nothing
    }

    // The grid lists the list it claims to list.
    void checkListing()
    {
        const DivisionState& state = window_.state();
        const int shown = window_.view().FShownClass;
        if (shown >= static_cast<int>(state.FClasses.size()))
            return;
        const TStudentList& list = shown == -1 ? state.FStudents : state.FClasses[static_cast<std::size_t>(shown)];
        const CellGrid& cells = window_.rosterGrid().grid();
        if (shown == -1 && cells.rowCount() != static_cast<int>(list.size()) + 1)
            return; // the whole roster is drawn by a listing only
        if (cells.rowCount() != static_cast<int>(list.size()) + 1)
            Broken("the listing's rows differ from its list");
        for (std::size_t k = 0; k < list.size(); ++k)
            if (cells.cell(3, static_cast<int>(k) + 1) != std::to_string(list[k]->ClassNo))
                Broken("the listing shows another class number than its student's");
    }

    void moveByHand()
    {
        const QAbstractItemModel* model = grid_->model();
        if (model->rowCount() > 0 && model->columnCount() > 0) {
            const int row = (script_.byte() << 8 | script_.byte()) % model->rowCount();
            const int col = script_.byte() % model->columnCount();
            grid_->selectionModel()->setCurrentIndex(model->index(row, col), QItemSelectionModel::ClearAndSelect);
        }
        const QList<QAction*> items = Control<QMenu>(window_, "ppmClass")->actions();
        if (items.isEmpty())
            return;
        const DivisionState& state = window_.state();
        const ListsSnapshot before = state.FClasses;
        QAction* item = items[script_.byte() % items.size()];
        item->trigger();
        if (before != state.FClasses) {
            CheckMove(before, state, item->data().toInt() - 1);
            tracking_.statsFresh = false; // the averages wait for the next division
            checkListing();
        }
    }

    void copy()
    {
        const QAbstractItemModel* model = grid_->model();
        if (model->rowCount() == 0 || model->columnCount() == 0)
            return;
        int top = script_.byte() % model->rowCount();
        int bottom = script_.byte() % model->rowCount();
        int left = script_.byte() % model->columnCount();
        int right = script_.byte() % model->columnCount();
        if (top > bottom)
            std::swap(top, bottom);
        if (left > right)
            std::swap(left, right);
        grid_->selectionModel()->setCurrentIndex(model->index(top, left), QItemSelectionModel::NoUpdate);
        grid_->selectionModel()->select(
            QItemSelection(model->index(top, left), model->index(bottom, right)), QItemSelectionModel::ClearAndSelect);
        press("BitBtn3");
        const std::string expected = BlockText(window_.rosterGrid().grid(), left + 1, top + 1, right + 1, bottom + 1);
        if (QGuiApplication::clipboard()->text() != QString::fromStdString(expected))
            Broken("the copied text differs from the selected block");
    }

    std::string_view text_;
    Script& script_;
    TForm1 window_;
    QTableView* grid_ = nullptr;
    Tracking tracking_;
};

} // namespace

static QApplication* Application = nullptr; // made once, by LLVMFuzzerInitialize

void FinishFuzzWindow()
{
    delete Scripted;
    Scripted = nullptr;
    delete Application;
    Application = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "fuzz_window";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale::c()); // "." as the decimal separator the checks format with
    // Qt's warnings of the offscreen platform would drown the fuzzer's output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg)
            Broken(message.toStdString());
    });
    // Not a static object: at exit Qt's own statics would go first.
    Application = new QApplication(argc, argv);
    Scripted = new ScriptedDialogs;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t marker = input.find(ActionsMarker);
    std::string_view text = input;
    std::uint64_t seed = 1469598103934665603ULL; // FNV-1a of the text
    for (const unsigned char c : input)
        seed = (seed ^ c) * 1099511628211ULL;
    if (marker != std::string_view::npos) {
        text = input.substr(0, marker);
        const std::string_view actions = input.substr(marker + ActionsMarker.size());
        Script script(reinterpret_cast<const std::uint8_t*>(actions.data()), actions.size(), seed, false);
        Run(text, script).go();
    } else {
        Script script(nullptr, 0, seed, true);
        Run(text, script).go();
    }
    return 0;
}
