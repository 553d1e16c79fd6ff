#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

// Switches the whole process to a German locale, whose decimal point is a comma, for the
// object's lifetime, and back to "C" after. When the system has no such locale it is built with
// localedef into a private folder that LOCPATH names. active() is false, with the reason, when
// neither works: tests then skip.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
            if (use(name)) return;
        }
        char pattern[] = "/tmp/bramble-locale-XXXXXX";
        if (!mkdtemp(pattern)) {
            m_reason = "no folder to build a locale in";
            return;
        }
        m_folder = pattern;
        const char* previous = getenv("LOCPATH");
        if (previous) m_previousLocPath = previous;
        m_hadLocPath = previous != nullptr;
        // localedef exits with 1 on mere warnings, so the locale itself is what counts.
        std::string command =
            "localedef -i de_DE -f UTF-8 '" + m_folder + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (system(command.c_str()) == -1) {
            m_reason = "cannot run localedef";
            return;
        }
        setenv("LOCPATH", m_folder.c_str(), 1);
        if (use("de_DE.UTF-8")) return;
        m_reason =
            "no de_DE.UTF-8 locale and localedef could not build one (the locales package "
            "provides both)";
    }

    ~DecimalCommaLocale() {
        setlocale(LC_ALL, "C");
        if (m_folder.empty()) return;
        if (m_hadLocPath) {
            setenv("LOCPATH", m_previousLocPath.c_str(), 1);
        } else {
            unsetenv("LOCPATH");
        }
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }

    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    bool active() const { return m_active; }
    const std::string& reason() const { return m_reason; }

private:
    bool use(const char* name) {
        if (!setlocale(LC_ALL, name)) return false;
        m_active = localeconv()->decimal_point[0] == ',';
        if (!m_active) setlocale(LC_ALL, "C");
        return m_active;
    }

    bool m_active = false;
    std::string m_reason;
    std::string m_folder;
    std::string m_previousLocPath;
    bool m_hadLocPath = false;
};
