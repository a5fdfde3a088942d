// The process entry of a program on the simulated machine: builds the Windows
// command line from the arguments and calls the program's wWinMain.
#include "../src/internal.h"

#include <string>

namespace {

// One argument as Windows programs receive it: quoted when it holds a blank
// or is empty, with quotes and the backslashes before them escaped so that
// CommandLineToArgvW gives the argument back unchanged.
std::u16string quoteArgument(const std::u16string& arg) {
    if (!arg.empty() && arg.find_first_of(u" \t\"") == std::u16string::npos) return arg;
    std::u16string out = u"\"";
    size_t backslashes = 0;
    for (char16_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            out.append(backslashes * 2 + 1, u'\\');
        } else {
            out.append(backslashes, u'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, u'\\');
    return out + u"\"";
}

}  // namespace

int main(int argc, char** argv) {
    std::u16string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += u' ';
        commandLine += quoteArgument(plxsim::fromUtf8(argv[i]));
    }
    // The loader hands the program its module; that is none of the program's calls.
    return wWinMain(plxsim::programModule(), nullptr, &commandLine[0], SW_SHOWNORMAL);
}
