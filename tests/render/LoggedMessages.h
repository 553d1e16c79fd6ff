#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ImageCodecTestSupport.h"

// The log messages the body wrote, in order, without their time stamps.
inline std::vector<std::string> loggedMessages(const std::function<void()>& body) {
    std::istringstream output(captureOutput(body));
    std::vector<std::string> messages;
    for (std::string line; std::getline(output, line);) {
        bool stamped = line.size() >= 10 && line[2] == ':' && line[5] == ':' && line[8] == ':';
        if (stamped) messages.push_back(line.substr(10));
    }
    return messages;
}
