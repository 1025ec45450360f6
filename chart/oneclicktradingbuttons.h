// The SELL / BUY panel in a chart's top-left corner: one click sends a market
// order for the chart's symbol with the volume in the box between the halves.
#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <memory>

class QTimer;

namespace Ui {
class OneClickTradingButtons;
}

class OneClickTradingButtons : public QWidget
{
    Q_OBJECT

public:
    explicit OneClickTradingButtons(const QString &symbol, QWidget *parent = nullptr);
    ~OneClickTradingButtons() override;

    void setBuyPrice(double price, int digits);
    void setSellPrice(double price, int digits);

    // Volumes in lots.
    void setMinimumVolume(double volume);
    void setMaximumVolume(double volume);
    void setVolumeStep(double step);
    void setVolume(double volume);

    void setSymbol(const QString &symbol);
    QString symbol() const { return m_symbol; }

    // Decimal places a volume step needs, read from the step at four decimals.
    static int decimalsFromStep(double step);

    // Applies the look only; the highlighted flag is left alone.
    void setHighlighted(bool on);
    void adjustFontToDpi();

signals:
    void buyButtonClicked(QString symbol, double volume);
    void sellButtonClicked(QString symbol, double volume);

private slots:
    void on_sellButton_clicked();
    void on_buyButton_clicked();

public slots:
    void updateButtonStyle();
    void clearEffect();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showPrice(double price, int digits, bool buySide);
    void sendOrder(bool buy);

    std::unique_ptr<Ui::OneClickTradingButtons> m_ui;
    QString m_symbol;
    bool m_highlighted = false;
    // The plain look shown while prices stay away.
    bool m_quietLook = false;
    QTimer *m_flashTimer = nullptr;
    QDateTime m_lastPriceTime;
};
