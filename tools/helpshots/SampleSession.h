#pragma once

#include "ScriptedDialogs.h"
#include "WindowDriver.h"

#include <QString>
#include <QWidget>

class TForm1;

namespace fenban::shots {

// Drives a window the way a user would with the sample grade: paste,
// divide, balance, list. Controls are found by their objectNames; the
// session's scripted dialogs answer any box, so nothing waits for a person.
class SampleSession {
public:
    explicit SampleSession(TForm1& window)
        : window_(window)
    {
    }

    template <class T = QWidget> T* control(const char* name) const { return testkit::FindControl<T>(window(), name); }
    QWidget& window() const;

    void paste(const QString& table); // clipboard, then 读入数据
    void divide(); // 编班
    // Presses 调整 as the help advises: until `patience` presses in a row
    // bring no new lowest total deviation, at most maxPresses times.
    // Returns the number of presses.
    int balance(int maxPresses, int patience = 10);
    void listEveryone(); // the tree's root 全部
    void showTab(const char* pageName);

private:
    TForm1& window_;
    testkit::ScriptedDialogs dialogs_;
};

// The sample grade's text; stops the program when it cannot be read.
QString ReadSampleGrade(const QString& path);

} // namespace fenban::shots
