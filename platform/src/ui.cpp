// Message boxes and the program's string table.
//
// A message box takes its answer from machine.ini's [Display] Answers, in
// order within the process.  When those are used up and standard input is a
// terminal, the box is shown on stderr and answered on stdin; otherwise it
// cannot be shown and returns 0, as MessageBoxW does when it fails (last
// error ERROR_NOT_SUPPORTED).  An answer that is not a button of the box
// ("yes" for MB_OK) fails the box the same way; only "cancel" on an MB_OK box
// counts as OK, as Escape does on Windows.
//
// Every box is one line of screen.log (plx_screen_log.h).
#include "plx_screen_log.h"
#include "plx_sim_resources.h"
#include "internal.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>

namespace plxsim {
namespace {

std::mutex& tableLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::map<unsigned, StringResource>& stringTable() {
    static auto* table = new std::map<unsigned, StringResource>;
    return *table;
}

const char* buttonsName(UINT buttons) {
    switch (buttons) {
    case MB_OK: return "OK";
    case MB_OKCANCEL: return "OKCANCEL";
    case MB_ABORTRETRYIGNORE: return "ABORTRETRYIGNORE";
    case MB_YESNOCANCEL: return "YESNOCANCEL";
    case MB_YESNO: return "YESNO";
    case MB_RETRYCANCEL: return "RETRYCANCEL";
    default: return nullptr;
    }
}

const char* iconName(UINT type) {
    switch (type & 0xF0) {
    case MB_ICONHAND: return "ERROR";
    case MB_ICONQUESTION: return "QUESTION";
    case MB_ICONEXCLAMATION: return "WARNING";
    case MB_ICONASTERISK: return "INFORMATION";
    default: return "NONE";
    }
}

const char* answerName(int answer) {
    switch (answer) {
    case IDOK: return "IDOK";
    case IDCANCEL: return "IDCANCEL";
    case IDYES: return "IDYES";
    case IDNO: return "IDNO";
    default: return "0";
    }
}

// The result of an answer word on a box with these buttons; 0 when it is not one of them.
int resultOf(const std::string& answer, UINT buttons) {
    bool ok = buttons == MB_OK || buttons == MB_OKCANCEL;
    bool cancel = buttons == MB_OKCANCEL || buttons == MB_YESNOCANCEL || buttons == MB_RETRYCANCEL;
    bool yesNo = buttons == MB_YESNO || buttons == MB_YESNOCANCEL;
    if ((answer == "ok" || answer == "o") && ok) return IDOK;
    if ((answer == "cancel" || answer == "c") && cancel) return IDCANCEL;
    if ((answer == "cancel" || answer == "c") && buttons == MB_OK) return IDOK;  // Escape on an OK box
    if ((answer == "yes" || answer == "y") && yesNo) return IDYES;
    if ((answer == "no" || answer == "n") && yesNo) return IDNO;
    return 0;
}

std::string choices(UINT buttons) {
    switch (buttons) {
    case MB_OK: return "o=OK";
    case MB_OKCANCEL: return "o=OK c=Cancel";
    case MB_YESNOCANCEL: return "y=Yes n=No c=Cancel";
    case MB_YESNO: return "y=Yes n=No";
    case MB_RETRYCANCEL: return "c=Cancel";
    default: return "";
    }
}

// Shows the box on the terminal; 0 when nothing valid could be read.
int askTerminal(const std::string& caption, const std::string& text, UINT buttons) {
    std::fprintf(stderr, "\n+-- %s\n| %s\n+-- answer (%s): ", caption.c_str(), text.c_str(), choices(buttons).c_str());
    std::fflush(stderr);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::string word;
        for (char c : line)
            if (c != ' ' && c != '\t' && c != '\r') word += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (int result = resultOf(word, buttons)) return result;
        std::fprintf(stderr, "answer (%s): ", choices(buttons).c_str());
        std::fflush(stderr);
    }
    return 0;
}

}  // namespace

void registerStringTable(const StringResource* entries, std::size_t count) {
    std::lock_guard<std::mutex> guard(tableLock());
    for (std::size_t i = 0; i < count; ++i) stringTable()[entries[i].id] = entries[i];
}

}  // namespace plxsim

using namespace plxsim;

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    ApiCall call("LoadStringW", static_cast<DWORD>(uID));
    if (call.fault()) {
        // As for a missing string: an empty text where there is room for one.
        if (lpBuffer && cchBufferMax > 0) lpBuffer[0] = 0;
        return call.fail(0);
    }
    if (hInstance && hInstance != programModule()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    if (!lpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    StringResource entry{0, nullptr, 0};
    bool blockExists = false;
    {
        std::lock_guard<std::mutex> guard(tableLock());
        auto& table = stringTable();
        if (table.empty()) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);  // a program without resources
            return 0;
        }
        auto it = table.find(uID & 0xFFFF);
        if (it != table.end()) entry = it->second;
        // Windows stores strings in blocks of 16 ids; a missing block is a missing resource.
        auto block = table.lower_bound((uID & 0xFFFF) & ~0xFu);
        blockExists = block != table.end() && (block->first >> 4) == ((uID & 0xFFFF) >> 4);
    }
    if (!entry.text || entry.length == 0) {
        if (!blockExists) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        if (cchBufferMax > 0) lpBuffer[0] = 0;
        return 0;
    }
    if (cchBufferMax == 0) {
        // A read-only pointer to the resource text itself (not terminated).
        *reinterpret_cast<const WCHAR**>(lpBuffer) = entry.text;
        return static_cast<int>(entry.length);
    }
    if (cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int n = static_cast<int>(entry.length) < cchBufferMax - 1 ? static_cast<int>(entry.length) : cchBufferMax - 1;
    for (int i = 0; i < n; ++i) lpBuffer[i] = entry.text[i];
    lpBuffer[n] = 0;
    return n;
}

int WINAPI MessageBoxW(HWND /*hWnd*/, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    // A box that fails is not shown: no line on the screen, no answer taken.
    ApiCall call("MessageBoxW", lpText);
    if (call.fault()) return call.fail(0);
    UINT buttons = uType & MB_TYPEMASK;
    const char* buttonsText = buttonsName(buttons);
    std::string caption = lpCaption ? toUtf8(lpCaption) : "Error";  // Windows' default caption
    std::string text = toUtf8(lpText);
    plxtext::ScreenLogBox box{caption,         text, buttonsText ? buttonsText : std::to_string(buttons),
                              iconName(uType), "0",  ""};
    if (!buttonsText) {
        box.error = "unknown buttons";
        screenLog(plxtext::screenLogLine(box));
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string answer, error;
    int result = 0;
    if (nextAnswer(answer)) {
        result = resultOf(answer, buttons);
        if (!result) error = "answer " + answer + " is not a button of " + buttonsText;
    } else if (isatty(STDIN_FILENO)) {
        result = askTerminal(caption, text, buttons);
        if (!result) error = "no answer on the terminal";
    } else {
        error = "no answer left in machine.ini and no terminal";
    }
    box.answer = answerName(result);
    if (!result) box.error = error;
    screenLog(plxtext::screenLogLine(box));
    if (!result) SetLastError(ERROR_NOT_SUPPORTED);
    return result;
}
