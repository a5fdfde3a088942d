// The reader of regedit's text format ("Windows Registry Editor Version 5.00"
// and "REGEDIT4" .reg files): what the lines say, handed to a sink that
// applies it, the simulated machine's registry tree or a real registry.  No
// machine and no Win32: every build compiles it.
#ifndef PLX_REG_TEXT_H
#define PLX_REG_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plxtext {

// File bytes to text: UTF-16LE or UTF-16BE with BOM, UTF-8 with BOM; without a
// BOM a REGEDIT4 file is ANSI (Windows-1252), as regedit writes it, and any
// other file UTF-8 when it is valid UTF-8, ANSI when it is not.
std::u16string decodeRegBytes(std::string_view bytes);

struct RegBadLine {
    size_t line = 0;  // 1 for the first
    std::string why;
};

struct RegParseResult {
    bool hasHeader = false;                 // a "Windows Registry Editor Version 5.00" or "REGEDIT4" line
    unsigned badLines = 0;                  // lines that were not understood and were skipped
    std::vector<RegBadLine> firstBadLines;  // the first of them, with the reason
};

// What the lines of a .reg text say, in their order.
class RegTextSink {
public:
    // A section line, "[path]" or "[-path]" (remove), its path split at the
    // backslashes, root first, no part empty; the sink may rewrite the parts.
    // Returns null when the line is taken, else why it is bad.  The values up
    // to the next section then belong to it, unless skipValues is set: then
    // they are ignored, bad line or not (regedit ignores the values under a
    // deleted key); after a bad line that does not set it they are bad.
    virtual const char* section(std::vector<std::u16string_view>& parts, bool remove, bool& skipValues) = 0;
    // "name"=data (the name is empty for @): data as the registry holds it,
    // type one of winnt.h's REG_ numbers.
    virtual void setValue(const std::u16string& name, uint32_t type, std::vector<uint8_t> data) = 0;
    // "name"=-
    virtual void removeValue(const std::u16string& name) = 0;

protected:
    ~RegTextSink() = default;
};

// Reads the text line by line into the sink; a line that is not understood
// is counted and skipped.  After a "REGEDIT4" header, hex(2) and hex(7) data
// are ANSI text and become UTF-16, as regedit converts them.
RegParseResult readRegText(std::u16string_view text, RegTextSink& sink);

}  // namespace plxtext

#endif
