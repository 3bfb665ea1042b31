#pragma once

#include <optional>
#include <string>

// Whether the window can be opened here. Qt ends the process when it finds no
// display; this asks first. Gives a sentence saying what is missing, or
// nothing when a display is there (or a platform was chosen explicitly, with
// QT_QPA_PLATFORM, which Qt then answers for).
std::optional<std::string> DisplayProblem();
