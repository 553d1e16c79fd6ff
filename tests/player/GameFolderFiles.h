#pragma once

#include <string>
#include <vector>

#include "TempDir.h"
#include "ZMiscTools.h"

// Files a test writes into the game folder, where the player looks for its sounds and music;
// they are removed again when the test ends.
class GameFolderFiles {
public:
    ~GameFolderFiles() {
        for (const std::string& path : m_written) ZMiscTools::removeFile(path.c_str());
    }
    static std::string path(const std::string& relative) {
        return std::string(ZMiscTools::getGameFolder()) + "/" + relative;
    }
    void write(const std::string& relative, const std::string& bytes) {
        writeFile(path(relative), bytes);
        m_written.push_back(path(relative));
    }

private:
    std::vector<std::string> m_written;
};
