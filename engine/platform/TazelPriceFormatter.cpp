#include "TazelPriceFormatter.h"

#include <langinfo.h>
#include <locale.h>
#include <monetary.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// "en_US@currency=USD;calendar=x" -> "en_US" and "USD". Only letters and underscores reach the
// system's locale lookup: anything else (a path) is no locale name.
bool splitIdentifier(const char* identifier, std::string& locale, std::string& currency) {
    std::string text = identifier ? identifier : "";
    locale = text.substr(0, text.find('@'));
    size_t at = text.find("currency=");
    if (at != std::string::npos) {
        currency = text.substr(at + 9, text.find(';', at) - at - 9);
        for (char c : currency)
            if (!isalpha(static_cast<unsigned char>(c))) currency.clear();
    }
    if (locale.empty()) return false;
    for (char c : locale)
        if (!isalpha(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

// The locale's own currency is the one named (or none is named).
bool currencyMatches(locale_t locale, const std::string& currency) {
    if (currency.empty()) return true;
    const char* own = nl_langinfo_l(INT_CURR_SYMBOL, locale);
    return own && strncmp(own, currency.c_str(), currency.size()) == 0;
}

}  // namespace

std::string TazelPriceFormatter::formatCurrency(double price, const char* localeIdentifier) {
    std::string name, currency;
    if (splitIdentifier(localeIdentifier, name, currency)) {
        for (const char* suffix : {".UTF-8", ".utf8"}) {
            locale_t locale = newlocale(LC_ALL_MASK, (name + suffix).c_str(), nullptr);
            if (!locale) continue;
            char text[128];
            ssize_t length = -1;
            if (currencyMatches(locale, currency))
                length = strfmon_l(text, sizeof(text), locale, "%n", price);
            freelocale(locale);
            if (length > 0) return std::string(text, static_cast<size_t>(length));
            break;
        }
    }
    char amount[64];
    snprintf(amount, sizeof(amount), "%.2f", price);
    return currency.empty() ? amount : currency + " " + amount;
}
