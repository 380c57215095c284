#include "tests/dialogs/dialogs_test_support.h"

#include "shell/app.h"
#include "shell/startup.h"

HWND OpenMainWindow()
{
    int exitCode = 0;
    HWND main = CreateMainWindow(GetModuleHandleA(nullptr), nullptr, SW_SHOW, &exitCode);
    UpdateWindow(main);
    return main;
}

void CloseMainWindow()
{
    if (g_hwndMain)
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageA(&msg);
    }
    UnregisterClasses();
}

ConfigState::ConfigState()
{
    g_hInstance = GetModuleHandleA(nullptr);
    g_guiThreadId = GetCurrentThreadId();
}

ConfigState::~ConfigState()
{
    HostProfile = profile;
    ProgramOptions = options;
}

namespace {

struct Reader {
    const BYTE* p;
    const BYTE* end;
    WORD Word()
    {
        WORD w = 0;
        if (p + 2 <= end)
            memcpy(&w, p, 2);
        p += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD d = Word();
        return d | static_cast<DWORD>(Word()) << 16;
    }
    std::string Wide()
    {
        std::wstring w;
        while (p + 2 <= end) {
            WORD c = Word();
            if (!c)
                break;
            w += static_cast<wchar_t>(c);
        }
        char out[1024] = "";
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out, sizeof out, nullptr, nullptr);
        return out;
    }
    // A name or an ordinal (0xFFFF then the number).
    std::string NameOrOrdinal()
    {
        WORD first;
        memcpy(&first, p, 2);
        if (first == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return Wide();
    }
    void Align(const BYTE* base)
    {
        while ((p - base) % 4)
            ++p;
    }
};

std::string ClassOf(const std::string& ordinal)
{
    static const struct {
        const char* ord;
        const char* name;
    } kClasses[] = {{"#128", "Button"}, {"#129", "Edit"},      {"#130", "Static"},
                    {"#131", "ListBox"}, {"#132", "ScrollBar"}, {"#133", "ComboBox"}};
    for (const auto& c : kClasses)
        if (ordinal == c.ord)
            return c.name;
    return ordinal;
}

}  // namespace

DialogTemplate LoadDialogTemplate(const char* name, LANGID language)
{
    DialogTemplate t;
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG), name, language);
    if (!res)
        return t;
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    Reader r{base, base + SizeofResource(module, res)};
    t.found = true;
    t.style = r.Dword();
    r.Dword();  // extended style
    int count = r.Word();
    t.x = static_cast<short>(r.Word());
    t.y = static_cast<short>(r.Word());
    t.cx = static_cast<short>(r.Word());
    t.cy = static_cast<short>(r.Word());
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // class
    t.caption = r.Wide();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        t.font = r.Wide();
    }
    for (int i = 0; i < count; ++i) {
        r.Align(base);
        TemplateItem item;
        item.style = r.Dword();
        r.Dword();
        item.x = static_cast<short>(r.Word());
        item.y = static_cast<short>(r.Word());
        item.cx = static_cast<short>(r.Word());
        item.cy = static_cast<short>(r.Word());
        item.id = static_cast<short>(r.Word());
        item.cls = ClassOf(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        r.p += extra;
        t.items.push_back(item);
    }
    return t;
}
