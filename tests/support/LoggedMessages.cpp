#include "LoggedMessages.h"

#include <gtest/gtest.h>

#include <sstream>

#include "TempDir.h"
#include "ZCore.h"

std::string captureOutput(const std::function<void()>& body) {
    static TempDir logDir;
    // Opening the log before the capture keeps earlier waiting lines out of it.
    ZCore::enableLog(logDir.file("log.txt").c_str(), "test", "1", true);
    testing::internal::CaptureStderr();
    body();
    return testing::internal::GetCapturedStderr();
}

std::vector<std::string> loggedMessages(const std::function<void()>& body) {
    std::istringstream output(captureOutput(body));
    std::vector<std::string> messages;
    for (std::string line; std::getline(output, line);) {
        bool stamped = line.size() >= 10 && line[2] == ':' && line[5] == ':' && line[8] == ':';
        if (stamped) messages.push_back(line.substr(10));
    }
    return messages;
}
