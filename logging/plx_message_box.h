// A standard Windows message box built from a caption, a message and type
// flags.  It keeps the user's answer and logs a notification that it was shown.
#ifndef PLX_MESSAGE_BOX_H
#define PLX_MESSAGE_BOX_H

#include "plx_flags.h"
#include "plx_win32.h"
#include "plx_wchar_string.h"

class CPLXMessageBox {
public:
    // Throws CPLXMessageBoxInitException when the values cannot be copied.
    CPLXMessageBox(HWND hOwner, const CPLXWCharString& title, const CPLXWCharString& message, const CPLXFlags& flags);
    virtual ~CPLXMessageBox();
    CPLXMessageBox(const CPLXMessageBox&) = delete;
    CPLXMessageBox& operator=(const CPLXMessageBox&) = delete;

    // Shows the box; true when MessageBoxW answered (nonzero).
    virtual bool showMessageBox();
    // Caption or message from the executable's string table.
    virtual bool setTitle(UINT uID);
    virtual bool setMsg(UINT uID);

    bool setTitle(const CPLXWCharString& title);
    bool setMsg(const CPLXWCharString& message);
    // Adds type bits (buttons, icon, modality) to the flags.
    void addFlags(ULONG ulFlags);

    int getResult() const { return m_iResult; }
    const CPLXWCharString& getTitle() const { return m_title; }
    const CPLXWCharString& getMsg() const { return m_message; }
    const CPLXFlags& getFlags() const { return m_flags; }

private:
    int m_iResult;
    CPLXWCharString m_message;
    CPLXWCharString m_title;
    CPLXFlags m_flags;
    HWND m_hOwner;
};

#endif
