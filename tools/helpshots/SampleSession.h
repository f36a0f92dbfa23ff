#pragma once

#include <QString>
#include <QWidget>

class TForm1;

namespace fenban::shots {

// Drives a window the way a user would with the sample grade: paste,
// divide, balance, list. Controls are found by their objectNames; any
// message box that opens is closed, so nothing waits for a person.
class SampleSession {
public:
    explicit SampleSession(TForm1& window)
        : window_(window)
    {
    }

    template <class T = QWidget> T* control(const char* name) const
    {
        T* found = window().findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            qFatal("no control %s", name);
        return found;
    }
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
    void press(const char* buttonName);

    TForm1& window_;
};

// The sample grade's text; stops the program when it cannot be read.
QString ReadSampleGrade(const QString& path);

} // namespace fenban::shots
