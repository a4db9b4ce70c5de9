/* Stand-in for Live in the real-Wine test, built with mingw-w64 as "Ableton Live 12 Suite.exe".
 * Usage: "Ableton Live 12 Suite.exe" <log file>
 * Opens one window and appends to the log file (a Windows path, e.g. Z:\tmp\...\events.log):
 *   ready           once the window is shown
 *   save            for each Ctrl+S, recognised through an accelerator table as Windows programs do
 *   char <code>     for each character typed instead (an S that arrived without Control, say) */

#include <stdio.h>
#include <windows.h>

enum { SAVE_COMMAND = 1 };

static const wchar_t* logPath;

static void note(const char* line) {
    FILE* file = _wfopen(logPath, L"ab");
    if (!file)
        return;
    fprintf(file, "%s\n", line);
    fclose(file);
}

static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == SAVE_COMMAND)
            note("save");
        return 0;
    case WM_CHAR: {
        char line[32];
        snprintf(line, sizeof line, "char %u", (unsigned)wParam);
        note(line);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)previous;
    (void)commandLine;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 2;
    logPath = argv[1];

    WNDCLASSW windowClass = {0};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = L"PylonLiveStandIn";
    if (!RegisterClassW(&windowClass))
        return 3;
    HWND window = CreateWindowW(L"PylonLiveStandIn", L"Live Set - Ableton Live 12 Suite", WS_OVERLAPPEDWINDOW, 40, 40,
                                320, 200, NULL, NULL, instance, NULL);
    if (!window)
        return 4;
    ACCEL save = {FCONTROL | FVIRTKEY, 'S', SAVE_COMMAND};
    HACCEL accelerators = CreateAcceleratorTableW(&save, 1);
    ShowWindow(window, show == SW_HIDE ? SW_SHOW : show);
    UpdateWindow(window);
    note("ready");

    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorW(window, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}
