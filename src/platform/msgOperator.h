#pragma once

#include <string>

// The operator: a modal message box that any thread may raise. The window shows
// a real dialog and blocks the caller until it is dismissed; headless mode
// writes the text to standard error and returns at once; tests record it.
class msgOperator {
public:
    virtual ~msgOperator() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// The process-wide operator. Until one is installed, texts go to standard error.
msgOperator& Operator();
// Installs `op` (not owned; it must outlive every caller) or, with nullptr,
// restores the standard-error operator.
void SetOperator(msgOperator* op);
