#include "instruments.h"

namespace {

Instrument forex(const char *symbol, const char *description, double price, int spread)
{
    Instrument instrument;
    instrument.symbol = QString::fromLatin1(symbol);
    instrument.description = QString::fromLatin1(description);
    instrument.quoteCurrency = instrument.symbol.mid(3, 3);
    const bool major = instrument.symbol.contains(QLatin1String("USD"));
    instrument.path = major ? QStringLiteral("Forex\\Majors\\") + instrument.symbol
                            : QStringLiteral("Forex\\Crosses\\") + instrument.symbol;
    instrument.digits = instrument.quoteCurrency == QLatin1String("JPY") ? 3 : 5;
    instrument.startPrice = price;
    instrument.spreadPoints = spread;
    return instrument;
}

Instrument cfd(const char *symbol, const char *description, const char *path, const char *quote, double price,
               int digits, double contractSize, int spread, double volatility)
{
    Instrument instrument;
    instrument.symbol = QString::fromLatin1(symbol);
    instrument.description = QString::fromLatin1(description);
    instrument.path = QString::fromLatin1(path) + instrument.symbol;
    instrument.quoteCurrency = QString::fromLatin1(quote);
    instrument.digits = digits;
    instrument.contractSize = contractSize;
    instrument.startPrice = price;
    instrument.spreadPoints = spread;
    instrument.minuteVolatility = volatility;
    instrument.maxVolume = 500000;
    return instrument;
}

} // namespace

QVector<Instrument> defaultInstruments()
{
    return {
        forex("EURUSD", "Euro vs US Dollar", 1.08500, 12),
        forex("GBPUSD", "Great Britain Pound vs US Dollar", 1.27000, 15),
        forex("USDJPY", "US Dollar vs Japanese Yen", 149.500, 14),
        forex("USDCHF", "US Dollar vs Swiss Franc", 0.88000, 16),
        forex("USDCAD", "US Dollar vs Canadian Dollar", 1.36000, 18),
        forex("AUDUSD", "Australian Dollar vs US Dollar", 0.66000, 14),
        forex("NZDUSD", "New Zealand Dollar vs US Dollar", 0.61000, 18),
        forex("EURGBP", "Euro vs Great Britain Pound", 0.85400, 16),
        forex("EURJPY", "Euro vs Japanese Yen", 162.200, 20),
        forex("EURCHF", "Euro vs Swiss Franc", 0.95500, 20),
        forex("EURAUD", "Euro vs Australian Dollar", 1.64400, 25),
        forex("EURCAD", "Euro vs Canadian Dollar", 1.47600, 25),
        forex("GBPJPY", "Great Britain Pound vs Japanese Yen", 189.900, 28),
        forex("GBPCHF", "Great Britain Pound vs Swiss Franc", 1.11800, 28),
        forex("AUDJPY", "Australian Dollar vs Japanese Yen", 98.700, 22),
        forex("AUDNZD", "Australian Dollar vs New Zealand Dollar", 1.08200, 25),
        forex("CADJPY", "Canadian Dollar vs Japanese Yen", 109.900, 24),
        forex("CHFJPY", "Swiss Franc vs Japanese Yen", 169.900, 26),
        forex("NZDJPY", "New Zealand Dollar vs Japanese Yen", 91.200, 26),
        forex("GBPAUD", "Great Britain Pound vs Australian Dollar", 1.92400, 32),
        cfd("XAUUSD", "Gold vs US Dollar", "Metals\\", "USD", 2030.00, 2, 100.0, 30, 0.0005),
        cfd("XAGUSD", "Silver vs US Dollar", "Metals\\", "USD", 23.150, 3, 5000.0, 25, 0.0008),
        cfd("XPTUSD", "Platinum vs US Dollar", "Metals\\", "USD", 915.00, 2, 100.0, 80, 0.0007),
        cfd("US30", "Dow Jones Industrial Average", "Indices\\", "USD", 37500.0, 1, 1.0, 30, 0.0004),
        cfd("US500", "S&P 500 Index", "Indices\\", "USD", 4750.00, 2, 10.0, 50, 0.0004),
        cfd("NAS100", "Nasdaq 100 Index", "Indices\\", "USD", 16800.00, 2, 1.0, 150, 0.0005),
        cfd("GER40", "DAX 40 Index", "Indices\\", "EUR", 16700.0, 1, 1.0, 15, 0.0004),
        cfd("UK100", "FTSE 100 Index", "Indices\\", "GBP", 7650.0, 1, 1.0, 12, 0.0003),
        cfd("JP225", "Nikkei 225 Index", "Indices\\", "JPY", 33500.0, 0, 100.0, 10, 0.0005),
        cfd("USOIL", "WTI Crude Oil", "Energies\\", "USD", 72.50, 2, 1000.0, 4, 0.0007),
    };
}
