// Splitting 8-bit text into lines. Portable C++.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Receives the 0-based line number and the raw 8-bit line without its line end.
using TLineHandler = std::function<void(int lineNumber, const std::string& line)>;

// Hands every line of data to handler. A line ends at CR LF, LF or a lone CR; the
// last line may have no end; a byte 0x1A ends the text (it ends the line it stands
// in, and nothing after it is read). Empty data calls the handler never.
// Stops after the first line when firstLineOnly is set.
void SplitTextLines(const char* data, size_t size, const TLineHandler& handler,
                    bool firstLineOnly = false);
