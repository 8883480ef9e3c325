#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace swivio::app {

class ConversionRun;

// The encoding phase of a conversion run: progress, the percentage, Cancel with its
// question. Closes itself a second after the encoding has ended (accepted), or at once after
// a confirmed cancel (rejected).
class ConvertingWindow : public QDialog {
    Q_OBJECT
public:
    explicit ConvertingWindow(ConversionRun& run, QWidget* parent = nullptr);

    // Asks the user before cancelling; false when the answer is No. Replaceable (tests).
    bool askCancel();
    void setCancelQuestion(std::function<bool()> ask) { m_ask = std::move(ask); }

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void onPoll();
    void onRunFinished();

    ConversionRun& m_run;
    QProgressBar* m_progress = nullptr;
    QLabel* m_percent = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer m_poll;
    std::function<bool()> m_ask;
    int m_lastPercent = -1;
    bool m_cancelRequested = false;
    bool m_ended = false;
};

// "Encoding now, are you sure you want to cancel it?"
inline constexpr char kCancelEncodingQuestion[] =
    "Encoding now, are you sure you want to cancel it?";

} // namespace swivio::app
