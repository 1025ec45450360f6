#include "oneclicktradingbuttons.h"
#include "ui_oneclicktradingbuttons.h"

#include "appglobals.h"
#include "jsonreadings.h"
#include "logger.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace {

const QString buyBackHighlighted = QStringLiteral(
    "background-color: rgb(0,74,173);\nborder-color: rgb(0,74,173);\nborder-radius: 5px;\nborder-style: solid;\nborder-width: 2px;\n");
const QString buyBackPlain = QStringLiteral(
    "background-color: rgb(255,255,255);\nborder-color: rgb(0,74,173);\nborder-radius: 5px;\nborder-style: solid;\nborder-width: 2px;\n");
const QString sellBackHighlighted = QStringLiteral(
    "background-color: rgb(255, 50, 50);\nborder-color: rgb(255, 50, 50);\ncolor: rgb(255,255,255);\nborder-radius: 5px;\n"
    "border-style: solid;\nborder-width: 2px;\n");
const QString sellBackPlain = QStringLiteral(
    "background-color: rgb(255,255,255);\nborder-color: rgb(255, 50, 50);\nborder-radius: 5px;\nborder-style: solid;\nborder-width: 2px;\n");

constexpr int flashIntervalMs = 1000;
constexpr qint64 quietSecondsBeforePlain = 2;

} // namespace

OneClickTradingButtons::OneClickTradingButtons(const QString &symbol, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::OneClickTradingButtons>())
    , m_symbol(symbol)
    , m_flashTimer(new QTimer(this))
{
    m_ui->setupUi(this);
    adjustFontToDpi();
    connect(m_flashTimer, &QTimer::timeout, this, &OneClickTradingButtons::updateButtonStyle);
}

OneClickTradingButtons::~OneClickTradingButtons() = default;

void OneClickTradingButtons::showPrice(double price, int digits, bool buySide)
{
    const QString text = QString::number(price, 'f', jsonreading::boundedDigits(digits));
    QLabel *large = buySide ? m_ui->buyPriceLabel1 : m_ui->sellPriceLabel1;
    QLabel *small = buySide ? m_ui->buyPriceLabel2 : m_ui->sellPriceLabel2;
    large->setText(text.left(text.size() - 1));
    small->setText(text.right(1));
    m_lastPriceTime = QDateTime::currentDateTime();
}

void OneClickTradingButtons::setBuyPrice(double price, int digits)
{
    showPrice(price, digits, true);
    if (!m_flashTimer->isActive()) {
        m_flashTimer->start(flashIntervalMs);
        setHighlighted(true);
        m_highlighted = true;
    } else if (m_quietLook) {
        // Prices are back (a reconnection): so is the colour.
        m_quietLook = false;
        setHighlighted(true);
    }
}

void OneClickTradingButtons::setSellPrice(double price, int digits)
{
    showPrice(price, digits, false);
    if (isVisible() && !m_flashTimer->isActive()) {
        m_flashTimer->start(flashIntervalMs);
        updateButtonStyle();
    }
}

void OneClickTradingButtons::setMinimumVolume(double volume)
{
    if (m_ui->volumeSpinBox->minimum() != volume)
        m_ui->volumeSpinBox->setMinimum(volume);
}

void OneClickTradingButtons::setMaximumVolume(double volume)
{
    if (m_ui->volumeSpinBox->maximum() != volume)
        m_ui->volumeSpinBox->setMaximum(volume);
}

void OneClickTradingButtons::setVolumeStep(double step)
{
    if (m_ui->volumeSpinBox->singleStep() != step) {
        m_ui->volumeSpinBox->setSingleStep(step);
        m_ui->volumeSpinBox->setDecimals(decimalsFromStep(step));
    }
}

void OneClickTradingButtons::setVolume(double volume)
{
    m_ui->volumeSpinBox->setValue(volume);
}

void OneClickTradingButtons::setSymbol(const QString &symbol)
{
    if (m_symbol != symbol)
        m_symbol = symbol;
}

int OneClickTradingButtons::decimalsFromStep(double step)
{
    const QStringList parts = QString::number(step, 'f', 4).split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return 0;
    QString fraction = parts.at(1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    return fraction.size();
}

void OneClickTradingButtons::setHighlighted(bool on)
{
    if (on) {
        m_ui->buyBackLabel->setStyleSheet(buyBackHighlighted);
        m_ui->buyLabel->setStyleSheet(QStringLiteral("color:rgb(255, 255, 255);background: transparent;"));
        m_ui->buyPriceLabel1->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);\nbackground-color: rgb(0,74,173);"));
        m_ui->buyPriceLabel2->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);\nbackground-color: rgb(0,74,173);"));
        m_ui->sellBackLabel->setStyleSheet(sellBackHighlighted);
        m_ui->sellLabel->setStyleSheet(QStringLiteral("color:rgb(255,255,255);background: transparent;"));
        m_ui->sellPriceLabel1->setStyleSheet(QStringLiteral("color: rgb(255,255,255);\nbackground: transparent;"));
        m_ui->sellPriceLabel2->setStyleSheet(QStringLiteral("color: rgb(255,255,255);\nbackground: transparent;"));
    } else {
        m_ui->buyBackLabel->setStyleSheet(buyBackPlain);
        m_ui->buyLabel->setStyleSheet(QStringLiteral("color:rgb(0, 0, 0);background: transparent;"));
        m_ui->buyPriceLabel1->setStyleSheet(QStringLiteral("color: rgb(0, 0, 0);\nbackground: transparent;"));
        m_ui->buyPriceLabel2->setStyleSheet(QStringLiteral("color: rgb(0, 73, 174);\nbackground: transparent;"));
        m_ui->sellBackLabel->setStyleSheet(sellBackPlain);
        m_ui->sellLabel->setStyleSheet(QStringLiteral("color:rgb(0, 0, 0);background: transparent;"));
        m_ui->sellPriceLabel1->setStyleSheet(QStringLiteral("color: rgb(0, 0, 0);\nbackground: transparent;"));
        m_ui->sellPriceLabel2->setStyleSheet(QStringLiteral("color: rgb(0, 0, 0);\nbackground: transparent;"));
    }
}

void OneClickTradingButtons::updateButtonStyle()
{
    // The flag stays set on purpose: the plain look is re-applied at every
    // later tick of the timer while prices stay away.
    if (m_highlighted && m_lastPriceTime.secsTo(QDateTime::currentDateTime()) >= quietSecondsBeforePlain) {
        setHighlighted(!m_highlighted);
        m_quietLook = true;
    }
}

void OneClickTradingButtons::clearEffect()
{
    m_flashTimer->stop();
    setHighlighted(false);
}

void OneClickTradingButtons::adjustFontToDpi()
{
    // Without a screen (a display going away) the labels keep the 96 dpi size.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    double scale = dpi / 96.0 * std::min(height() / 800.0, width() / 1200.0);
    if (scale >= 1.5)
        scale = 1.5;
    else if (scale <= 0.5)
        scale = 0.5;
    const int pointSize = std::clamp(static_cast<int>(12 * scale), 8, 24);

    QFont font = m_ui->buyLabel->font();
    font.setPointSize(pointSize);
    for (QLabel *label : {m_ui->buyLabel, m_ui->sellLabel, m_ui->buyPriceLabel1, m_ui->buyPriceLabel2,
                          m_ui->sellPriceLabel1, m_ui->sellPriceLabel2})
        label->setFont(font);
}

void OneClickTradingButtons::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    adjustFontToDpi();
}

void OneClickTradingButtons::on_sellButton_clicked()
{
    sendOrder(false);
}

void OneClickTradingButtons::on_buyButton_clicked()
{
    sendOrder(true);
}

void OneClickTradingButtons::sendOrder(bool buy)
{
    const QString side = buy ? QStringLiteral("BUY") : QStringLiteral("SELL");
    const QString title = buy ? QStringLiteral("Buy Order") : QStringLiteral("Sell Order");

    if (readOnlyMode) {
        Logger::instance()->log(
            title,
            QStringLiteral("(One Click trading) Attempted to process %1 request in read-only mode (Investor login).").arg(side));
        QMessageBox::warning(this, tr("Warning"), tr("Trade operations restricted in Read Only Mode."), QMessageBox::Ok);
        return;
    }

    const double volume = m_ui->volumeSpinBox->value();
    if (buy)
        emit buyButtonClicked(m_symbol, volume);
    else
        emit sellButtonClicked(m_symbol, volume);
    // One multi-argument arg(): a symbol holding "%2" must not swallow the volume.
    Logger::instance()->log(title,
                            QStringLiteral("(One Click trading) Symbol: %1, Volume: %2. Processing %3 request")
                                .arg(m_symbol, QString::number(volume), side));
}
