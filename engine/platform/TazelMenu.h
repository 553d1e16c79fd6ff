#pragma once

#include <memory>
#include <string>
#include <vector>

// The application's menu: a title and items, each item with an optional submenu.
class TazelMenu {
public:
    struct Item {
        std::string title;
        std::unique_ptr<TazelMenu> submenu;
    };

    explicit TazelMenu(const std::string& title) : m_title(title) {}

    const std::string& getTitle() const { return m_title; }
    void setTitle(const std::string& title) { m_title = title; }
    std::vector<Item>& getItems() { return m_items; }
    Item& addItem(const std::string& title);
    TazelMenu* addSubmenu(const std::string& title);

    // A new string made of the text before the range, the replacement and the text after it.
    static std::string stringByReplacingRange(const std::string& text, size_t location,
                                              size_t length, const std::string& replacement);

private:
    std::string m_title;
    std::vector<Item> m_items;
};
