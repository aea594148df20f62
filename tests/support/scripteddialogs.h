// Answers the program's dialogs from a script and records what it was shown, for window tests.
#pragma once

#include "app/userdialogs.h"
#include "output/chartdata.h"
#include "output/report/pagecomposer.h"

#include <QColor>
#include <QStringList>

#include <deque>
#include <memory>

namespace darni::testing {

class ScriptedDialogs : public app::UserDialogs
{
public:
    struct Shown
    {
        Icon icon;
        QString caption;
        QString text;
        QString help;
    };

    std::deque<QString> fileNames;      // answers to file dialogs, in order ("" cancels)
    std::deque<bool> yesNoAnswers;      // answers to questions; No when none is left
    std::deque<Answer> threeWayAnswers; // answers to Yes/No/Cancel questions; else as yesNoAnswers
    std::vector<Shown> messages;
    QStringList questions;
    QStringList fileDialogFilters;
    std::deque<QColor> colors;                            // answers to colour dialogs; cancelled when none is left
    std::vector<QColor> colorDialogStarts;                // the colour each colour dialog opened on
    int printDialogs = 0;                                 // print dialogs shown; each is cancelled
    std::vector<output::report::ComposedReport> previews; // the reports previewed
    std::vector<std::unique_ptr<output::report::PageByPageReport>> previewed; // and as the preview gets them
    std::vector<output::ChartData> charts; // what each charts window would have shown

    QString saveFileName(QWidget*, const QString&, const QString& filter, const QString&) override
    {
        return nextFileName(filter);
    }
    QString openFileName(QWidget*, const QString&, const QString& filter, const QString&) override
    {
        return nextFileName(filter);
    }
    using UserDialogs::message;
    void message(QWidget*, Icon icon, const QString& caption, const QString& text, const QString& help) override
    {
        messages.push_back({icon, caption, text, help});
    }
    bool askYesNo(QWidget*, const QString&, const QString& text) override
    {
        questions << text;
        if (yesNoAnswers.empty())
            return false;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    Answer askYesNoCancel(QWidget* parent, const QString& caption, const QString& text) override
    {
        if (threeWayAnswers.empty())
            return askYesNo(parent, caption, text) ? Answer::Yes : Answer::No;
        questions << text;
        const Answer answer = threeWayAnswers.front();
        threeWayAnswers.pop_front();
        return answer;
    }
    QColor chooseColor(QWidget*, const QColor& initial) override
    {
        colorDialogStarts.push_back(initial);
        if (colors.empty())
            return {};
        const QColor chosen = colors.front();
        colors.pop_front();
        return chosen;
    }

    bool choosePrinter(QWidget*, QPrinter&) override
    {
        ++printDialogs;
        return false;
    }
    // The whole report, composed, so that tests read every page of what would be shown.
    void previewReport(QWidget*, const output::report::PageByPageReport& report) override
    {
        previews.push_back(*report.composeAll());
        previewed.push_back(std::make_unique<output::report::PageByPageReport>(report.rows(), report.layout()));
    }

    void showCharts(QWidget*, const output::ChartData& data, const QString&) override { charts.push_back(data); }

private:
    QString nextFileName(const QString& filter)
    {
        fileDialogFilters << filter;
        if (fileNames.empty())
            return {};
        const QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

} // namespace darni::testing
