// The program's help: its Russian help document in a window of its own.
#pragma once

#include <QDialog>

namespace darni::app {

class HelpWindow : public QDialog
{
    Q_OBJECT
public:
    // The document beside the executable when there is one, else the copy built into the program.
    explicit HelpWindow(QWidget* parent = nullptr);
    static QString helpFilePath();
    // A help window over `parent`, shown without blocking it and deleted when closed.
    static void open(QWidget* parent);
};

} // namespace darni::app
