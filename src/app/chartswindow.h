// "Графики": the charts of the page in view (or of its marked rows) in three tabs, the spread of the
// velocity and the strength beside them, and saving them as PNG or PDF.
#pragma once

#include "output/chartdata.h"

#include <QDialog>

class QLabel;
class QTabWidget;

namespace darni::app {

class UserDialogs;

class ChartsWindow : public QDialog
{
    Q_OBJECT
public:
    // `dialogs` asks for the file name when saving and tells how it went.
    ChartsWindow(output::ChartData data, UserDialogs& dialogs, const QString& directory, QWidget* parent = nullptr);

    const output::ChartData& data() const { return m_data; }
    // Asks for a file of this kind ("png" or "pdf") and saves the three charts to it.
    void save(const QString& suffix);

    // The spread as the window shows it: count, mean, standard deviation, coefficient of variation.
    static QString spreadText(const output::ChartData& data);

private:
    output::ChartData m_data;
    UserDialogs& m_dialogs;
    QString m_directory;
};

} // namespace darni::app
