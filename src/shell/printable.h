#pragma once

#include <string>
#include <string_view>

// `text` made safe to show on one line: printable ASCII stays as it is, a
// backslash and a double quote are escaped, line ends and tabs become \n, \r
// and \t, and every other byte becomes \xHH.
std::string Printable(std::string_view text);
