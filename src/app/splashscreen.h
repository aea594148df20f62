// The banner shown for three seconds at start-up; it closes by itself and cannot be closed earlier.
#pragma once

#include <QDialog>

namespace darni::app {

class SplashScreen : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kShowMs = 3000;

    explicit SplashScreen(QWidget* parent = nullptr);
    // Tests shorten the showing; users cannot.
    void setShowTime(int milliseconds) { m_showMs = milliseconds; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void reject() override {}

private:
    int m_showMs = kShowMs;
};

} // namespace darni::app
