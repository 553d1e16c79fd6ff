#include "TazelMenu.h"

TazelMenu::Item& TazelMenu::addItem(const std::string& title) {
    m_items.push_back(Item{title, nullptr});
    return m_items.back();
}

TazelMenu* TazelMenu::addSubmenu(const std::string& title) {
    Item& item = addItem(title);
    item.submenu.reset(new TazelMenu(title));
    return item.submenu.get();
}

std::string TazelMenu::stringByReplacingRange(const std::string& text, size_t location,
                                              size_t length, const std::string& replacement) {
    if (location > text.size()) location = text.size();
    if (length > text.size() - location) length = text.size() - location;
    return text.substr(0, location) + replacement + text.substr(location + length);
}
