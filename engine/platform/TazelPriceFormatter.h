#pragma once

#include <string>

// Prices as the store shows them: a price in the currency style of a locale identifier such as
// "en_US@currency=USD".
class TazelPriceFormatter {
public:
    // In the locale's monetary format where the system has that locale; else the amount with two
    // decimals after the identifier's currency code ("USD 0.99"), or alone without one.
    static std::string formatCurrency(double price, const char* localeIdentifier);
};
