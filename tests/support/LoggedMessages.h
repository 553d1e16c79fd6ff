#pragma once

#include <functional>
#include <string>
#include <vector>

// Runs the body with the log copied to standard error and returns all that was written there:
// log lines and the libraries' own messages.
std::string captureOutput(const std::function<void()>& body);

// The log messages the body wrote, in order, without their time stamps.
std::vector<std::string> loggedMessages(const std::function<void()>& body);
