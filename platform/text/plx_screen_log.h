// screen.log: what a person would have seen of a program, one line each.  The
// simulated machine's MessageBoxW and ExitWindowsEx write it, and so do the
// tests that answer a real program's boxes under Wine; the tests read both.
//
//   MessageBox caption="..." text="..." buttons=YESNO icon=QUESTION answer=IDNO
//   ExitWindowsEx flags=0x12 reboot
//
// buttons: OK OKCANCEL ABORTRETRYIGNORE YESNOCANCEL YESNO RETRYCANCEL (or the
// number of unknown buttons); icon: NONE ERROR QUESTION WARNING INFORMATION;
// answer: IDOK IDCANCEL IDYES IDNO, or 0 for a box that could not be shown,
// followed then by error="why".  Quoted fields escape \ " newline CR tab as
// \\ \" \n \r \t.  The action of ExitWindowsEx is logoff, shutdown, poweroff
// or reboot.
#ifndef PLX_SCREEN_LOG_H
#define PLX_SCREEN_LOG_H

#include <cstdio>
#include <string>
#include <string_view>

namespace plxtext {

constexpr std::string_view kScreenLogBox = "MessageBox";
constexpr std::string_view kScreenLogExit = "ExitWindowsEx";

// A message box as its line tells it; an empty icon or error is left out (a
// box seen from outside the program shows no icon name).
struct ScreenLogBox {
    std::string caption;
    std::string text;
    std::string buttons;
    std::string icon;
    std::string answer;
    std::string error;
};

inline std::string screenLogQuote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

inline std::string screenLogLine(const ScreenLogBox& box) {
    std::string line = std::string(kScreenLogBox) + " caption=" + screenLogQuote(box.caption) +
                       " text=" + screenLogQuote(box.text) + " buttons=" + box.buttons;
    if (!box.icon.empty()) line += " icon=" + box.icon;
    line += " answer=" + box.answer;
    if (!box.error.empty()) line += " error=" + screenLogQuote(box.error);
    return line;
}

// An ExitWindowsEx line; flags < 0 leaves them out, for a writer that cannot
// know them.
inline std::string screenLogExitLine(std::string_view action, long flags = -1) {
    std::string line(kScreenLogExit);
    if (flags >= 0) {
        char number[24];
        std::snprintf(number, sizeof number, "%02lx", flags);
        line += " flags=0x" + std::string(number);
    }
    return line + " " + std::string(action);
}

// The first word of a line: kScreenLogBox, kScreenLogExit or "".
inline std::string_view screenLogKind(std::string_view line) { return line.substr(0, line.find(' ')); }

// The action of an ExitWindowsEx line, its last word.
inline std::string_view screenLogExitAction(std::string_view line) { return line.substr(line.find_last_of(' ') + 1); }

// The value of a line's field name=value, unquoted and unescaped; "" when the
// line has no such field.  The fields are read in order, so that text inside
// a quoted value is never taken for a field.
inline std::string screenLogField(std::string_view line, std::string_view name) {
    size_t pos = line.find(' ');
    while (pos != std::string_view::npos && pos < line.size()) {
        ++pos;  // past the blank before the field
        size_t equals = line.find('=', pos);
        size_t blank = line.find(' ', pos);
        if (equals == std::string_view::npos || equals > blank) {
            pos = blank;  // a word without a value
            continue;
        }
        bool wanted = line.substr(pos, equals - pos) == name;
        std::string value;
        pos = equals + 1;
        if (pos < line.size() && line[pos] == '"') {
            for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
                char c = line[pos];
                if (c == '\\' && pos + 1 < line.size()) {
                    c = line[++pos];
                    c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
                }
                value += c;
            }
            pos = line.find(' ', pos);
        } else {
            blank = line.find(' ', pos);
            value = std::string(line.substr(pos, blank - pos));
            pos = blank;
        }
        if (wanted) return value;
    }
    return "";
}

}  // namespace plxtext

#endif
