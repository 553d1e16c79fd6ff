#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir(const char* inheritVariable) : m_variable(inheritVariable) {
    const char* inherited = m_variable ? getenv(m_variable) : nullptr;
    if (inherited && *inherited) {
        m_path = inherited;
        m_owned = false;
        return;
    }
    char pattern[] = "/tmp/bramble-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    m_path = made ? made : "";
    if (m_variable) setenv(m_variable, m_path.c_str(), 1);
}

TempDir::~TempDir() {
    if (!m_owned) return;
    if (m_variable) unsetenv(m_variable);
    std::error_code error;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, error);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
}
