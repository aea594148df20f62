// "О программе": the program's name, its version and what it is for.
#pragma once

#include <QDialog>

class QLabel;

namespace darni::app {

class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    // "Версия " and the build's version, "0.0.0.0" when the build has none.
    QString versionText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_version;
};

// The version compiled into this build, or the empty text.
QString buildVersion();

} // namespace darni::app
