#pragma once

#include <functional>

class IPrompter;

// The application's top-level error report. Runs one command; an error that escapes it (the
// core's TError or any other std::exception) ends the command where it happened and is shown
// with its own message. What the command did before the error stays done; the program goes
// on. Returns false when an error was reported.
bool ReportErrors(IPrompter& prompter, const std::function<void()>& command);
