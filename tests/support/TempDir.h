#pragma once

#include <string>

// A fresh folder under /tmp, removed with its contents when the object goes. Given the name of
// an environment variable, the folder is handed down through it: a re-executed death-test child
// then works in its parent's folder, which the parent inspects and removes.
class TempDir {
public:
    explicit TempDir(const char* inheritVariable = nullptr);
    ~TempDir();
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
    const char* m_variable = nullptr;
    bool m_owned = true;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
